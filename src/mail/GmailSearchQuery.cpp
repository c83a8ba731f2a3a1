#include "mail/GmailSearchQuery.h"

#include <QDate>
#include <QRegularExpression>
#include <QStringList>

namespace {

const QString kSupportedText = QStringLiteral(
    "Here you can use from:, to:, cc:, bcc:, subject:, after:, before:, words, \"quoted phrases\" "
    "and -word to leave a word out. Only Gmail's own server understands the whole Gmail search "
    "language.");

// Gmail operators that a standard SEARCH cannot express.
const QStringList kGmailOnlyOperators = {
    QStringLiteral("label"), QStringLiteral("has"), QStringLiteral("is"), QStringLiteral("in"),
    QStringLiteral("filename"), QStringLiteral("list"), QStringLiteral("deliveredto"),
    QStringLiteral("category"), QStringLiteral("size"), QStringLiteral("larger"),
    QStringLiteral("smaller"), QStringLiteral("older_than"), QStringLiteral("newer_than"),
    QStringLiteral("rfc822msgid"), QStringLiteral("around")};

struct Term {
    bool negated = false;
    QString name;   // the operator, lower case; empty for a word or phrase
    QString value;
    QString written;  // as the user wrote it, for messages
};

QString refusal(const QString &what)
{
    return QStringLiteral("%1 is not supported by this server's search. ").arg(what) + kSupportedText;
}

// Reads a phrase that starts at a quotation mark; pos ends after its closing mark.
std::optional<QString> readPhrase(const QString &query, qsizetype &pos)
{
    const qsizetype close = query.indexOf(QLatin1Char('"'), pos + 1);
    if (close < 0)
        return std::nullopt;
    const QString phrase = query.mid(pos + 1, close - pos - 1);
    pos = close + 1;
    return phrase;
}

// Splits the query into terms. Sets problem for what cannot be read.
QList<Term> readTerms(const QString &query, QString *problem)
{
    static const QRegularExpression operatorName(QStringLiteral("^([A-Za-z_]+):"));
    QList<Term> terms;
    qsizetype pos = 0;
    while (pos < query.size()) {
        if (query[pos].isSpace()) {
            ++pos;
            continue;
        }
        const qsizetype start = pos;
        Term term;
        if (query[pos] == QLatin1Char('-') && pos + 1 < query.size() && !query[pos + 1].isSpace()) {
            term.negated = true;
            ++pos;
        }
        if (query[pos] != QLatin1Char('"')) {
            qsizetype end = pos;
            while (end < query.size() && !query[end].isSpace() && query[end] != QLatin1Char('"'))
                ++end;
            const QString word = query.mid(pos, end - pos);
            const QRegularExpressionMatch match = operatorName.match(word);
            if (match.hasMatch()) {
                term.name = match.captured(1).toLower();
                pos += match.capturedLength(0);
            }
        }
        if (pos < query.size() && query[pos] == QLatin1Char('"')) {
            const std::optional<QString> phrase = readPhrase(query, pos);
            if (!phrase) {
                *problem = QStringLiteral("A quotation mark is not closed: %1").arg(query.mid(start));
                return {};
            }
            term.value = *phrase;
        } else {
            const qsizetype valueStart = pos;
            while (pos < query.size() && !query[pos].isSpace())
                ++pos;
            term.value = query.mid(valueStart, pos - valueStart);
        }
        term.written = query.mid(start, pos - start);
        terms.append(term);
    }
    return terms;
}

// Gmail's date forms: 2025/01/31, 2025-01-31, 2025/1/31 and 01/31/2025.
std::optional<QDate> gmailDate(const QString &text)
{
    static const QRegularExpression yearFirst(QStringLiteral("^(\\d{4})([/-])(\\d{1,2})\\2(\\d{1,2})$"));
    static const QRegularExpression yearLast(QStringLiteral("^(\\d{1,2})/(\\d{1,2})/(\\d{4})$"));
    QDate date;
    if (const QRegularExpressionMatch m = yearFirst.match(text); m.hasMatch())
        date = QDate(m.captured(1).toInt(), m.captured(3).toInt(), m.captured(4).toInt());
    else if (const QRegularExpressionMatch m = yearLast.match(text); m.hasMatch())
        date = QDate(m.captured(3).toInt(), m.captured(1).toInt(), m.captured(2).toInt());
    if (!date.isValid())
        return std::nullopt;
    return date;
}

// RFC 3501's date: 1-Feb-2025, English month names whatever the locale.
QByteArray imapDate(const QDate &date)
{
    static const char *const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    return QByteArray::number(date.day()) + '-' + months[date.month() - 1] + '-' + QByteArray::number(date.year());
}

// The keys of one term, or a problem.
QList<ImapSearchPart> keysOf(const Term &term, QString *problem)
{
    static const QHash<QString, QByteArray> headerKeys = {
        {QStringLiteral("from"), "FROM"}, {QStringLiteral("to"), "TO"}, {QStringLiteral("cc"), "CC"},
        {QStringLiteral("bcc"), "BCC"}, {QStringLiteral("subject"), "SUBJECT"}};
    static const QHash<QString, QByteArray> dateKeys = {
        {QStringLiteral("after"), "SINCE"}, {QStringLiteral("newer"), "SINCE"},
        {QStringLiteral("before"), "BEFORE"}, {QStringLiteral("older"), "BEFORE"}};
    static const QStringList joiners = {QStringLiteral("OR"), QStringLiteral("AND"), QStringLiteral("AROUND")};
    QList<ImapSearchPart> keys;
    if (term.negated)
        keys.append(searchAtom("NOT"));
    const bool plainWord = term.name.isEmpty() && !term.written.contains(QLatin1Char('"'));
    if (plainWord && (joiners.contains(term.value) || term.value.startsWith(QLatin1Char('{'))
                      || term.value.startsWith(QLatin1Char('(')))) {
        *problem = refusal(QStringLiteral("\"%1\"").arg(term.value));
        return {};
    }
    if (kGmailOnlyOperators.contains(term.name)) {
        *problem = refusal(QStringLiteral("\"%1:\"").arg(term.name));
        return {};
    }
    if (!term.name.isEmpty() && term.value.isEmpty()) {
        *problem = QStringLiteral("\"%1\" needs something after the colon.").arg(term.written);
        return {};
    }
    if (headerKeys.contains(term.name)) {
        keys << searchAtom(headerKeys.value(term.name)) << searchString(term.value.toUtf8());
    } else if (dateKeys.contains(term.name)) {
        const std::optional<QDate> date = gmailDate(term.value);
        if (!date) {
            *problem = QStringLiteral("\"%1\" is not a date this search understands: write it as "
                                      "2025/01/31, 2025-01-31 or 01/31/2025.").arg(term.written);
            return {};
        }
        keys << searchAtom(dateKeys.value(term.name)) << searchAtom(imapDate(*date));
    } else {
        // A word with a colon that is no operator ("10:30") is text like any other.
        const QString text = term.name.isEmpty() ? term.value : term.written.mid(term.negated ? 1 : 0);
        if (text.isEmpty())
            return {};
        keys << searchAtom("TEXT") << searchString(text.toUtf8());
    }
    return keys;
}

QString emptyQueryProblem()
{
    return QStringLiteral("Type what to search for, for example: from:bank after:2025/01/01");
}

}  // namespace

GmailSearchKeys gmailRawSearch(const QString &query)
{
    const QString trimmed = query.trimmed();
    if (trimmed.isEmpty())
        return {std::nullopt, emptyQueryProblem()};
    return {ImapSearchRequest{{searchAtom("X-GM-RAW"), searchString(trimmed.toUtf8())}}, QString()};
}

GmailSearchKeys standardSearch(const QString &query)
{
    QString problem;
    const QList<Term> terms = readTerms(query, &problem);
    if (!problem.isEmpty())
        return {std::nullopt, problem};
    ImapSearchRequest request;
    for (const Term &term : terms) {
        request.parts.append(keysOf(term, &problem));
        if (!problem.isEmpty())
            return {std::nullopt, problem};
    }
    if (request.parts.isEmpty())
        return {std::nullopt, emptyQueryProblem()};
    return {request, QString()};
}

bool offersGmailSearch(const QString &capabilityAnswer)
{
    for (const QString &line : capabilityAnswer.split(QLatin1Char('\n'))) {
        const QStringList words = line.trimmed().split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (words.size() >= 2 && words[0] == QLatin1String("*")
            && words[1].compare(QLatin1String("CAPABILITY"), Qt::CaseInsensitive) == 0
            && words.contains(QStringLiteral("X-GM-EXT-1"), Qt::CaseInsensitive))
            return true;
    }
    return false;
}
