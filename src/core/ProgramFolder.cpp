#include "core/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {

ProgramFolderLocation &folderStorage()
{
    static ProgramFolderLocation folder = locateProgramFolder(
        QCoreApplication::applicationDirPath(), qEnvironmentVariable("QUORVALE_PROGRAM_DIR"));
    return folder;
}

}  // namespace

// The executable in <prefix>/bin finds its resources in <prefix>/share/quorvale; the marker
// file tells an install apart from a folder that merely has that name.
ProgramFolderLocation locateProgramFolder(const QString &executableFolder, const QString &override)
{
    if (!override.isEmpty())
        return {QDir::cleanPath(override), false};
    const QString shared = QDir::cleanPath(executableFolder + QStringLiteral("/" QUORVALE_BIN_TO_DATA));
    if (QFileInfo::exists(shared + QStringLiteral("/installed-program-folder")))
        return {shared, true};
    return {QDir::cleanPath(executableFolder), false};
}

QString programFolder()
{
    return folderStorage().path;
}

QString programFile(const QString &relative)
{
    return folderStorage().path + QLatin1Char('/') + relative;
}

bool programIsInstalled()
{
    return folderStorage().installed;
}

void setProgramFolder(const QString &folder)
{
    folderStorage() = {QDir::cleanPath(folder), false};
}
