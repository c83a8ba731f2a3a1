#include "imap/ImapResponseParser.h"

#include <QRegularExpression>

namespace {

using Outcome = ImapParseResult::Outcome;

// Lists nest a few levels in real answers (BODYSTRUCTURE of a deep multipart); a limit keeps a
// hostile "((((((..." from exhausting the stack.
constexpr int maxListDepth = 64;

bool isLineEnd(char c) { return c == '\r' || c == '\n'; }

Outcome fail(QString *error, Outcome outcome, const QString &text)
{
    if (error)
        *error = text;
    return outcome;
}

// What a parse reads: the response's bytes, or the lines of a framed response with its literals
// held apart (then a literal's announcement is followed directly by the rest of its line).
struct Input {
    const QByteArray &raw;
    const ImapFramedResponse *framed = nullptr;
    qsizetype nextLiteral = 0;
};

Outcome parseValue(Input &in, qsizetype &pos, ImapValue &value, int depth, qsizetype &valuesLeft,
                   QString *error);

Outcome parseQuoted(const QByteArray &raw, qsizetype &pos, ImapValue &value, QString *error)
{
    value.kind = ImapValue::Kind::Quoted;
    ++pos;  // opening quote
    while (pos < raw.size()) {
        const char c = raw.at(pos++);
        if (c == '"')
            return Outcome::Complete;
        if (isLineEnd(c))
            return fail(error, Outcome::Malformed, QStringLiteral("line break inside a quoted string"));
        if (c == '\\') {
            if (pos >= raw.size())
                break;
            if (isLineEnd(raw.at(pos)))
                return fail(error, Outcome::Malformed, QStringLiteral("line break inside a quoted string"));
            value.text.append(raw.at(pos++));
        } else {
            value.text.append(c);
        }
    }
    return fail(error, Outcome::Incomplete, QStringLiteral("the data ends inside a quoted string"));
}

Outcome takeFramedLiteral(Input &in, qsizetype pos, qint64 size, ImapValue &value, QString *error)
{
    const ImapFramedResponse &framed = *in.framed;
    const qsizetype index = in.nextLiteral++;
    if (index >= framed.literals.size() || framed.literalAt[index] != pos || framed.literals[index].size() != size)
        return fail(error, Outcome::Malformed, QStringLiteral("a literal does not match its announcement"));
    value.text = framed.literals[index];
    return Outcome::Complete;
}

Outcome parseLiteral(Input &in, qsizetype &pos, ImapValue &value, QString *error)
{
    const QByteArray &raw = in.raw;
    value.kind = ImapValue::Kind::Literal;
    ++pos;  // '{'
    qint64 size = 0;
    qsizetype digits = 0;
    while (pos < raw.size() && raw.at(pos) >= '0' && raw.at(pos) <= '9') {
        size = size * 10 + (raw.at(pos) - '0');
        if (size > (qint64(1) << 40))
            return fail(error, Outcome::Malformed, QStringLiteral("literal size too large"));
        ++pos;
        ++digits;
    }
    if (pos < raw.size() && raw.at(pos) == '+')
        ++pos;
    if (pos >= raw.size())
        return fail(error, Outcome::Incomplete, QStringLiteral("the data ends inside a literal's size"));
    if (digits == 0 || raw.at(pos) != '}')
        return fail(error, Outcome::Malformed, QStringLiteral("bad literal size"));
    ++pos;
    if (pos < raw.size() && raw.at(pos) == '\r')
        ++pos;
    if (pos >= raw.size())
        return fail(error, Outcome::Incomplete, QStringLiteral("the data ends before a literal"));
    if (raw.at(pos) != '\n')
        return fail(error, Outcome::Malformed, QStringLiteral("a literal's size is not followed by a line end"));
    ++pos;
    if (in.framed)
        return takeFramedLiteral(in, pos, size, value, error);
    if (raw.size() - pos < size)
        return fail(error, Outcome::Incomplete,
                    QStringLiteral("the data ends inside a literal of %1 bytes").arg(size));
    value.text = raw.mid(pos, size);
    pos += size;
    return Outcome::Complete;
}

// An atom; a "[" in it opens a section that may hold spaces and parentheses up to its "]",
// as in BODY[HEADER.FIELDS (FROM)] or BODY[]<0>.
Outcome parseAtom(const QByteArray &raw, qsizetype &pos, ImapValue &value, QString *error)
{
    const qsizetype begin = pos;
    int brackets = 0;
    while (pos < raw.size()) {
        const char c = raw.at(pos);
        if (isLineEnd(c))
            break;
        if (brackets == 0 && (c == ' ' || c == '(' || c == ')' || c == '"'))
            break;
        if (c == '"') {
            // A quoted header name inside the section: BODY[HEADER.FIELDS ("X-A]")].
            ImapValue ignored;
            const Outcome outcome = parseQuoted(raw, pos, ignored, error);
            if (outcome != Outcome::Complete)
                return outcome;
            continue;
        }
        if (c == '[')
            ++brackets;
        else if (c == ']' && brackets > 0)
            --brackets;
        ++pos;
    }
    if (brackets > 0) {
        if (pos >= raw.size())
            return fail(error, Outcome::Incomplete, QStringLiteral("the data ends inside a [section]"));
        return fail(error, Outcome::Malformed, QStringLiteral("unclosed [ in an atom"));
    }
    value.text = raw.mid(begin, pos - begin);
    value.kind = value.text.compare("NIL", Qt::CaseInsensitive) == 0 ? ImapValue::Kind::Nil
                                                                     : ImapValue::Kind::Atom;
    if (value.kind == ImapValue::Kind::Nil)
        value.text.clear();
    return Outcome::Complete;
}

Outcome parseList(Input &in, qsizetype &pos, ImapValue &value, int depth, qsizetype &valuesLeft, QString *error)
{
    const QByteArray &raw = in.raw;
    if (depth >= maxListDepth)
        return fail(error, Outcome::Malformed, QStringLiteral("lists nested too deeply"));
    value.kind = ImapValue::Kind::List;
    ++pos;  // '('
    for (;;) {
        while (pos < raw.size() && raw.at(pos) == ' ')
            ++pos;
        if (pos >= raw.size())
            return fail(error, Outcome::Incomplete, QStringLiteral("the data ends inside a list"));
        const char c = raw.at(pos);
        if (c == ')') {
            ++pos;
            return Outcome::Complete;
        }
        if (isLineEnd(c))
            return fail(error, Outcome::Malformed, QStringLiteral("the line ends inside a list"));
        if (--valuesLeft < 0)
            return fail(error, Outcome::Malformed, QStringLiteral("more values than a response may hold"));
        ImapValue item;
        const Outcome outcome = parseValue(in, pos, item, depth + 1, valuesLeft, error);
        if (outcome != Outcome::Complete)
            return outcome;
        value.items.append(std::move(item));
    }
}

Outcome parseValue(Input &in, qsizetype &pos, ImapValue &value, int depth, qsizetype &valuesLeft,
                   QString *error)
{
    switch (in.raw.at(pos)) {
    case '(':
        return parseList(in, pos, value, depth, valuesLeft, error);
    case '"':
        return parseQuoted(in.raw, pos, value, error);
    case '{':
        return parseLiteral(in, pos, value, error);
    case ')':
        return fail(error, Outcome::Malformed, QStringLiteral("unexpected )"));
    default:
        return parseAtom(in.raw, pos, value, error);
    }
}

// Reads up to the next space or line end.
QByteArray readWord(const QByteArray &raw, qsizetype &pos)
{
    const qsizetype begin = pos;
    while (pos < raw.size() && raw.at(pos) != ' ' && !isLineEnd(raw.at(pos)))
        ++pos;
    return raw.mid(begin, pos - begin);
}

bool isDigits(const QByteArray &word)
{
    if (word.isEmpty())
        return false;
    for (char c : word) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

// Tags and keywords are atoms: a quote or bracket in one means the line is not IMAP.
bool isPlainWord(const QByteArray &word)
{
    for (char c : word) {
        if (c == '"' || c == '(' || c == ')' || c == '{' || c == '\\' || static_cast<unsigned char>(c) < 0x20)
            return false;
    }
    return true;
}

void skipSpaces(const QByteArray &raw, qsizetype &pos)
{
    while (pos < raw.size() && raw.at(pos) == ' ')
        ++pos;
}

// The response must end with exactly one line end at pos.
Outcome expectLineEnd(const QByteArray &raw, qsizetype pos, QString *error)
{
    if (pos >= raw.size())
        return fail(error, Outcome::Incomplete, QStringLiteral("the response has no line end"));
    if (raw.at(pos) == '\r')
        ++pos;
    if (pos >= raw.size())
        return fail(error, Outcome::Incomplete, QStringLiteral("the response has no line end"));
    if (raw.at(pos) != '\n')
        return fail(error, Outcome::Malformed, QStringLiteral("unexpected data before the line end"));
    if (pos + 1 != raw.size())
        return fail(error, Outcome::Malformed, QStringLiteral("data after the end of the response"));
    return Outcome::Complete;
}

ImapStatus statusFromWord(const QByteArray &word)
{
    const QByteArray upper = word.toUpper();
    if (upper == "OK")
        return ImapStatus::Ok;
    if (upper == "NO")
        return ImapStatus::No;
    if (upper == "BAD")
        return ImapStatus::Bad;
    if (upper == "BYE")
        return ImapStatus::Bye;
    if (upper == "PREAUTH")
        return ImapStatus::Preauth;
    return ImapStatus::None;
}

// resp-text: an optional [code] and free text up to the line end. The text is not tokenised:
// it may hold unbalanced quotes or brackets.
Outcome parseResponseText(const QByteArray &raw, qsizetype &pos, ImapResponse &response, QString *error)
{
    skipSpaces(raw, pos);
    if (pos < raw.size() && raw.at(pos) == '[') {
        const qsizetype close = raw.indexOf(']', pos);
        const qsizetype lineEnd = raw.indexOf('\n', pos);
        if (close < 0 || (lineEnd >= 0 && close > lineEnd)) {
            if (lineEnd < 0)
                return fail(error, Outcome::Incomplete, QStringLiteral("the data ends inside a response code"));
            return fail(error, Outcome::Malformed, QStringLiteral("unclosed response code"));
        }
        response.code = raw.mid(pos + 1, close - pos - 1);
        pos = close + 1;
        skipSpaces(raw, pos);
    }
    const qsizetype begin = pos;
    while (pos < raw.size() && !isLineEnd(raw.at(pos)))
        ++pos;
    response.text = QString::fromUtf8(raw.mid(begin, pos - begin));
    return expectLineEnd(raw, pos, error);
}

Outcome parseValues(Input &in, qsizetype &pos, QList<ImapValue> &values, QString *error)
{
    const QByteArray &raw = in.raw;
    qsizetype valuesLeft = maxValuesPerResponse;
    for (;;) {
        skipSpaces(raw, pos);
        if (pos >= raw.size() || isLineEnd(raw.at(pos)))
            return Outcome::Complete;
        if (--valuesLeft < 0)
            return fail(error, Outcome::Malformed, QStringLiteral("more values than a response may hold"));
        ImapValue value;
        const Outcome outcome = parseValue(in, pos, value, 0, valuesLeft, error);
        if (outcome != Outcome::Complete)
            return outcome;
        values.append(std::move(value));
    }
}

Outcome parseUntaggedData(Input &in, qsizetype &pos, ImapResponse &response, QString *error)
{
    const Outcome outcome = parseValues(in, pos, response.values, error);
    if (outcome != Outcome::Complete)
        return outcome;
    if (in.framed && in.nextLiteral != in.framed->literals.size())
        return fail(error, Outcome::Malformed, QStringLiteral("a literal outside the response's values"));
    return expectLineEnd(in.raw, pos, error);
}

Outcome parseUntagged(Input &in, qsizetype &pos, ImapResponse &response, ImapValueFilter wantsValues,
                      QString *error)
{
    const QByteArray &raw = in.raw;
    QByteArray word = readWord(raw, pos);
    if (word.isEmpty())
        return fail(error, pos >= raw.size() ? Outcome::Incomplete : Outcome::Malformed,
                    QStringLiteral("untagged response without content"));
    if (isDigits(word)) {
        // A count beyond any integer this program carries is refused, not read as a keyword.
        bool fits = false;
        response.number = word.toLongLong(&fits);
        if (!fits)
            return fail(error, Outcome::Malformed, QStringLiteral("a number too large to carry"));
        skipSpaces(raw, pos);
        word = readWord(raw, pos);
        if (word.isEmpty())
            return fail(error, pos >= raw.size() ? Outcome::Incomplete : Outcome::Malformed,
                        QStringLiteral("number without a keyword"));
    }
    if (!isPlainWord(word))
        return fail(error, Outcome::Malformed, QStringLiteral("bad keyword in an untagged response"));
    response.keyword = word.toUpper();
    response.status = response.number < 0 ? statusFromWord(word) : ImapStatus::None;
    if (response.status != ImapStatus::None)
        return parseResponseText(raw, pos, response, error);
    // Data nobody will look at is not taken apart: a line of many values costs memory per value.
    if (wantsValues && !wantsValues(response.keyword))
        return Outcome::Complete;
    return parseUntaggedData(in, pos, response, error);
}

}  // namespace

bool ImapValue::isNumber() const
{
    if (kind != Kind::Atom || text.isEmpty())
        return false;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return text.size() <= 18;
}

qint64 ImapValue::toNumber() const
{
    return isNumber() ? text.toLongLong() : -1;
}

ImapParseResult::Outcome parseImapValues(const QByteArray &raw, qsizetype &pos,
                                         QList<ImapValue> &values, QString *error)
{
    Input in{raw};
    return parseValues(in, pos, values, error);
}

namespace {

ImapParseResult parseResponse(Input &in, ImapValueFilter wantsValues)
{
    const QByteArray &raw = in.raw;
    ImapParseResult result;
    ImapResponse &response = result.response;
    qsizetype pos = 0;
    const QByteArray tag = readWord(raw, pos);
    if (tag.isEmpty()) {
        result.outcome = raw.isEmpty() ? Outcome::Incomplete : Outcome::Malformed;
        result.error = QStringLiteral("response without a tag");
        return result;
    }
    response.tag = tag;
    if (!isPlainWord(tag)) {
        result.outcome = Outcome::Malformed;
        result.error = QStringLiteral("bad tag");
        return result;
    }
    if (tag == "+") {
        response.kind = ImapResponse::Kind::Continuation;
        skipSpaces(raw, pos);
        const qsizetype begin = pos;
        while (pos < raw.size() && !isLineEnd(raw.at(pos)))
            ++pos;
        response.text = QString::fromUtf8(raw.mid(begin, pos - begin));
        result.outcome = expectLineEnd(raw, pos, &result.error);
        return result;
    }
    skipSpaces(raw, pos);
    if (tag == "*") {
        response.kind = ImapResponse::Kind::Untagged;
        result.outcome = parseUntagged(in, pos, response, wantsValues, &result.error);
        return result;
    }
    response.kind = ImapResponse::Kind::Tagged;
    const QByteArray word = readWord(raw, pos);
    response.keyword = word.toUpper();
    response.status = statusFromWord(word);
    if (response.status == ImapStatus::None) {
        result.outcome = pos >= raw.size() ? Outcome::Incomplete : Outcome::Malformed;
        result.error = QStringLiteral("tagged response without OK, NO or BAD");
        return result;
    }
    result.outcome = parseResponseText(raw, pos, response, &result.error);
    return result;
}

}  // namespace

ImapParseResult parseImapResponse(const QByteArray &raw, ImapValueFilter wantsValues)
{
    Input in{raw};
    return parseResponse(in, wantsValues);
}

ImapParseResult parseImapResponse(const ImapFramedResponse &response, ImapValueFilter wantsValues)
{
    Input in{response.lines, &response};
    return parseResponse(in, wantsValues);
}

std::optional<ImapListEntry> parseListResponse(const ImapResponse &response)
{
    if (response.kind != ImapResponse::Kind::Untagged
        || (response.keyword != "LIST" && response.keyword != "LSUB" && response.keyword != "XLIST"))
        return std::nullopt;
    const QList<ImapValue> &values = response.values;
    if (values.size() < 3 || values[0].kind != ImapValue::Kind::List)
        return std::nullopt;
    ImapListEntry entry;
    for (const ImapValue &attribute : values[0].items) {
        if (attribute.kind != ImapValue::Kind::Atom)
            return std::nullopt;
        entry.attributes.append(QString::fromUtf8(attribute.text));
    }
    if (values[1].kind != ImapValue::Kind::Nil) {
        if (!values[1].isAstring())
            return std::nullopt;
        entry.delimiter = QString::fromUtf8(values[1].text);
    }
    if (!values[2].isAstring())
        return std::nullopt;
    entry.wireName = values[2].text;
    return entry;
}

std::optional<ImapFetchData> parseFetchResponse(const ImapResponse &response)
{
    if (response.kind != ImapResponse::Kind::Untagged || response.keyword != "FETCH"
        || response.number <= 0 || response.values.size() != 1
        || response.values[0].kind != ImapValue::Kind::List)
        return std::nullopt;
    const QList<ImapValue> &items = response.values[0].items;
    if (items.size() % 2 != 0)
        return std::nullopt;
    ImapFetchData data;
    data.sequenceNumber = response.number;
    for (qsizetype i = 0; i < items.size(); i += 2) {
        if (items[i].kind != ImapValue::Kind::Atom)
            return std::nullopt;
        const QByteArray name = items[i].text.toUpper();
        const ImapValue &value = items[i + 1];
        if (name == "BODY[]" || name == "RFC822") {
            if (value.isString()) {
                data.hasBody = true;
                data.body = value.text;
            }
        } else if (name == "INTERNALDATE") {
            if (value.isString()) {
                if (const auto date = parseInternalDate(value.text))
                    data.internalDate = *date;
            }
        } else if (name == "FLAGS") {
            if (value.kind != ImapValue::Kind::List)
                return std::nullopt;
            data.hasFlags = true;
            for (const ImapValue &flag : value.items)
                data.flags.append(QString::fromUtf8(flag.text));
        }
    }
    return data;
}

std::optional<QDateTime> parseInternalDate(const QByteArray &text)
{
    static const QRegularExpression pattern(QStringLiteral(
        "^ ?(\\d{1,2})-([A-Za-z]{3})-(\\d{4}) (\\d{2}):(\\d{2}):(\\d{2}) ([+-])(\\d{2})(\\d{2})$"));
    const QRegularExpressionMatch match = pattern.match(QString::fromLatin1(text));
    if (!match.hasMatch())
        return std::nullopt;
    static const QStringList months = {QStringLiteral("jan"), QStringLiteral("feb"), QStringLiteral("mar"),
                                       QStringLiteral("apr"), QStringLiteral("may"), QStringLiteral("jun"),
                                       QStringLiteral("jul"), QStringLiteral("aug"), QStringLiteral("sep"),
                                       QStringLiteral("oct"), QStringLiteral("nov"), QStringLiteral("dec")};
    const int month = months.indexOf(match.captured(2).toLower()) + 1;
    const QDate date(match.captured(3).toInt(), month, match.captured(1).toInt());
    const QTime time(match.captured(4).toInt(), match.captured(5).toInt(), match.captured(6).toInt());
    const int zoneHours = match.captured(8).toInt();
    const int zoneMinutes = match.captured(9).toInt();
    if (month == 0 || !date.isValid() || !time.isValid() || zoneHours > 23 || zoneMinutes > 59)
        return std::nullopt;
    int offset = zoneHours * 3600 + zoneMinutes * 60;
    if (match.captured(7) == QLatin1String("-"))
        offset = -offset;
    return QDateTime(date, time, Qt::OffsetFromUTC, offset);
}

QString imapStatusName(ImapStatus status)
{
    switch (status) {
    case ImapStatus::Ok: return QStringLiteral("OK");
    case ImapStatus::No: return QStringLiteral("NO");
    case ImapStatus::Bad: return QStringLiteral("BAD");
    case ImapStatus::Bye: return QStringLiteral("BYE");
    case ImapStatus::Preauth: return QStringLiteral("PREAUTH");
    case ImapStatus::None: break;
    }
    return QString();
}
