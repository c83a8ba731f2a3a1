#include "core/Conversions.h"

#include "core/AppError.h"

#include <cfenv>
#include <cmath>
#include <limits>

double roundHalfToEven(double value)
{
    const int previous = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(value);
    std::fesetround(previous);
    return rounded;
}

qint32 roundToInteger(double value)
{
    const double rounded = roundHalfToEven(value);
    if (std::isnan(rounded) || rounded < std::numeric_limits<qint32>::min()
        || rounded > std::numeric_limits<qint32>::max())
        apperror::throwOverflow();
    return static_cast<qint32>(rounded);
}

qint32 toInteger(const QString &text)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok)
        apperror::throwTypeMismatch();
    return roundToInteger(value);
}

bool toBoolean(const QString &text)
{
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    bool ok = false;
    const double value = t.toDouble(&ok);
    if (!ok)
        apperror::throwTypeMismatch();
    return value != 0.0;
}

double leadingNumber(const QString &text)
{
    auto isBlank = [](QChar c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; };
    QString number;
    int i = 0;
    const int n = text.size();
    while (i < n && isBlank(text[i]))
        ++i;
    if (i < n && (text[i] == u'-' || text[i] == u'+'))
        number += text[i++];
    bool seenPoint = false;
    bool seenDigit = false;
    for (; i < n; ++i) {
        const QChar c = text[i];
        if (c.isDigit() && c.unicode() < 128) {
            number += c;
            seenDigit = true;
        } else if (c == u'.' && !seenPoint) {
            number += c;
            seenPoint = true;
        } else if (!isBlank(c)) {
            break;
        }
    }
    if (!seenDigit)
        return 0.0;
    // An exponent counts only when digits follow it.
    if (i + 1 < n && (text[i] == u'e' || text[i] == u'E')) {
        int j = i + 1;
        QString exponent = QStringLiteral("e");
        if (j < n && (text[j] == u'-' || text[j] == u'+'))
            exponent += text[j++];
        const int digitsStart = j;
        while (j < n && text[j].isDigit() && text[j].unicode() < 128)
            exponent += text[j++];
        if (j > digitsStart)
            number += exponent;
    }
    bool ok = false;
    const double value = number.toDouble(&ok);
    return ok ? value : 0.0;
}
