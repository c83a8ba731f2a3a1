#include "GeneralDateReading.h"

#include <QRandomGenerator>
#include <QtTest>
#include <ctime>

class TestGeneralDate : public QObject {
    Q_OBJECT

private slots:
    void formatsInLocales_data();
    void formatsInLocales();
    void roundTripsAcrossYears_data();
    void roundTripsAcrossYears();
    void unreadableTextsGiveNothing_data();
    void unreadableTextsGiveNothing();
    void formatShowsLocalTimeOfUtcInput();
    void dayNumbers_data();
    void dayNumbers();
    void dayNumberIgnoresDaylightSaving();
};

static QDateTime local(int y, int mo, int d, int h = 0, int mi = 0, int s = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::LocalTime);
}

void TestGeneralDate::formatsInLocales_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QDateTime>("dateTime");
    QTest::addColumn<QString>("text");

    const QDateTime afternoon = local(2021, 9, 1, 15, 0, 0);
    const QDateTime midnight = local(2021, 9, 1);
    QTest::newRow("en_US afternoon") << "en_US" << afternoon << "9/1/2021 3:00:00 PM";
    QTest::newRow("en_US midnight") << "en_US" << midnight << "9/1/2021";
    QTest::newRow("en_US morning") << "en_US" << local(2021, 12, 24, 9, 5, 7) << "12/24/2021 9:05:07 AM";
    QTest::newRow("en_US one second past midnight") << "en_US" << local(2021, 9, 1, 0, 0, 1)
                                                    << "9/1/2021 12:00:01 AM";
    QTest::newRow("de_DE afternoon") << "de_DE" << afternoon << "01.09.2021 15:00:00";
    QTest::newRow("de_DE midnight") << "de_DE" << midnight << "01.09.2021";
    QTest::newRow("fr_FR afternoon") << "fr_FR" << afternoon << "01/09/2021 15:00:00";
    QTest::newRow("en_GB afternoon") << "en_GB" << afternoon << "01/09/2021 15:00:00";
    QTest::newRow("ja_JP afternoon") << "ja_JP" << afternoon
                                     << QStringLiteral("2021/09/01 15\u664200\u520600\u79d2");
    QTest::newRow("ja_JP midnight") << "ja_JP" << midnight << "2021/09/01";
    // Zone written in parentheses in the locale's long time format.
    QTest::newRow("es_ES afternoon") << "es_ES" << afternoon << "1/9/2021 15:00:00";
    // Short year with dots, AM/PM marker before the hour.
    QTest::newRow("ko_KR afternoon") << "ko_KR" << afternoon
                                     << QStringLiteral("2021. 9. 1. \uc624\ud6c4 3\uc2dc 0\ubd84 0\ucd08");
    // Qt's zh_TW data has CLDR's day period "B", which Qt would print as a literal letter.
    QTest::newRow("zh_TW afternoon") << "zh_TW" << local(2021, 9, 1, 15, 4, 5)
                                     << QStringLiteral("2021/9/1 \u4e0b\u53483:04:05");
    QTest::newRow("year 1928") << "en_US" << local(1928, 2, 29, 23, 59, 59) << "2/29/1928 11:59:59 PM";
    QTest::newRow("year 2172") << "de_DE" << local(2172, 12, 31, 12, 0, 0) << "31.12.2172 12:00:00";
}

void TestGeneralDate::formatsInLocales()
{
    QFETCH(QString, locale);
    QFETCH(QDateTime, dateTime);
    QFETCH(QString, text);
    const QLocale l(locale);
    QCOMPARE(formatGeneralDate(dateTime, l), text);
    const auto parsed = parseGeneralDate(text, l);
    QVERIFY(parsed.has_value());
    QCOMPARE(*parsed, dateTime);
}

void TestGeneralDate::roundTripsAcrossYears_data()
{
    QTest::addColumn<QString>("locale");
    for (const char *name : {"en_US", "de_DE", "fr_FR", "ja_JP", "en_GB", "es_ES", "ko_KR", "fa_IR",
                             "bg_BG", "sq_AL", "ru_RU", "zh_TW"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestGeneralDate::roundTripsAcrossYears()
{
    QFETCH(QString, locale);
    const QLocale l(locale);
    QRandomGenerator random(1928);
    const QDate first(1928, 1, 1);
    const qint64 span = first.daysTo(QDate(2172, 12, 31));
    for (int n = 0; n < 3000; ++n) {
        const QDate date = first.addDays(random.bounded(span + 1));
        // Every third sample at midnight, to cover the date-only form.
        const QTime time = n % 3 == 0 ? QTime(0, 0)
                                      : QTime::fromMSecsSinceStartOfDay(random.bounded(86400) * 1000);
        const QDateTime original(date, time, Qt::LocalTime);
        const QString text = formatGeneralDate(original, l);
        const auto parsed = parseGeneralDate(text, l);
        QVERIFY2(parsed.has_value(), qPrintable(text));
        // The text carries no offset, so the wall clock is what must come back (in the hour the
        // clocks go back, the earlier of the two instants is as right as the later one).
        QCOMPARE(parsed->date(), original.date());
        QCOMPARE(parsed->time(), original.time());
        QCOMPARE(formatGeneralDate(*parsed, l), text);
    }
}

void TestGeneralDate::unreadableTextsGiveNothing_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << "en_US" << "";
    QTest::newRow("spaces") << "en_US" << "   ";
    QTest::newRow("words") << "en_US" << "yesterday";
    QTest::newRow("two-digit year") << "en_US" << "9/1/21";
    QTest::newRow("month 13") << "en_US" << "13/1/2021";
    QTest::newRow("30 February") << "en_US" << "2/30/2021";
    QTest::newRow("hour 25") << "en_US" << "9/1/2021 25:00:00 PM";
    QTest::newRow("missing seconds") << "de_DE" << "01.09.2021 15:00";
    QTest::newRow("trailing junk") << "de_DE" << "01.09.2021 15:00:00 x";
    QTest::newRow("other locale's order") << "de_DE" << "9/1/2021 3:00:00 PM";
    QTest::newRow("negative year") << "en_US" << "9/1/-2021";
}

void TestGeneralDate::unreadableTextsGiveNothing()
{
    QFETCH(QString, locale);
    QFETCH(QString, text);
    QVERIFY(!parseGeneralDate(text, QLocale(locale)).has_value());
}

void TestGeneralDate::formatShowsLocalTimeOfUtcInput()
{
    // Europe/Berlin is two hours ahead in September.
    const QDateTime utc(QDate(2021, 9, 1), QTime(13, 0), Qt::UTC);
    QCOMPARE(formatGeneralDate(utc, QLocale("de_DE")), QStringLiteral("01.09.2021 15:00:00"));
    QCOMPARE(formatGeneralDate(QDateTime(), QLocale("de_DE")), QString());
}

void TestGeneralDate::dayNumbers_data()
{
    QTest::addColumn<QDateTime>("dateTime");
    QTest::addColumn<qint64>("day");
    QTest::newRow("epoch") << local(1899, 12, 30) << qint64(0);
    QTest::newRow("morning rounds down") << local(2021, 9, 1, 9) << qint64(44440);
    QTest::newRow("afternoon rounds up") << local(2021, 9, 1, 15) << qint64(44441);
    QTest::newRow("noon on even day stays") << local(2021, 9, 1, 12) << qint64(44440);
    QTest::newRow("noon on odd day goes up") << local(2021, 9, 2, 12) << qint64(44442);
    QTest::newRow("just past noon") << QDateTime(QDate(2021, 9, 1), QTime(12, 0, 0, 1), Qt::LocalTime)
                                    << qint64(44441);
    QTest::newRow("before the epoch") << local(1899, 12, 29, 6) << qint64(-1);
    // -2.5: the even neighbour is -2
    QTest::newRow("noon before the epoch") << local(1899, 12, 27, 12) << qint64(-2);
    QTest::newRow("utc input uses local date") << QDateTime(QDate(2021, 9, 1), QTime(23, 0), Qt::UTC)
                                               << qint64(44441); // 01:00 on 2 Sep in Berlin
}

void TestGeneralDate::dayNumbers()
{
    QFETCH(QDateTime, dateTime);
    QFETCH(qint64, day);
    QCOMPARE(dayNumber(dateTime), day);
}

void TestGeneralDate::dayNumberIgnoresDaylightSaving()
{
    // The clocks change on these days in Berlin. Counted in elapsed seconds, local noon would
    // not be an exact half day and would round the other way.
    QCOMPARE(dayNumber(local(2021, 3, 28, 12)), qint64(44284));
    QCOMPARE(dayNumber(local(2021, 3, 28, 11, 59, 59)), qint64(44283));
    QCOMPARE(dayNumber(local(2021, 10, 31, 12)), qint64(44500));
    QCOMPARE(dayNumber(local(2021, 10, 31, 12, 0, 1)), qint64(44501));
}

int main(int argc, char **argv)
{
    // Before anything reads the clock: the expectations above are Berlin wall-clock times.
    qputenv("TZ", "Europe/Berlin");
    tzset();
    QCoreApplication app(argc, argv);
    TestGeneralDate test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_generaldate.moc"
