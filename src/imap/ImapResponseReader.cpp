#include "imap/ImapResponseReader.h"

#include <new>

namespace {

// "tag OK ...", "* BYE ...", "+ ..." carry free text, never literals: a text that happens to end
// in "{5}" must not make the reader swallow the next five bytes.
bool isStatusLine(const QByteArray &line)
{
    const qsizetype firstSpace = line.indexOf(' ');
    const QByteArray tag = firstSpace < 0 ? line : line.left(firstSpace);
    if (tag == "+")
        return true;
    if (firstSpace < 0)
        return false;
    qsizetype end = line.indexOf(' ', firstSpace + 1);
    if (end < 0)
        end = line.size();
    const QByteArray word = line.mid(firstSpace + 1, end - firstSpace - 1).toUpper();
    return word == "OK" || word == "NO" || word == "BAD" || word == "BYE" || word == "PREAUTH";
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// "* 7 FETCH (..." or "* 7 FETCH" alone.
bool isFetchLine(const QByteArray &line)
{
    if (!line.startsWith("* "))
        return false;
    qsizetype pos = 2;
    while (pos < line.size() && isDigit(line.at(pos)))
        ++pos;
    if (pos == 2 || pos >= line.size() || line.at(pos) != ' ')
        return false;
    const QByteArray word = line.mid(pos + 1, 5).toUpper();
    return word == "FETCH" && (pos + 6 == line.size() || line.at(pos + 6) == ' ');
}

// Calls visit(i) for every position of the line outside quoted strings until it answers true.
// A backslash inside quotes escapes the next byte. Answers whether visit stopped the walk and
// whether the line ends inside a quoted string that is still open.
struct QuoteWalk {
    bool stopped = false;
    bool endsInQuote = false;
};

template <typename Visit>
QuoteWalk walkOutsideQuotes(const QByteArray &line, Visit visit)
{
    bool inQuote = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char c = line.at(i);
        if (inQuote && c == '\\')
            ++i;
        else if (c == '"')
            inQuote = !inQuote;
        else if (!inQuote && visit(i))
            return {true, false};
    }
    return {false, inQuote};
}

template <typename Visit>
bool anyOutsideQuotes(const QByteArray &line, Visit visit)
{
    return walkOutsideQuotes(line, visit).stopped;
}

// A "{n}" at the end of a line that ends inside an open quoted string is text, not a literal.
bool endsInsideQuote(const QByteArray &line)
{
    return walkOutsideQuotes(line, [](qsizetype) { return false; }).endsInQuote;
}

// The size of the literal announced at the end of the line ("{123}" or "{123+}"), or -1.
qint64 literalSizeAtEnd(const QByteArray &line)
{
    if (!line.endsWith('}'))
        return -1;
    const qsizetype open = line.lastIndexOf('{');
    if (open < 0)
        return -1;
    QByteArray digits = line.mid(open + 1, line.size() - open - 2);
    if (digits.endsWith('+'))
        digits.chop(1);
    if (digits.isEmpty() || digits.size() > 15)
        return digits.isEmpty() ? -1 : qint64(1) << 62;
    for (char c : digits) {
        if (!isDigit(c))
            return -1;
    }
    if (endsInsideQuote(line.left(open)))
        return -1;
    return digits.toLongLong();
}

// The message size a FETCH line gives ("RFC822.SIZE 5234", outside quoted strings), or -1.
qint64 announcedMessageSize(const QByteArray &line)
{
    static const QByteArray item = "RFC822.SIZE ";
    qint64 size = -1;
    anyOutsideQuotes(line, [&](qsizetype i) {
        if ((line.at(i) != 'R' && line.at(i) != 'r') || i == 0 || (line.at(i - 1) != ' ' && line.at(i - 1) != '('))
            return false;
        if (line.mid(i, item.size()).toUpper() != item)
            return false;
        qsizetype end = i + item.size();
        while (end < line.size() && isDigit(line.at(end)) && end - i - item.size() < 15)
            ++end;
        const qsizetype digits = end - i - item.size();
        if (digits == 0 || (end < line.size() && line.at(end) != ' ' && line.at(end) != ')'))
            return false;
        size = line.mid(i + item.size(), digits).toLongLong();
        return true;
    });
    return size;
}

}  // namespace

qint64 ImapResponseReader::maxResponseSizeFor(qint64 announcedMessageSize)
{
    const qint64 size = qBound<qint64>(0, announcedMessageSize, maxLiteralSize);
    return size + size / 16 + responseLineRoom;
}

void ImapResponseReader::append(const QByteArray &bytes)
{
    qsizetype pos = 0;
    while (pos < bytes.size() && !hasError())
        pos += m_literalRemaining > 0 ? takeLiteralBytes(bytes, pos) : takeLineBytes(bytes, pos);
}

// Into the literal's own buffer, which already has room for all of it.
qsizetype ImapResponseReader::takeLiteralBytes(const QByteArray &bytes, qsizetype pos)
{
    const qsizetype count = qsizetype(qMin<qint64>(m_literalRemaining, bytes.size() - pos));
    m_current.literals.last().append(bytes.constData() + pos, count);
    m_literalRemaining -= count;
    m_literalBytes += count;
    return count;
}

qint64 ImapResponseReader::readLiteralFrom(QIODevice &device)
{
    if (m_literalRemaining <= 0 || hasError())
        return 0;
    // In pieces of a few megabytes, so that a socket holding hundreds of them is read in
    // steps the caller can interleave with its checks for Stop.
    constexpr qint64 largestPiece = qint64(4) << 20;
    const qint64 wanted = qMin(qMin(m_literalRemaining, device.bytesAvailable()), largestPiece);
    if (wanted <= 0)
        return 0;
    QByteArray &literal = m_current.literals.last();
    const qsizetype had = literal.size();
    literal.resize(had + qsizetype(wanted));  // within the room made for the whole literal
    const qint64 got = qMax<qint64>(0, device.read(literal.data() + had, wanted));
    literal.resize(had + qsizetype(got));
    m_literalRemaining -= got;
    m_literalBytes += got;
    return got;
}

qsizetype ImapResponseReader::takeLineBytes(const QByteArray &bytes, qsizetype pos)
{
    const qsizetype newline = bytes.indexOf('\n', pos);
    const qsizetype end = newline < 0 ? bytes.size() : newline + 1;
    m_current.lines.append(bytes.constData() + pos, end - pos);
    if (m_current.lines.size() - m_segmentStart > maxLineLength)
        m_error = QStringLiteral("The server sent a line longer than %1 bytes").arg(maxLineLength);
    else if (newline < 0)
        exceedsResponseSize(currentSize());
    else
        finishSegment();
    return end - pos;
}

void ImapResponseReader::finishSegment()
{
    QByteArray line = m_current.lines.mid(m_segmentStart);
    line.chop(1);
    if (line.endsWith('\r'))
        line.chop(1);
    if (m_firstSegment) {
        m_statusResponse = isStatusLine(line);
        m_fetchResponse = !m_statusResponse && isFetchLine(line);
        m_firstSegment = false;
    }
    if (m_fetchResponse && m_announcedSize < 0)
        m_announcedSize = announcedMessageSize(line);
    const qint64 literalSize = m_statusResponse ? -1 : literalSizeAtEnd(line);
    if (literalSize > maxLiteralSize) {
        m_error = QStringLiteral("The server announced a literal of %1 bytes, more than this program accepts")
                      .arg(literalSize);
        return;
    }
    if (exceedsResponseSize(currentSize() + qMax<qint64>(literalSize, 0)))
        return;
    m_segmentStart = m_current.lines.size();
    if (literalSize < 0)
        completeResponse();
    else
        startLiteral(literalSize);
}

// The literal's buffer is made for its whole size at once (it is within the response's bound,
// and memory the bytes have not reached yet costs nothing), so it never grows by copying.
void ImapResponseReader::startLiteral(qint64 size)
{
    QByteArray literal;
    try {
        literal.reserve(qsizetype(size));
    } catch (const std::bad_alloc &) {
        m_error = QStringLiteral("There is not enough memory for the %1 bytes the server announced").arg(size);
        return;
    }
    m_current.literalAt.append(m_current.lines.size());
    m_current.literals.append(std::move(literal));
    m_literalSize = m_literalRemaining = size;
}

void ImapResponseReader::completeResponse()
{
    m_completeBytes += currentSize();
    m_complete.push_back(std::move(m_current));
    m_current = ImapFramedResponse();
    m_segmentStart = 0;
    m_literalBytes = m_literalSize = m_literalRemaining = 0;
    m_firstSegment = true;
    m_statusResponse = m_fetchResponse = false;
    m_announcedSize = -1;
}

std::optional<ImapFramedResponse> ImapResponseReader::takeFramedResponse()
{
    if (m_complete.empty())
        return std::nullopt;
    ImapFramedResponse response = std::move(m_complete.front());
    m_complete.pop_front();
    m_completeBytes -= response.size();
    return response;
}

std::optional<QByteArray> ImapResponseReader::takeResponse()
{
    std::optional<ImapFramedResponse> response = takeFramedResponse();
    if (!response)
        return std::nullopt;
    return response->joined();
}

std::optional<ImapResponseReader::LiteralProgress> ImapResponseReader::literalInProgress() const
{
    if (m_literalRemaining <= 0)
        return std::nullopt;
    LiteralProgress progress;
    qsizetype lineEnd = m_current.lines.indexOf('\n');
    if (lineEnd < 0 || lineEnd > 256)
        lineEnd = 256;
    progress.firstLine = m_current.lines.left(lineEnd);
    if (progress.firstLine.endsWith('\r'))
        progress.firstLine.chop(1);
    progress.size = m_literalSize;
    progress.received = m_literalSize - m_literalRemaining;
    return progress;
}

void ImapResponseReader::clear()
{
    const qint64 maxResponseSize = m_maxResponseSize;
    *this = ImapResponseReader();
    m_maxResponseSize = maxResponseSize;
}

qint64 ImapResponseReader::responseLimit() const
{
    return m_announcedSize >= 0 ? maxResponseSizeFor(m_announcedSize) : m_maxResponseSize;
}

// Whether the response being framed would pass its bound at `size` bytes (possibly more than
// have arrived); if so the reader stops with an error before those bytes are buffered.
bool ImapResponseReader::exceedsResponseSize(qint64 size)
{
    const qint64 limit = responseLimit();
    if (size <= limit)
        return false;
    m_error = QStringLiteral("The server sent a response larger than %1 bytes, more than this program accepts").arg(limit);
    if (m_announcedSize >= 0)
        m_error += QStringLiteral(" for a message of %1 bytes").arg(m_announcedSize);
    return true;
}
