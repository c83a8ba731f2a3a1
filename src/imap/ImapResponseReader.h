#pragma once
// Cuts the byte stream from an IMAP server into whole responses. Bytes arrive in pieces of any
// size; a response may carry literals ({n} at the end of a line, then n bytes that may hold
// CRLF), so the end of a response is the first line end that is not followed by a literal.
// Plain code: the socket side appends what it reads and takes the responses that are complete.

#include <QByteArray>
#include <QString>
#include <optional>

class ImapResponseReader {
public:
    // Guards against a broken or hostile server: a literal or a line this large is refused.
    static constexpr qint64 maxLiteralSize = qint64(1) << 30;
    static constexpr qint64 maxLineLength = qint64(64) << 20;
    // One response as a whole: the largest message plus room for the lines around it. Literals
    // may be chained ("{1000}\r\n... {1000}\r\n..."), so each being within its limit is not enough.
    static constexpr qint64 defaultMaxResponseSize = maxLiteralSize + (qint64(1) << 20);

    // Test seam: a smaller bound on one response.
    void setMaxResponseSize(qint64 bytes) { m_maxResponseSize = bytes; }
    qint64 maxResponseSize() const { return m_maxResponseSize; }

    void append(const QByteArray &bytes);
    // The next complete response including its final CRLF, or nothing yet. A large response is
    // handed over in the buffer it arrived in, not copied: a message is held once.
    std::optional<QByteArray> takeResponse();
    bool hasCompleteResponse();

    bool hasError() const { return !m_error.isEmpty(); }
    QString errorText() const { return m_error; }

    // The literal now arriving, for progress: the start of the response it belongs to (its first
    // line, e.g. "* 7 FETCH (... BODY[] {5234}"), its size and the bytes received so far.
    struct LiteralProgress {
        QByteArray firstLine;
        qint64 size = 0;
        qint64 received = 0;
    };
    std::optional<LiteralProgress> literalInProgress() const;

    qsizetype bufferedBytes() const { return m_buffer.size() - m_start; }
    void clear();

private:
    void scan();
    bool scanLine();  // false when no complete line is buffered yet
    void finishSegment(qsizetype lineEnd);
    void compact();
    QByteArray takeBufferFront(qsizetype end);
    bool exceedsResponseSize(qint64 end);

    QByteArray m_buffer;
    qsizetype m_start = 0;        // first byte of the response being framed
    qsizetype m_scan = 0;         // where scanning resumes
    qsizetype m_segmentStart = 0; // first byte of the current line of that response
    qint64 m_literalSize = 0;
    qint64 m_literalRemaining = 0;
    bool m_firstSegment = true;
    bool m_statusResponse = false; // "tag OK ..." and the like never carry literals
    qsizetype m_completeEnd = -1;  // end of a framed response not yet taken
    QString m_error;
    qint64 m_maxResponseSize = defaultMaxResponseSize;
};
