// Naming each message's PDF from the user's pattern, and why there is no name when none comes out.

#include "core/GeneralDate.h"
#include "mail/MessageEntry.h"
#include "platform/ScriptedDialogs.h"
#include "print/CreatePdfFile.h"
#include "print/PdfFileName.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestPdfFileName : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void workedExampleNamesTheFile();
    void fieldsMatchInAnyLetterCase();
    void currentTimeLosesItsColons();
    void receivedDateComesFromTheDateTime();
    void receivedDateNeverReadsItsShownText_data();
    void receivedDateNeverReadsItsShownText();
    void unreadableReceivedDateIsReportedOnlyWhenAsked();
    void folderGetsOneSeparator();
    void folderAndNameHoldAtMost250Characters();
    void multiByteNamesFitOneFileNameWithRoomForACopyNumber();
    void emptyNameSaysWhy();
    void fieldsInsideValuesStayAsWritten();
    void namesHoldPlainTextOnly_data();
    void namesHoldPlainTextOnly();

private:
    QString create(const QString &pattern, const QString &folder = QStringLiteral("/out/"));
    MessageEntry m_message;
    PdfNameRequest m_request;
    QString m_whyNone;
    std::unique_ptr<platform::ScriptedDialogs> m_dialogs;
};

void TestPdfFileName::init()
{
    m_dialogs = std::make_unique<platform::ScriptedDialogs>();
    m_message = MessageEntry();
    m_message.Subject = QStringLiteral("Re: Invoice #12/2020?");
    m_message.From = QStringLiteral("\"Ann Lee\" <ann@example.com>");
    m_message.FromName = QStringLiteral("Ann Lee");
    m_message.FromAddress = QStringLiteral("ann@example.com");
    m_request = PdfNameRequest();
    m_request.count = 3;
    m_request.now = QDateTime(QDate(2026, 12, 6), QTime(14, 5, 9));
    m_request.userName = QStringLiteral("me@gmail.com");
}

void TestPdfFileName::cleanup()
{
    QLocale::setDefault(QLocale::c());
}

QString TestPdfFileName::create(const QString &pattern, const QString &folder)
{
    m_request.pattern = pattern;
    m_request.folder = folder;
    m_whyNone.clear();
    return CreatePDF_File(m_request, m_message, &m_whyNone);
}

void TestPdfFileName::workedExampleNamesTheFile()
{
    const QString path = create(defaultPdfNamePattern());
    QCOMPARE(path, QStringLiteral("/out/3 - 12-06-2026 Re  Invoice 12 2020.pdf"));
    QCOMPARE(m_whyNone, QString());
    QVERIFY(m_dialogs->shown.isEmpty());
}

void TestPdfFileName::fieldsMatchInAnyLetterCase()
{
    QCOMPARE(create(QStringLiteral("<subject>|<FROM NAME>|<from address>|<To>|<COUNT>|<current date>")),
             QStringLiteral("/out/Re  Invoice 12 2020  Ann Lee ann@example.com me@gmail.com 3 12-06-2026.pdf"));
    // "<From>" keeps its own angle brackets' text; a word that is no field stays as typed.
    QCOMPARE(create(QStringLiteral("<From> <Unknown>")),
             QStringLiteral("/out/Ann Lee  ann@example.com   Unknown.pdf"));
}

void TestPdfFileName::currentTimeLosesItsColons()
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QCOMPARE(create(QStringLiteral("<Current Time>")), QStringLiteral("/out/14 05 09.pdf"));
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const QString name = create(QStringLiteral("<current time>"));
    QVERIFY2(name.startsWith(QStringLiteral("/out/2 05 09")) && name.contains(QStringLiteral("PM")),
             qPrintable(name));
}

void TestPdfFileName::receivedDateComesFromTheDateTime()
{
    // The text would read back differently in this locale; the date-time decides.
    m_message.ReceivedDate = QStringLiteral("01/02/2021 10:00:00");
    m_message.ReceivedDateTime = QDateTime(QDate(2021, 2, 1), QTime(23, 30), Qt::LocalTime);
    QCOMPARE(create(QStringLiteral("<Received Date> <Subject>")),
             QStringLiteral("/out/02-01-2021 Re  Invoice 12 2020.pdf"));
    QVERIFY(m_dialogs->shown.isEmpty());
}

void TestPdfFileName::receivedDateNeverReadsItsShownText_data()
{
    // The shown text was written in one locale; the name is made in another, where that text
    // reads as another day or not at all.
    QTest::addColumn<QString>("shownIn");
    QTest::addColumn<QString>("namedIn");
    QTest::newRow("month and day swapped") << "en_US" << "en_GB";
    QTest::newRow("unreadable") << "de_DE" << "ja_JP";
    QTest::newRow("other digits") << "ar_EG" << "en_US";
}

void TestPdfFileName::receivedDateNeverReadsItsShownText()
{
    QFETCH(QString, shownIn);
    QFETCH(QString, namedIn);
    const QDateTime received(QDate(2021, 2, 1), QTime(10, 0), Qt::LocalTime);
    m_message.ReceivedDate = formatGeneralDate(received, QLocale(shownIn));
    m_message.ReceivedDateTime = received;
    QLocale::setDefault(QLocale(namedIn));
    QCOMPARE(create(QStringLiteral("<received date>")), QStringLiteral("/out/02-01-2021.pdf"));
    QVERIFY(m_dialogs->shown.isEmpty());
}

void TestPdfFileName::unreadableReceivedDateIsReportedOnlyWhenAsked()
{
    m_message.ReceivedDate = QStringLiteral("not a date");
    QCOMPARE(create(QStringLiteral("<Count> <Subject>")),
             QStringLiteral("/out/3 Re  Invoice 12 2020.pdf"));
    QVERIFY(m_dialogs->shown.isEmpty());

    QCOMPARE(create(QStringLiteral("<Count> <Received Date>")), QStringLiteral("/out/3  Received Date.pdf"));
    QCOMPARE(m_dialogs->messageTexts().size(), 1);
    const QString report = m_dialogs->messageTexts().first();
    QVERIFY2(report.contains(QStringLiteral("Form3.CreatePDF_File at line 116")), qPrintable(report));

    m_dialogs->clear();
    m_message.ReceivedDateTime = QDateTime();  // a message without a usable date
    create(QStringLiteral("<Received Date>"));
    QCOMPARE(m_dialogs->messageTexts().size(), 1);
}

void TestPdfFileName::folderGetsOneSeparator()
{
    QCOMPARE(create(QStringLiteral("<Count>"), QStringLiteral("/home/me/PDF")),
             QStringLiteral("/home/me/PDF/3.pdf"));
    QCOMPARE(create(QStringLiteral("<Count>"), QStringLiteral("/home/me/PDF/")),
             QStringLiteral("/home/me/PDF/3.pdf"));
    // A subject's "/" never makes a folder.
    m_message.Subject = QStringLiteral("a/b/../c");
    QCOMPARE(create(QStringLiteral("<Subject>"), QStringLiteral("/x/")), QStringLiteral("/x/a b .. c.pdf"));
}

void TestPdfFileName::folderAndNameHoldAtMost250Characters()
{
    const QString folder = QLatin1Char('/') + QString(38, QLatin1Char('f')) + QLatin1Char('/');
    m_message.Subject = QString(200, QLatin1Char('s')) + QString(30, QLatin1Char('t'));
    const QString path = create(QStringLiteral("<Subject>"), folder);
    QCOMPARE(path, folder + QString(200, QLatin1Char('s')) + QString(10, QLatin1Char('t')) + QStringLiteral(".pdf"));

    // A folder that alone takes the 250 leaves the name to the file system's own limit.
    const QString deep = QLatin1Char('/') + QString(260, QLatin1Char('d')) + QLatin1Char('/');
    m_message.Subject = QStringLiteral("kept");
    QCOMPARE(create(QStringLiteral("<Subject>"), deep), deep + QStringLiteral("kept.pdf"));
}

void TestPdfFileName::multiByteNamesFitOneFileNameWithRoomForACopyNumber()
{
    QTemporaryDir dir;
    const QString folder = dir.path() + QLatin1Char('/');
    const QString japanese = QStringLiteral("請求書のご案内");  // 3 bytes a character in UTF-8
    const QString emoji = QString::fromUcs4(U"\U0001F4E7");  // 4 bytes, two UTF-16 units
    m_message.Subject = japanese.repeated(20) + emoji.repeated(10);
    const QString path = create(QStringLiteral("<Subject>"), folder);
    const QString name = path.mid(folder.size());
    const QByteArray bytes = name.toUtf8();
    QVERIFY2(bytes.size() + 8 <= 255, bytes.constData());
    QVERIFY(name.startsWith(japanese.repeated(11)));
    QCOMPARE(QString::fromUtf8(bytes), name);  // no half character
    // The name and a copy number really fit the file system.
    QFile copy(folder + name.chopped(4) + QStringLiteral(" (99999).pdf"));
    QVERIFY2(copy.open(QIODevice::WriteOnly), qPrintable(copy.errorString()));

    m_message.Subject = QStringLiteral("x") + emoji.repeated(70);
    const QString cut = create(QStringLiteral("<Subject>"), folder).mid(folder.size()).chopped(4);
    QVERIFY(!cut.at(cut.size() - 1).isHighSurrogate());
    QCOMPARE(cut.toUtf8().size(), 1 + 4 * 60);
}

void TestPdfFileName::emptyNameSaysWhy()
{
    m_message.Subject = QStringLiteral(" ?#\"'\r\n ");
    for (const QString pattern : {QStringLiteral("<Subject>"), QStringLiteral(" <> ")}) {
        QCOMPARE(create(pattern), QString());
        QCOMPARE(m_whyNone, QStringLiteral("The file name pattern gives no name for this message."));
    }
    QVERIFY(m_dialogs->shown.isEmpty());
}

void TestPdfFileName::fieldsInsideValuesStayAsWritten()
{
    m_message.Subject = QStringLiteral("at <To> at <current time>");
    m_message.FromName = QStringLiteral("<From Address>");
    QCOMPARE(create(QStringLiteral("<Subject>")), QStringLiteral("/out/at  To  at  current time.pdf"));
    QCOMPARE(create(QStringLiteral("<From Name>")), QStringLiteral("/out/From Address.pdf"));
}

void TestPdfFileName::namesHoldPlainTextOnly_data()
{
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("name");  // empty: nothing is left
    QTest::newRow("controls") << "a\tb\x1b[31mc\x07\x7f" + QString::fromUtf16(u"\u0085d\u2028")
                              << "a b[31mcd";
    QTest::newRow("direction controls")
        << QString::fromUtf16(u"\u200Ebill\u202Efdp\u202A.\u2066exe\u2069\u061C\u200F") << "billfdp.exe";
    QTest::newRow("broken pair") << QString(QChar(0xD83D)) + "x" + QChar(0xDCE7) << "x";
    QTest::newRow("hidden") << ".profile" << "profile";
    QTest::newRow("option") << " .. - --/etc" << "etc";
    QTest::newRow("inner dots and hyphens kept") << "v1.2 - final." << "v1.2 - final.";
    QTest::newRow("parent folder") << ".." << "";
}

void TestPdfFileName::namesHoldPlainTextOnly()
{
    QFETCH(QString, subject);
    QFETCH(QString, name);
    m_message.Subject = subject;
    QCOMPARE(create(QStringLiteral("<Subject>")),
             name.isEmpty() ? QString() : QStringLiteral("/out/") + name + QStringLiteral(".pdf"));
}

QTEST_GUILESS_MAIN(TestPdfFileName)
#include "tst_pdffilename.moc"
