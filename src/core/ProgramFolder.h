#pragma once
// The program folder: where the executable, its resources and the error log live.
// QUORVALE_PROGRAM_DIR overrides it (read once); Windows-style names such as "\HAND-M.CUR"
// become "<program folder>/HAND-M.CUR".

#include <QString>

QString programFolder();
// `relative` uses "/" between names, e.g. "Pictures/less-secure-apps1.jpg".
QString programFile(const QString &relative);
// Replaces the folder for the rest of the process (tests).
void setProgramFolder(const QString &folder);
