#include "core/GeneralDate.h"

#include <QDate>
#include <QRegularExpression>
#include <QTime>
#include <vector>

namespace {

// One piece of a Qt date/time format: a run of one field letter, a quoted literal (kept with
// its quotes), or plain literal text.
struct FormatToken {
    enum Kind { Field, Quoted, Literal } kind;
    QString text;
};

bool isFieldLetter(QChar c)
{
    static const QString letters = QStringLiteral("dMyhHmszaAptB");
    return letters.contains(c);
}

std::vector<FormatToken> tokenize(const QString &format)
{
    std::vector<FormatToken> tokens;
    qsizetype i = 0;
    while (i < format.size()) {
        const QChar c = format.at(i);
        qsizetype end = i + 1;
        if (c == QLatin1Char('\'')) {
            while (end < format.size() && format.at(end) != QLatin1Char('\''))
                ++end;
            end = qMin(end + 1, format.size());
            tokens.push_back({FormatToken::Quoted, format.mid(i, end - i)});
        } else if (isFieldLetter(c)) {
            while (end < format.size() && format.at(end) == c)
                ++end;
            tokens.push_back({FormatToken::Field, format.mid(i, end - i)});
        } else {
            while (end < format.size() && format.at(end) != QLatin1Char('\'')
                   && !isFieldLetter(format.at(end)))
                ++end;
            if (!tokens.empty() && tokens.back().kind == FormatToken::Literal)
                tokens.back().text += format.mid(i, end - i);
            else
                tokens.push_back({FormatToken::Literal, format.mid(i, end - i)});
        }
        i = end;
    }
    return tokens;
}

QString join(const std::vector<FormatToken> &tokens)
{
    QString out;
    for (const auto &t : tokens)
        out += t.text;
    return out;
}

bool isField(const FormatToken &token, QChar letter)
{
    return token.kind == FormatToken::Field && token.text.at(0) == letter;
}

bool hasField(const std::vector<FormatToken> &tokens, QChar letter)
{
    for (const auto &t : tokens)
        if (isField(t, letter))
            return true;
    return false;
}

// Qt's short formats mostly write "yy", which reads back into a fixed century.
QString shortDateFormatWithFullYear(const QLocale &locale)
{
    auto tokens = tokenize(locale.dateFormat(QLocale::ShortFormat));
    for (auto &t : tokens)
        if (isField(t, QLatin1Char('y')) && t.text.size() < 4)
            t.text = QStringLiteral("yyyy");
    return join(tokens);
}

// The text left around a removed time zone: "()", "[]", doubled spaces, a dangling comma.
void tidyLiterals(std::vector<FormatToken> &tokens)
{
    std::vector<FormatToken> merged;
    for (auto &t : tokens) {
        if (t.kind == FormatToken::Literal && !merged.empty()
            && merged.back().kind == FormatToken::Literal)
            merged.back().text += t.text;
        else
            merged.push_back(t);
    }
    static const QRegularExpression spaces(QStringLiteral("\\s{2,}"));
    for (auto &t : merged) {
        if (t.kind != FormatToken::Literal)
            continue;
        for (const char *empty : {"( )", "()", "[ ]", "[]"})
            t.text.remove(QLatin1String(empty));
        t.text.replace(spaces, QStringLiteral(" "));
    }
    static const QRegularExpression leading(QStringLiteral("^[\\s,]+"));
    static const QRegularExpression trailing(QStringLiteral("[\\s,]+$"));
    if (!merged.empty() && merged.front().kind == FormatToken::Literal)
        merged.front().text.remove(leading);
    if (!merged.empty() && merged.back().kind == FormatToken::Literal)
        merged.back().text.remove(trailing);
    tokens.clear();
    for (auto &t : merged)
        if (!t.text.isEmpty())
            tokens.push_back(t);
}

QString longTimeFormatWithoutZone(const QLocale &locale)
{
    const auto tokens = tokenize(locale.timeFormat(QLocale::LongFormat));
    const bool hasAmPm = hasField(tokens, QLatin1Char('a')) || hasField(tokens, QLatin1Char('A'));
    std::vector<FormatToken> kept;
    for (const auto &t : tokens) {
        if (isField(t, QLatin1Char('t')))
            continue;
        if (isField(t, QLatin1Char('B'))) {
            // CLDR's day period (zh_TW has it) is unknown to Qt, which would print a literal
            // "B"; the AM/PM marker is the nearest thing Qt has.
            if (!hasAmPm)
                kept.push_back({FormatToken::Field, QStringLiteral("AP")});
            continue;
        }
        kept.push_back(t);
    }
    tidyLiterals(kept);

    // A 12-hour clock without an AM/PM marker would read 3 PM back as 3 AM.
    if (!hasField(kept, QLatin1Char('a')) && !hasField(kept, QLatin1Char('A'))) {
        for (auto &t : kept)
            if (isField(t, QLatin1Char('h')))
                t.text.fill(QLatin1Char('H'));
    }
    if (!hasField(kept, QLatin1Char('s'))) {
        for (auto it = kept.begin(); it != kept.end(); ++it) {
            if (isField(*it, QLatin1Char('m'))) {
                kept.insert(it + 1, {{FormatToken::Literal, QStringLiteral(":")},
                                     {FormatToken::Field, QStringLiteral("ss")}});
                break;
            }
        }
    }
    return join(kept);
}

bool isMidnight(const QTime &time)
{
    return time == QTime(0, 0);
}

} // namespace

// Building the formats takes far longer than using them, and a download formats one date per
// message in the same locale.
const GeneralDateFormats &generalDateFormats(const QLocale &locale)
{
    thread_local QLocale cachedLocale(QLocale::C);
    thread_local GeneralDateFormats cached;
    thread_local bool filled = false;
    if (!filled || !(cachedLocale == locale)) {
        cached.date = shortDateFormatWithFullYear(locale);
        cached.time = longTimeFormatWithoutZone(locale);
        cached.dateTime = cached.date + QLatin1Char(' ') + cached.time;
        cachedLocale = locale;
        filled = true;
    }
    return cached;
}

QString formatGeneralDate(const QDateTime &dateTime, const QLocale &locale)
{
    if (!dateTime.isValid())
        return QString();
    const GeneralDateFormats &formats = generalDateFormats(locale);
    const QDateTime local = dateTime.toLocalTime();
    if (isMidnight(local.time()))
        return locale.toString(local.date(), formats.date);
    return locale.toString(local, formats.dateTime);
}

QString formatLongTime(const QTime &time, const QLocale &locale)
{
    if (!time.isValid())
        return QString();
    return locale.toString(time, generalDateFormats(locale).time);
}

qint64 dayNumber(const QDateTime &dateTime)
{
    if (!dateTime.isValid())
        return 0;
    constexpr qint64 msPerDay = 86400000;
    const QDateTime local = dateTime.toLocalTime();
    const qint64 days = QDate(1899, 12, 30).daysTo(local.date());
    const qint64 ms = local.time().msecsSinceStartOfDay();
    qint64 rounded = days;
    if (2 * ms > msPerDay || (2 * ms == msPerDay && (days & 1) != 0))
        rounded = days + 1;
    return rounded;
}
