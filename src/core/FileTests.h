#pragma once
// Questions about paths that never fail: any trouble reading the path answers false.

#include <QString>

// True when a file or folder exists at `path`.
bool PathExists(const QString &path);
// True when `path` is an existing folder.
bool IsFolder(const QString &path);
