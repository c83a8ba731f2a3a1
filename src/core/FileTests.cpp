#include "core/FileTests.h"

#include <QFileInfo>

bool PathExists(const QString &path)
{
    // QFileInfo answers from stat(): a path in a folder we may not search simply does not
    // exist for us, and an empty path is nothing.
    return !path.isEmpty() && QFileInfo::exists(path);
}

bool IsFolder(const QString &path)
{
    return !path.isEmpty() && QFileInfo(path).isDir();
}
