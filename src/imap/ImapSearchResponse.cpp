#include "imap/ImapSearchResponse.h"

#include "imap/ImapResponseParser.h"

#include <QSet>
#include <limits>

namespace {

// nz-number of RFC 3501: 1 ... 4294967295, digits only.
qint64 nonZeroNumber(const QByteArray &text)
{
    if (text.isEmpty() || text.size() > 10)
        return 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return 0;
    }
    const qint64 value = text.toLongLong();
    return value <= qint64(std::numeric_limits<quint32>::max()) ? value : 0;
}

bool isModSeqTail(const QList<QByteArray> &words, qsizetype at)
{
    return words.size() == at + 2 && words[at].toUpper() == "(MODSEQ" && words[at + 1].endsWith(')')
           && words[at + 1].size() > 1 && nonZeroNumber(words[at + 1].chopped(1)) > 0;
}

}  // namespace

std::optional<QList<qint64>> parseSearchResponse(const QByteArray &line)
{
    QByteArray text = line;
    if (text.endsWith("\r\n"))
        text.chop(2);
    const QList<QByteArray> words = text.split(' ');
    if (words.size() < 2 || words[0] != "*" || words[1].toUpper() != "SEARCH")
        return std::nullopt;
    QList<qint64> numbers;
    for (qsizetype i = 2; i < words.size(); ++i) {
        if (isModSeqTail(words, i))
            break;
        const qint64 number = nonZeroNumber(words[i]);
        if (number == 0)
            return std::nullopt;
        numbers.append(number);
    }
    return numbers;
}

std::optional<QList<qint64>> searchResultFrom(const QByteArray &answer)
{
    QList<qint64> found;
    QSet<qint64> seen;
    for (const QByteArray &line : answer.split('\n')) {
        const QByteArray trimmed = line.endsWith('\r') ? line.chopped(1) : line;
        if (trimmed.isEmpty())
            continue;
        const std::optional<QList<qint64>> numbers = parseSearchResponse(trimmed);
        if (!numbers)
            return std::nullopt;
        for (qint64 number : *numbers) {
            if (!seen.contains(number)) {
                seen.insert(number);
                found.append(number);
            }
        }
    }
    return found;
}

qint64 fetchResponseUid(const ImapResponse &response)
{
    if (response.keyword != "FETCH" || response.values.isEmpty()
        || response.values.first().kind != ImapValue::Kind::List)
        return 0;
    const QList<ImapValue> &items = response.values.first().items;
    for (qsizetype i = 0; i + 1 < items.size(); i += 2) {
        if (items[i].kind == ImapValue::Kind::Atom && items[i].text.toUpper() == "UID")
            return items[i + 1].kind == ImapValue::Kind::Atom ? nonZeroNumber(items[i + 1].text) : 0;
    }
    return 0;
}
