#pragma once
// Reads what formatGeneralDate writes (with or without the time; surrounding white space is
// ignored) as a local date-time; nothing for any other text. The program never reads its date
// texts back; the tests do, to hold the text to the date-time it was written from.

#include "core/GeneralDate.h"

#include <optional>

inline std::optional<QDateTime> parseGeneralDate(const QString &text, const QLocale &locale = QLocale())
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    const GeneralDateFormats &formats = generalDateFormats(locale);
    const QDateTime withTime = locale.toDateTime(trimmed, formats.dateTime);
    // Qt reads "-2021" into a year before Christ; formatting never writes one.
    if (withTime.isValid())
        return withTime.date().year() > 0 ? std::optional<QDateTime>(withTime.toLocalTime()) : std::nullopt;
    const QDate date = locale.toDate(trimmed, formats.date);
    if (!date.isValid() || date.year() <= 0)
        return std::nullopt;
    const QDateTime midnight(date, QTime(0, 0));
    if (midnight.isValid())
        return midnight;
    // Where the clocks skip midnight the day starts later.
    const QDateTime start = date.startOfDay();
    return start.isValid() ? std::optional<QDateTime>(start) : std::nullopt;
}
