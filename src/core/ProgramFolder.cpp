#include "core/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>

namespace {
QString &folderStorage()
{
    static QString folder = [] {
        const QString fromEnvironment = qEnvironmentVariable("QUORVALE_PROGRAM_DIR");
        if (!fromEnvironment.isEmpty())
            return QDir::cleanPath(fromEnvironment);
        return QCoreApplication::applicationDirPath();
    }();
    return folder;
}
}  // namespace

QString programFolder()
{
    return folderStorage();
}

QString programFile(const QString &relative)
{
    return folderStorage() + QLatin1Char('/') + relative;
}

void setProgramFolder(const QString &folder)
{
    folderStorage() = QDir::cleanPath(folder);
}
