#include "platform/PrivateTempFolder.h"

#include <QDir>
#include <QTemporaryDir>
#include <memory>

namespace platform {

QString privateTempFolder()
{
    static std::unique_ptr<QTemporaryDir> folder;
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

}  // namespace platform
