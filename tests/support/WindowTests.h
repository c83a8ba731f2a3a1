#pragma once
// What every test program that drives the windows sets up once, before its first window.

#include <QString>
#include <qnamespace.h>
#include <functional>
#include <memory>

class Form1;
class QWidget;
class TestServer;

enum class PageResources { Without, With };

// No desktop secret store (the tests run without one), `programFolder` as the program folder,
// `unload` in place of ending the process when the main window closes, and, With page
// resources, the page template and logo copied into the program folder.
void prepareWindowTests(const QString &programFolder, PageResources resources = PageResources::Without,
                        std::function<void()> unload = [] {});

// A main window started, shown, logged in to `server` and with its Inbox downloaded by "2a. Get
// All Emails", as a user would have it before previewing.
std::unique_ptr<Form1> windowWithInbox(const TestServer &server);

// The pointer in force over `widget`, its window shown: the mouse goes through the window
// system's own path onto a point of the widget that no child covers.
Qt::CursorShape pointerOver(QWidget *widget);
