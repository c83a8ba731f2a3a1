#pragma once
// Bytes kept out of the way until a run needs them: a message's attachments may be far larger
// than everything else the list holds, and are read only when a run saves or appends them.
// Small ones stay in memory while all of those together stay small; the others go to a file
// of the private temporary folder, since making a file costs far more than keeping a few
// kilobytes. The file goes with the last holder.

#include <QByteArray>
#include <QString>
#include <memory>

class SpooledBytes {
public:
    // Bytes of at most this size are kept in memory while the kept ones stay within the budget.
    static constexpr qint64 keptInMemoryUpTo = qint64(256) << 10;
    static constexpr qint64 memoryBudget = qint64(64) << 20;

    // The bytes, kept; nullptr when they had to go to a file and none could be written.
    static std::shared_ptr<const SpooledBytes> store(const QByteArray &bytes);
    ~SpooledBytes();
    SpooledBytes(const SpooledBytes &) = delete;
    SpooledBytes &operator=(const SpooledBytes &) = delete;

    // The bytes read back; empty, with *ok false, when their file could not be read whole.
    QByteArray read(bool *ok = nullptr) const;
    qint64 size() const { return m_size; }
    QString path() const { return m_path; }  // empty while in memory
    static qint64 bytesInMemory();           // of every holder in this process

private:
    SpooledBytes(QString path, QByteArray kept, qint64 size)
        : m_path(std::move(path)), m_kept(std::move(kept)), m_size(size) {}
    QString m_path;
    QByteArray m_kept;
    qint64 m_size = 0;
};
