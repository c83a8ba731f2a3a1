#pragma once
// Bytes kept in a file of the private temporary folder instead of in memory: a message's
// attachments may be far larger than everything else the list holds, and are read only when a
// run saves or appends them. The file goes with the last holder.

#include <QByteArray>
#include <QString>
#include <memory>

class SpooledBytes {
public:
    // The bytes in a new file; nullptr when no file could be written.
    static std::shared_ptr<const SpooledBytes> store(const QByteArray &bytes);
    ~SpooledBytes();
    SpooledBytes(const SpooledBytes &) = delete;
    SpooledBytes &operator=(const SpooledBytes &) = delete;

    // The bytes read back; empty, with *ok false, when the file could not be read whole.
    QByteArray read(bool *ok = nullptr) const;
    qint64 size() const { return m_size; }
    QString path() const { return m_path; }

private:
    SpooledBytes(QString path, qint64 size) : m_path(std::move(path)), m_size(size) {}
    QString m_path;
    qint64 m_size = 0;
};
