#pragma once
// The locale's "general date" text of a date-time (short date, a space, long time without a
// time zone; the date alone at midnight), which must read back to the same date-time, and the
// day number used to sort messages (days since 30 December 1899, rounded half to even).

#include <QDateTime>
#include <QLocale>
#include <QString>

QString formatGeneralDate(const QDateTime &dateTime, const QLocale &locale = QLocale());
// The formats it is written in: the short date with the full year, the long time without a
// zone, and the two joined by a space.
struct GeneralDateFormats {
    QString date;
    QString time;
    QString dateTime;
};
const GeneralDateFormats &generalDateFormats(const QLocale &locale = QLocale());
// The time of day as the locale writes it in long form, without a time zone (the time half of
// the general date text).
QString formatLongTime(const QTime &time, const QLocale &locale = QLocale());

// Days since 1899-12-30 00:00 local time with the time of day as fraction, rounded half to even.
// Counted on the local calendar and clock, so a daylight-saving change never moves it. An
// invalid date-time gives 0.
qint64 dayNumber(const QDateTime &dateTime);
