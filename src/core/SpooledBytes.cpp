#include "core/SpooledBytes.h"

#include "platform/PrivateTempFolder.h"

#include <QAtomicInteger>
#include <QFile>

namespace {

QAtomicInteger<qint64> keptBytes = 0;

// Reserves room for `size` bytes in memory; false when they would go beyond the budget.
bool reserveMemory(qint64 size)
{
    if (size > SpooledBytes::keptInMemoryUpTo)
        return false;
    qint64 now = keptBytes.loadRelaxed();
    do {
        if (now + size > SpooledBytes::memoryBudget)
            return false;
    } while (!keptBytes.testAndSetOrdered(now, now + size, now));
    return true;
}

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
    if (reserveMemory(bytes.size()))
        return std::shared_ptr<const SpooledBytes>(new SpooledBytes(QString(), bytes, bytes.size()));
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
    return std::shared_ptr<const SpooledBytes>(new SpooledBytes(path, QByteArray(), bytes.size()));
}

SpooledBytes::~SpooledBytes()
{
    if (m_path.isEmpty())
        keptBytes.fetchAndSubOrdered(m_size);
    else
        QFile::remove(m_path);
}

qint64 SpooledBytes::bytesInMemory()
{
    return keptBytes.loadRelaxed();
}

QByteArray SpooledBytes::read(bool *ok) const
{
    if (m_path.isEmpty()) {
        if (ok)
            *ok = true;
        return m_kept;
    }
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
