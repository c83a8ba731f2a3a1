#pragma once
// Bytes kept out of the way until a run needs them: a message's attachments may be far larger
// than everything else the list holds, and are read only when a run saves or appends them.
// Small ones stay in memory while all of those together stay small; the others go to a file
// of the private temporary folder, since making a file costs far more than keeping a few
// kilobytes. The file goes with the last holder.
//
// Bytes may be kept in base64, as a message carries a file: decoding then waits for the run
// that reads them, and a download, which only lists the file, never pays for it.

#include <QByteArray>
#include <QString>
#include <memory>

class SpooledBytes {
public:
    // Bytes of at most this size are kept in memory while the kept ones stay within the budget.
    static constexpr qint64 keptInMemoryUpTo = qint64(256) << 10;
    static constexpr qint64 memoryBudget = qint64(64) << 20;

    enum class Form { AsIs, Base64 };

    // The bytes, kept; nullptr when they had to go to a file and none could be written.
    static std::shared_ptr<const SpooledBytes> store(const QByteArray &bytes, Form form = Form::AsIs);
    // The size of base64 text once decoded (characters outside the alphabet skipped).
    static qint64 base64DecodedSize(const QByteArray &text);
    ~SpooledBytes();
    SpooledBytes(const SpooledBytes &) = delete;
    SpooledBytes &operator=(const SpooledBytes &) = delete;

    // The bytes read back (decoded); empty, with *ok false, when their file could not be read
    // whole.
    QByteArray read(bool *ok = nullptr) const;
    qint64 size() const { return m_size; }  // as kept
    QString path() const { return m_path; }  // empty while in memory
    static qint64 bytesInMemory();           // of every holder in this process

private:
    SpooledBytes(QString path, QByteArray kept, qint64 size, Form form)
        : m_path(std::move(path)), m_kept(std::move(kept)), m_size(size), m_form(form) {}
    QByteArray stored(bool *ok) const;
    QString m_path;
    QByteArray m_kept;
    qint64 m_size = 0;
    Form m_form = Form::AsIs;
};
