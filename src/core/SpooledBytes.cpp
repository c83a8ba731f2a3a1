#include "core/SpooledBytes.h"

#include "platform/PrivateTempFolder.h"

#include <QAtomicInteger>
#include <QFile>

namespace {

QString newSpoolPath()
{
    static QAtomicInteger<quint64> serial = 0;
    const QString folder = platform::privateTempFolder();
    if (folder.isEmpty())
        return QString();
    return folder + QStringLiteral("/spool-%1.bin").arg(++serial);
}

}  // namespace

std::shared_ptr<const SpooledBytes> SpooledBytes::store(const QByteArray &bytes)
{
    const QString path = newSpoolPath();
    if (path.isEmpty())
        return nullptr;
    QFile file(path);
    // A new name every time: an existing file there is not ours and stays as it is.
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        return nullptr;
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        file.close();
        file.remove();
        return nullptr;
    }
    return std::shared_ptr<const SpooledBytes>(new SpooledBytes(path, bytes.size()));
}

SpooledBytes::~SpooledBytes()
{
    QFile::remove(m_path);
}

QByteArray SpooledBytes::read(bool *ok) const
{
    QFile file(m_path);
    QByteArray bytes;
    const bool opened = file.open(QIODevice::ReadOnly);
    if (opened)
        bytes = file.readAll();
    const bool whole = opened && bytes.size() == m_size;
    if (ok)
        *ok = whole;
    return whole ? bytes : QByteArray();
}
