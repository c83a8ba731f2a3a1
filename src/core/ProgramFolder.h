#pragma once
// The program folder: where the program's read-only resources live. In a build it is the
// executable's folder (the build copies the resources beside it); in an installed program,
// <prefix>/bin/quorvale, it is <prefix>/share/quorvale. QUORVALE_PROGRAM_DIR overrides both
// (read once). Windows-style names such as "\HAND-M.CUR" become "<program folder>/HAND-M.CUR".

#include <QString>

QString programFolder();
// `relative` uses "/" between names, e.g. "Pictures/less-secure-apps1.jpg".
QString programFile(const QString &relative);
// Whether the program folder is an installed program's shared data folder, where the
// program never writes.
bool programIsInstalled();
// Where the program folder is for an executable in `executableFolder`, given the value of
// QUORVALE_PROGRAM_DIR (empty: not set).
struct ProgramFolderLocation {
    QString path;
    bool installed = false;
};
ProgramFolderLocation locateProgramFolder(const QString &executableFolder,
                                          const QString &override);
// Replaces the folder for the rest of the process (tests).
void setProgramFolder(const QString &folder);
