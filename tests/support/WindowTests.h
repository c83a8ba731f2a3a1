#pragma once
// What every test program that drives the windows sets up once, before its first window.

#include <QString>
#include <functional>

enum class PageResources { Without, With };

// No desktop secret store (the tests run without one), `programFolder` as the program folder,
// `unload` in place of ending the process when the main window closes, and, With page
// resources, the page template and logo copied into the program folder.
void prepareWindowTests(const QString &programFolder, PageResources resources = PageResources::Without,
                        std::function<void()> unload = [] {});
