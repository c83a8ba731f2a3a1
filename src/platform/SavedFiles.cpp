#include "platform/SavedFiles.h"

#include "platform/PrivateFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace platform {

FileContent readFileContent(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

void SavedFiles::remember(const QString &path)
{
    m_remembered[path] = readFileContent(path);
    m_programs.remove(path);
}

void SavedFiles::notePrograms(const QString &path)
{
    m_programs[path] = readFileContent(path);
}

bool SavedFiles::restore() const
{
    bool ok = true;
    for (auto it = m_remembered.cbegin(); it != m_remembered.cend(); ++it) {
        const QString &path = it.key();
        const FileContent now = readFileContent(path);
        if (now == it.value() || !m_programs.contains(path) || now != m_programs.value(path))
            continue;
        if (!it.value())
            ok = QFile::remove(path) && ok;
        else
            ok = writePrivateFile(path, *it.value()) && ok;
    }
    return ok;
}

bool writePrivateFile(const QString &path, const QByteArray &content)
{
    if (!makePrivateFolders(QFileInfo(path).absolutePath()))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    return file.write(content) == content.size() && file.commit();
}

QString lpoptionsDefault(const FileContent &lpoptions)
{
    if (!lpoptions)
        return QString();
    QString found;
    for (const QByteArray &line : lpoptions->split('\n')) {
        const QList<QByteArray> words = line.simplified().split(' ');
        if (words.size() >= 2 && words.first().compare("Default", Qt::CaseInsensitive) == 0)
            found = QString::fromUtf8(words.at(1));
    }
    return found;
}

}  // namespace platform
