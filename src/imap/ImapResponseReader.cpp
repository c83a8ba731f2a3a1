#include "imap/ImapResponseReader.h"

#include <cstring>

namespace {

// From this size on a response is moved out of the reader's buffer rather than copied.
constexpr qsizetype largeResponseSize = qsizetype(1) << 20;

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

// Whether the line ends in a quoted string that is still open, in which case a "{n}" at its end
// is text and not a literal.
bool endsInsideQuote(const QByteArray &line)
{
    bool inQuote = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char c = line.at(i);
        if (inQuote && c == '\\')
            ++i;
        else if (c == '"')
            inQuote = !inQuote;
    }
    return inQuote;
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
        if (c < '0' || c > '9')
            return -1;
    }
    if (endsInsideQuote(line.left(open)))
        return -1;
    return digits.toLongLong();
}

}  // namespace

void ImapResponseReader::append(const QByteArray &bytes)
{
    if (hasError())
        return;
    m_buffer.append(bytes);
    scan();
}

std::optional<QByteArray> ImapResponseReader::takeResponse()
{
    if (m_completeEnd < 0)
        scan();
    if (m_completeEnd < 0)
        return std::nullopt;
    // A response that is most of the buffer (a message) moves out with it; small ones are copied
    // so that the buffer, with the responses after them, stays.
    const qsizetype size = m_completeEnd - m_start;
    QByteArray response = size >= largeResponseSize && size > bufferedBytes() / 2
        ? takeBufferFront(m_completeEnd)
        : m_buffer.mid(m_start, size);
    m_start = m_scan = m_segmentStart = m_completeEnd;
    m_completeEnd = -1;
    m_firstSegment = true;
    m_statusResponse = false;
    compact();
    return response;
}

// The buffer up to end, as the response from m_start, with what follows it kept as the new
// buffer. Only the short rest is copied; the response's bytes move down in place, and the room
// the buffer grew beyond them is given back.
QByteArray ImapResponseReader::takeBufferFront(qsizetype end)
{
    QByteArray rest = m_buffer.mid(end);
    QByteArray response = std::move(m_buffer);
    char *bytes = response.data();
    std::memmove(bytes, bytes + m_start, size_t(end - m_start));
    response.truncate(end - m_start);
    response.squeeze();
    m_buffer = std::move(rest);
    m_scan -= end;
    m_segmentStart -= end;
    m_completeEnd -= end;
    m_start = 0;
    return response;
}

bool ImapResponseReader::hasCompleteResponse()
{
    if (m_completeEnd < 0)
        scan();
    return m_completeEnd >= 0;
}

std::optional<ImapResponseReader::LiteralProgress> ImapResponseReader::literalInProgress() const
{
    if (m_literalRemaining <= 0)
        return std::nullopt;
    LiteralProgress progress;
    qsizetype lineEnd = m_buffer.indexOf('\n', m_start);
    if (lineEnd < 0 || lineEnd - m_start > 256)
        lineEnd = m_start + 256;
    progress.firstLine = m_buffer.mid(m_start, lineEnd - m_start);
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

void ImapResponseReader::scan()
{
    while (m_completeEnd < 0 && !hasError()) {
        if (m_literalRemaining > 0) {
            const qint64 available = m_buffer.size() - m_scan;
            const qint64 taken = qMin(available, m_literalRemaining);
            m_scan += taken;
            m_literalRemaining -= taken;
            if (m_literalRemaining > 0)
                return;
            m_segmentStart = m_scan;
            continue;
        }
        if (!scanLine())
            return;
    }
}

bool ImapResponseReader::scanLine()
{
    const qsizetype newline = m_buffer.indexOf('\n', m_scan);
    if (newline < 0) {
        if (m_buffer.size() - m_segmentStart > maxLineLength)
            m_error = QStringLiteral("The server sent a line longer than %1 bytes").arg(maxLineLength);
        else
            exceedsResponseSize(m_buffer.size());
        m_scan = m_buffer.size();
        return false;
    }
    finishSegment(newline + 1);
    return true;
}

void ImapResponseReader::finishSegment(qsizetype lineEnd)
{
    QByteArray line = m_buffer.mid(m_segmentStart, lineEnd - m_segmentStart);
    line.chop(1);
    if (line.endsWith('\r'))
        line.chop(1);
    if (m_firstSegment) {
        m_statusResponse = isStatusLine(line);
        m_firstSegment = false;
    }
    m_scan = lineEnd;
    const qint64 literalSize = m_statusResponse ? -1 : literalSizeAtEnd(line);
    if (literalSize > maxLiteralSize) {
        m_error = QStringLiteral("The server announced a literal of %1 bytes, more than this program accepts")
                      .arg(literalSize);
        return;
    }
    if (exceedsResponseSize(lineEnd + qMax<qint64>(literalSize, 0)))
        return;
    if (literalSize < 0) {
        m_completeEnd = lineEnd;
        return;
    }
    m_literalSize = m_literalRemaining = literalSize;
    m_segmentStart = lineEnd;
}

// Whether the response being framed would pass the size bound if it reached `end` (a position in
// the buffer, possibly beyond what has arrived); if so the reader stops with an error before
// those bytes are buffered.
bool ImapResponseReader::exceedsResponseSize(qint64 end)
{
    if (end - m_start <= m_maxResponseSize)
        return false;
    m_error = QStringLiteral("The server sent a response larger than %1 bytes, more than this program accepts")
                  .arg(m_maxResponseSize);
    return true;
}

void ImapResponseReader::compact()
{
    if (m_start == m_buffer.size()) {
        m_buffer.clear();
        m_start = m_scan = m_segmentStart = 0;
        return;
    }
    // Many small responses taken one by one from a large buffer: drop the consumed front now and
    // then rather than after each one.
    if (m_start > (1 << 20) && m_start > m_buffer.size() / 2) {
        m_buffer.remove(0, m_start);
        m_scan -= m_start;
        m_segmentStart -= m_start;
        m_start = 0;
    }
}
