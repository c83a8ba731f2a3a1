#pragma once
// Cuts the byte stream from an IMAP server into whole responses. Bytes arrive in pieces of any
// size; a response may carry literals ({n} at the end of a line, then n bytes that may hold
// CRLF), so the end of a response is the first line end that is not followed by a literal.
// Plain code: the socket side appends what it reads and takes the responses that are complete.
//
// Each literal is stored, as its bytes arrive, in a buffer of its own made for its announced
// size: a message is written once, where it stays until the caller drops it, and no step of
// reading it copies what came before.

#include "imap/ImapFramedResponse.h"

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <deque>
#include <optional>

class ImapResponseReader {
public:
    // Guards against a broken or hostile server: a literal or a line this large is refused,
    // whatever the server announced.
    static constexpr qint64 maxLiteralSize = qint64(1) << 30;
    static constexpr qint64 maxLineLength = qint64(64) << 20;
    // Room in one response for what surrounds its message: the FETCH line, flags, the date.
    static constexpr qint64 responseLineRoom = qint64(1) << 20;
    // The largest message taken from a server that does not say how large its messages are:
    // twice what Gmail lets a message be.
    static constexpr qint64 defaultMaxMessageSize = qint64(100) << 20;
    static constexpr qint64 defaultMaxResponseSize = defaultMaxMessageSize + responseLineRoom;

    // The bound on a FETCH response that gives its message's size (RFC822.SIZE) before the
    // message itself: that size, a margin for servers whose count is a little off, and the room
    // for the lines. Literals may be chained ("{1000}\r\n... {1000}\r\n..."), so each literal
    // being within bounds is not enough: the response as a whole is bounded.
    static qint64 maxResponseSizeFor(qint64 announcedMessageSize);

    // The bound on a response that announces no message size.
    void setMaxResponseSize(qint64 bytes) { m_maxResponseSize = bytes; }
    qint64 maxResponseSize() const { return m_maxResponseSize; }

    void append(const QByteArray &bytes);
    // While a literal is arriving: reads what `device` has of it, at most its remaining bytes,
    // straight into the literal's buffer (no copy on the way), and answers how many it read.
    // 0 when no literal is arriving: then the bytes go through append().
    qint64 readLiteralFrom(QIODevice &device);
    // The next complete response, or nothing yet. The framed form hands the literals over in
    // the buffers they arrived in; the plain form joins them to the lines (a copy).
    std::optional<ImapFramedResponse> takeFramedResponse();
    std::optional<QByteArray> takeResponse();
    bool hasCompleteResponse() const { return !m_complete.empty(); }

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

    qint64 bufferedBytes() const { return m_completeBytes + currentSize(); }
    void clear();

private:
    qsizetype takeLiteralBytes(const QByteArray &bytes, qsizetype pos);
    qsizetype takeLineBytes(const QByteArray &bytes, qsizetype pos);
    void finishSegment();
    void startLiteral(qint64 size);
    void completeResponse();
    qint64 currentSize() const { return m_current.lines.size() + m_literalBytes; }
    qint64 responseLimit() const;
    bool exceedsResponseSize(qint64 size);

    ImapFramedResponse m_current;   // the response being framed
    qsizetype m_segmentStart = 0;   // where its current line starts in m_current.lines
    qint64 m_literalBytes = 0;      // bytes of its literals received so far
    qint64 m_literalSize = 0;
    qint64 m_literalRemaining = 0;
    bool m_firstSegment = true;
    bool m_statusResponse = false;  // "tag OK ..." and the like never carry literals
    bool m_fetchResponse = false;   // "* 7 FETCH (...": may announce its message's size
    qint64 m_announcedSize = -1;    // RFC822.SIZE seen in its lines so far
    std::deque<ImapFramedResponse> m_complete;
    qint64 m_completeBytes = 0;
    QString m_error;
    qint64 m_maxResponseSize = defaultMaxResponseSize;
};
