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

std::shared_ptr<const SpooledBytes> SpooledBytes::store(const QByteArray &bytes, Form form)
{
    if (reserveMemory(bytes.size()))
        return std::shared_ptr<const SpooledBytes>(new SpooledBytes(QString(), bytes, bytes.size(), form));
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
    return std::shared_ptr<const SpooledBytes>(new SpooledBytes(path, QByteArray(), bytes.size(), form));
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
    bool whole = false;
    const QByteArray bytes = stored(&whole);
    if (ok)
        *ok = whole;
    if (!whole || m_form == Form::AsIs)
        return bytes;
    return QByteArray::fromBase64(bytes);
}

QByteArray SpooledBytes::stored(bool *ok) const
{
    if (m_path.isEmpty()) {
        *ok = true;
        return m_kept;
    }
    QFile file(m_path);
    QByteArray bytes;
    const bool opened = file.open(QIODevice::ReadOnly);
    if (opened)
        bytes = file.readAll();
    *ok = opened && bytes.size() == m_size;
    return *ok ? bytes : QByteArray();
}

namespace {

quint8 isBase64Digit(quint8 c)
{
    const bool letter = quint8((c | 0x20) - 'a') < 26;
    const bool number = quint8(c - '0') < 10;
    return letter | number | (c == '+') | (c == '/');
}

// Written so that the compiler makes vector code of it: a fixed count and no table.
quint8 base64DigitsIn64(const quint8 *bytes)
{
    quint8 digits = 0;
    for (int i = 0; i < 64; ++i)
        digits += isBase64Digit(bytes[i]);
    return digits;
}

}  // namespace

qint64 SpooledBytes::base64DecodedSize(const QByteArray &text)
{
    const auto *bytes = reinterpret_cast<const quint8 *>(text.constData());
    qint64 digits = 0;
    qsizetype i = 0;
    for (; i + 64 <= text.size(); i += 64)
        digits += base64DigitsIn64(bytes + i);
    for (; i < text.size(); ++i)
        digits += isBase64Digit(bytes[i]);
    return digits * 3 / 4;
}
