// The error convention, the error log and the value conversions every window relies on.

#include "core/AppError.h"
#include "core/Conversions.h"
#include "core/ErrorLog.h"
#include "GeneralDateReading.h"
#include "core/Procedure.h"
#include "core/ProgramFolder.h"
#include "platform/ScriptedDialogs.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

class TestProcedure : public QObject {
    Q_OBJECT
private slots:
    void boxNamesPlaceLineAndSupport();
    void failingStatementResumesWithNext();
    void failureInLoopShowsOneBoxPerPass();
    void failingConditionRunsItsBranch();
    void standardExceptionsAreReportedToo();
    void errorLogAppendsOneRecordPerCall();
    void errorLogIsSilentInReadOnlyFolder();
    void conversionsFollowTheProgramsRules();
    void leadingNumberReadsLikeTheRangeDialog();
};

void TestProcedure::boxNamesPlaceLineAndSupport()
{
    platform::ScriptedDialogs dialogs;
    Procedure p(QStringLiteral("Form1"), QStringLiteral("Form_Load"));
    p(110, [] { throw AppError(QStringLiteral("File not found"), 53); });
    QCOMPARE(dialogs.shown.size(), 1);
    const auto &box = dialogs.shown.first().request;
    QCOMPARE(box.title, QStringLiteral("Application Error"));
    QCOMPARE(box.icon, platform::BoxIcon::Exclamation);
    QCOMPARE(box.buttons, platform::BoxButtons::Ok);
    QCOMPARE(box.text, QStringLiteral("File not found\r\nin Vantelo2021/08/31.Form1.Form_Load at line 110"
                                      "\r\rPlease email screenshot of this message to ")
                           + Procedure::supportAddress());
}

void TestProcedure::failingStatementResumesWithNext()
{
    platform::ScriptedDialogs dialogs;
    Procedure p(QStringLiteral("Form2"), QStringLiteral("PushButton1_Click"));
    QStringList ran;
    p(100, [&] { ran << "100"; });
    p(102, [&] {
        ran << "102";
        apperror::throwTypeMismatch();
        ran << "after throw";
    });
    p(104, [&] { ran << "104"; });
    QCOMPARE(ran, (QStringList{"100", "102", "104"}));
    QCOMPARE(p.failures(), 1);
    QVERIFY(dialogs.messageTexts().first().startsWith("Type mismatch\r\n"));
    QVERIFY(dialogs.messageTexts().first().contains("Form2.PushButton1_Click at line 102"));
}

void TestProcedure::failureInLoopShowsOneBoxPerPass()
{
    platform::ScriptedDialogs dialogs;
    Procedure p(QStringLiteral("Form1"), QStringLiteral("PushButton5_Click"));
    int passes = 0;
    for (int i = 0; i < 4; ++i) {
        p(100, [&] {
            ++passes;
            if (i % 2 == 0)
                apperror::throwOverflow();
        });
    }
    QCOMPARE(passes, 4);
    QCOMPARE(dialogs.shown.size(), 2);
}

void TestProcedure::failingConditionRunsItsBranch()
{
    platform::ScriptedDialogs dialogs;
    Procedure p(QStringLiteral("Form1"), QStringLiteral("PushButton3_Click"));
    bool connectPathRan = false;
    if (p.test(102, []() -> bool { throw AppError(QStringLiteral("Object required"), 424); }))
        connectPathRan = true;
    QVERIFY(connectPathRan);
    QCOMPARE(dialogs.shown.size(), 1);
    QVERIFY(!p.test(104, [] { return false; }));
    QCOMPARE(dialogs.shown.size(), 1);
}

void TestProcedure::standardExceptionsAreReportedToo()
{
    platform::ScriptedDialogs dialogs;
    Procedure p(QStringLiteral("Form1"), QStringLiteral("Form_Load"));
    p(100, [] { throw std::runtime_error("disk full"); });
    QCOMPARE(dialogs.shown.size(), 1);
    QVERIFY(dialogs.messageTexts().first().startsWith("disk full\r\n"));
}

void TestProcedure::errorLogAppendsOneRecordPerCall()
{
    QTemporaryDir dir;
    setProgramFolder(dir.path());
    appendErrorLogRecord(QStringLiteral("FETCH completed"));
    appendErrorLogRecord(QStringLiteral("line one\r\nline two"));
    QFile log(dir.filePath("errorlog.txt"));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(log.readAll());
    const QString stars = QString(52, QLatin1Char('*'));
    QCOMPARE(text.count(stars + "\r\n"), 2);
    const QStringList records = text.split(stars + "\r\n", Qt::SkipEmptyParts);
    QCOMPARE(records.size(), 2);
    QVERIFY(records[0].endsWith(" : FETCH completed\r\n"));
    QVERIFY(records[1].endsWith(" : line one\\r\\nline two\r\n"));
    // The time stamp is the locale's general date text and reads back as a date.
    const QString stamp = records[0].section(QStringLiteral(" : "), 0, 0);
    QVERIFY2(parseGeneralDate(stamp).has_value(), qPrintable(stamp));
}

void TestProcedure::errorLogIsSilentInReadOnlyFolder()
{
    platform::ScriptedDialogs dialogs;
    setProgramFolder(QStringLiteral("/proc/no-such-folder"));
    appendErrorLogRecord(QStringLiteral("anything"));
    QVERIFY(!QFile::exists(QStringLiteral("/proc/no-such-folder/errorlog.txt")));
    QVERIFY(dialogs.shown.isEmpty());
}

void TestProcedure::conversionsFollowTheProgramsRules()
{
    QCOMPARE(toInteger(QStringLiteral("3")), 3);
    QCOMPARE(toInteger(QStringLiteral(" -2 ")), -2);
    QCOMPARE(toInteger(QStringLiteral("2.5")), 2);
    QCOMPARE(toInteger(QStringLiteral("3.5")), 4);
    QVERIFY_THROWS_EXCEPTION(AppError, toInteger(QStringLiteral("abc")));
    QVERIFY_THROWS_EXCEPTION(AppError, toInteger(QString()));
    QVERIFY_THROWS_EXCEPTION(AppError, toInteger(QStringLiteral("99999999999")));
    QVERIFY(toBoolean(QStringLiteral("True")));
    QVERIFY(toBoolean(QStringLiteral("true")));
    QVERIFY(!toBoolean(QStringLiteral("False")));
    QVERIFY(toBoolean(QStringLiteral("1")));
    QVERIFY(!toBoolean(QStringLiteral("0")));
    QVERIFY_THROWS_EXCEPTION(AppError, toBoolean(QStringLiteral("yes")));
    try {
        toInteger(QStringLiteral("abc"));
    } catch (const AppError &e) {
        QCOMPARE(e.number(), apperror::TypeMismatch);
        QCOMPARE(e.description(), QStringLiteral("Type mismatch"));
    }
    QCOMPARE(roundHalfToEven(0.5), 0.0);
    QCOMPARE(roundHalfToEven(1.5), 2.0);
    QCOMPARE(roundHalfToEven(-2.5), -2.0);
}

void TestProcedure::leadingNumberReadsLikeTheRangeDialog()
{
    QCOMPARE(leadingNumber(QStringLiteral("12")), 12.0);
    QCOMPARE(leadingNumber(QStringLiteral("  7abc")), 7.0);
    QCOMPARE(leadingNumber(QStringLiteral("abc")), 0.0);
    QCOMPARE(leadingNumber(QString()), 0.0);
    QCOMPARE(leadingNumber(QStringLiteral("-3")), -3.0);
    QCOMPARE(leadingNumber(QStringLiteral("2.5")), 2.5);
    QCOMPARE(leadingNumber(QStringLiteral("1 2")), 12.0);
    QCOMPARE(leadingNumber(QStringLiteral("1e3x")), 1000.0);
    QCOMPARE(leadingNumber(QStringLiteral("4e")), 4.0);
    QCOMPARE(leadingNumber(QStringLiteral(".")), 0.0);
}

QTEST_GUILESS_MAIN(TestProcedure)
#include "tst_procedure.moc"
