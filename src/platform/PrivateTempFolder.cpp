#include "platform/PrivateTempFolder.h"

#include <QDir>
#include <QTemporaryDir>
#include <memory>

namespace platform {

namespace {

std::unique_ptr<QTemporaryDir> &currentFolder()
{
    static std::unique_ptr<QTemporaryDir> folder;
    return folder;
}

}  // namespace

QString privateTempFolder()
{
    std::unique_ptr<QTemporaryDir> &folder = currentFolder();
    if (!folder || !folder->isValid()) {
        const QString temp = qEnvironmentVariable("TEMP");
        const QString base = temp.isEmpty() ? QDir::tempPath() : temp;
        // QTemporaryDir makes the folder with mode 0700 under a name nobody can guess.
        folder = std::make_unique<QTemporaryDir>(base + QStringLiteral("/quorvale-XXXXXX"));
        if (!folder->isValid())
            return QString();
    }
    return folder->path();
}

void removePrivateTempFolder()
{
    std::unique_ptr<QTemporaryDir> &folder = currentFolder();
    if (folder && folder->isValid())
        folder->remove();
    folder.reset();
}

}  // namespace platform
