#pragma once
// Folder names: the desktop folder, tidying doubled separators, asking the user for a folder.

#include <QString>

class QWidget;

// Id 0 is the desktop: its path with exactly one trailing "/". Any other id, or a desktop the
// system does not name, raises AppError 5 (invalid argument).
QString SpecialFolderPath(int id);

// Collapses doubled separators in one left-to-right pass: each "\\" pair becomes "\" and each
// "//" pair becomes "/", so three in a row become two. A leading run of "\" (a network path)
// becomes exactly "\\"; a leading run of "/" becomes exactly "/".
//     C:\\Data\\PDF  -> C:\Data\PDF       \folder -> \\folder
//     \\server\\share -> \\server\share   /home//me///pdf -> /home/me//pdf
QString NormalizeBackslashes(const QString &path);

// The folder the user picks, starting at `startFolder`; empty text when they cancel.
QString BrowseForFolder(QWidget *owner, const QString &prompt, const QString &startFolder);
