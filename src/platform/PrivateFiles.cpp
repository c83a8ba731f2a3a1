#include "platform/PrivateFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

constexpr QFile::Permissions OwnerOnlyFolder =
    QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadUser | QFile::WriteUser
    | QFile::ExeUser;
constexpr QFile::Permissions OwnerOnlyFile =
    QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;

}  // namespace

// QDir::mkpath takes no permissions, so the missing folders are made one by one, outermost
// first, each created 0700 rather than narrowed after the fact.
bool makePrivateFolders(const QString &folder)
{
    const QString clean = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    if (QFileInfo(clean).isDir())
        return true;
    const QString parent = QFileInfo(clean).path();
    if (parent != clean && !makePrivateFolders(parent))
        return false;
    return QDir().mkdir(clean, OwnerOnlyFolder) || QFileInfo(clean).isDir();
}

bool preparePrivateFile(const QString &path)
{
    if (!makePrivateFolders(QFileInfo(path).path()))
        return false;
    QFile file(path);
    if (file.exists())
        return file.setPermissions(OwnerOnlyFile);
    // Created with its permissions from the start: there is no moment in which others may read.
    return file.open(QIODevice::WriteOnly | QIODevice::Append, OwnerOnlyFile);
}
