// The main window's downloads against a scripted server, for what a real server will not do on
// request: refuse one message, or claim more messages than the program can number.

#include "ScriptedImapServer.h"
#include "TestFiles.h"
#include "app/Form1.h"
#include "core/AppGlobals.h"
#include "core/ProgramFolder.h"
#include "core/SettingsStore.h"
#include "list/MessageListView.h"
#include "platform/EventLoop.h"
#include "platform/ScriptedDialogs.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray plainMessage(int number)
{
    return QStringLiteral("From: Sender %1 <sender%1@example.com>\r\nSubject: Message %1\r\n"
                          "Date: Wed, 1 Sep 2021 15:00:00 +0200\r\n\r\nBody %1\r\n")
        .arg(number)
        .toUtf8();
}

// EXAMINE answered with a message count of the server's choosing.
ScriptedImapServer::Handler examineClaiming(const QByteArray &count)
{
    return [count](ScriptedImapSession &session, const QByteArray &tag, const QByteArray &) {
        session.send("* " + count + " EXISTS\r\n* 0 RECENT\r\n" + tag + " OK [READ-ONLY] done\r\n");
    };
}

}  // namespace

class TestForm1DownloadFaults : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void failedFetchesAreNamedInTheClosingBox();
    void hugeCountIsNotAllocatedUpFront();
    void countBeyondThirtyTwoBitsIsRefused();
    void connectAndDownloadEachOpenInOneRoundTrip();
    void aDownloadThatCannotStartEndsWithoutDone_data();
    void aDownloadThatCannotStartEndsWithoutDone();

private:
    std::unique_ptr<Form1> connectedForm();

    ScriptedImapServer m_server;
    QTemporaryDir m_programDir;
    std::unique_ptr<platform::ScriptedDialogs> m_dialogs;
};

void TestForm1DownloadFaults::initTestCase()
{
    QString error;
    QVERIFY2(m_server.start(&error), qPrintable(error));
    qputenv("QUORVALE_IMAP_HOST", m_server.host().toUtf8());
    qputenv("QUORVALE_IMAP_PORT", QByteArray::number(m_server.port()));
    qputenv("QUORVALE_IMAP_CAFILE", m_server.caFile().toUtf8());
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    setProgramFolder(m_programDir.path());
    Form1::setUnloadAction([] {});
}

void TestForm1DownloadFaults::init()
{
    QFile::remove(settingsFilePath());
    QFile::remove(m_programDir.filePath("errorlog.txt"));
    globals() = AppGlobals();
    m_dialogs = std::make_unique<platform::ScriptedDialogs>();
    m_server.setMessages({plainMessage(1), plainMessage(2), plainMessage(3)});
    m_server.on("EXAMINE", nullptr);
    m_server.on("FETCH", nullptr);
    m_server.on("LOGIN", nullptr);
    m_server.holdAnswersUntil({});
}

void TestForm1DownloadFaults::cleanup()
{
    platform::setEventLoopTurn(nullptr);
    m_dialogs.reset();
}

std::unique_ptr<Form1> TestForm1DownloadFaults::connectedForm()
{
    auto form = std::make_unique<Form1>();
    form->Form_Load();
    m_dialogs->clear();
    form->Text1->setText("user");
    form->Text2->setText("secret");
    form->PushButton3->click();
    return form;
}

void TestForm1DownloadFaults::failedFetchesAreNamedInTheClosingBox()
{
    m_server.on("FETCH", [](ScriptedImapSession &session, const QByteArray &tag, const QByteArray &arguments) {
        const int number = arguments.left(arguments.indexOf(' ')).toInt();
        if (number == 2) {
            session.send(tag + " NO Message is not available\r\n");
            return;
        }
        session.send(ScriptedImapServer::fetchResponse(number, session.server().message(number))
                     + tag + " OK Fetch completed\r\n");
    });
    auto form = connectedForm();
    const int recordsBefore = errorLogRecords(m_programDir.path());
    form->PushButton2->click();
    QCOMPARE(m_dialogs->messageTexts(),
             QStringList{"Done. 1 of 3 messages could not be downloaded; the error log lists them."});
    QCOMPARE(form->ListView1->topLevelItemCount(), 2);
    QCOMPARE(errorLogRecords(m_programDir.path()) - recordsBefore, 3);
}

// The largest count a 32-bit number holds: the entry table grows with the rows, so a run costs
// memory for the messages it obtained. Stopped after three.
void TestForm1DownloadFaults::hugeCountIsNotAllocatedUpFront()
{
    m_server.on("EXAMINE", examineClaiming("2147483647"));
    auto form = connectedForm();
    platform::setEventLoopTurn([&] {
        QCoreApplication::processEvents();
        if (form->ListView1->topLevelItemCount() == 3 && form->PushButton2->text() == "Stop")
            form->PushButton2->click();
    });
    form->PushButton2->click();
    QCOMPARE(m_dialogs->messageTexts(), QStringList{"Done."});
    QCOMPARE(form->ListView1->topLevelItemCount(), 3);
    QCOMPARE(form->messageEntries().last(), 3);
}

void TestForm1DownloadFaults::countBeyondThirtyTwoBitsIsRefused()
{
    m_server.on("EXAMINE", examineClaiming("2147483648"));
    auto form = connectedForm();
    const qsizetype commandsBefore = m_server.commandsReceived().size();
    form->PushButton2->click();
    QCOMPARE(m_dialogs->shown.size(), 1);
    QVERIFY2(m_dialogs->messageTexts().first().contains("can download at most 2147483647 messages"),
             qPrintable(m_dialogs->messageTexts().first()));
    QCOMPARE(form->ListView1->topLevelItemCount(), 0);
    for (const QByteArray &command : m_server.commandsReceived().mid(commandsBefore))
        QVERIFY2(!command.startsWith("FETCH"), command.constData());
}

// What follows the greeting goes out in one write: the identification and login of "Connect",
// and for the download also its EXAMINE and first fetches. This server answers nothing on a
// connection until the last of those has come, so a client that waits in between never ends.
// The old connection's goodbye is not waited for either; it is closed once the new one stands.
void TestForm1DownloadFaults::connectAndDownloadEachOpenInOneRoundTrip()
{
    m_server.holdAnswersUntil({"LOGIN", "FETCH"});
    auto form = connectedForm();
    QVERIFY(m_dialogs->messageTexts().isEmpty());
    form->PushButton2->click();
    QCOMPARE(m_dialogs->messageTexts(), QStringList{"Done."});
    QCOMPARE(form->ListView1->topLevelItemCount(), 3);
    QTRY_COMPARE(m_server.openConnections(), 1);
}

// The count works on the connection of "Connect"; then the download's own connection is
// refused its login, or finds the folder gone. Its box says so, and no "Done." follows.
void TestForm1DownloadFaults::aDownloadThatCannotStartEndsWithoutDone_data()
{
    QTest::addColumn<QByteArray>("refused");  // the command refused on the download's connection
    QTest::addColumn<QStringList>("boxes");   // how each box starts
    QTest::newRow("login refused") << QByteArray("LOGIN") << QStringList{"Invalid login.", "Connection failed."};
    QTest::newRow("folder gone") << QByteArray("EXAMINE") << QStringList{"Invalid login."};
}

void TestForm1DownloadFaults::aDownloadThatCannotStartEndsWithoutDone()
{
    QFETCH(QByteArray, refused);
    QFETCH(QStringList, boxes);
    const int download = m_server.connectionsAccepted() + 2;  // after the one of "Connect"
    m_server.on(refused, [refused, download](ScriptedImapSession &session, const QByteArray &tag, const QByteArray &) {
        if (session.number() == download)
            session.send(tag + " NO [NONEXISTENT] Refused for this test\r\n");
        else if (refused == "LOGIN")
            session.send(tag + " OK Logged in\r\n");
        else
            session.send("* 3 EXISTS\r\n" + tag + " OK [READ-ONLY] done\r\n");
    });
    auto form = connectedForm();
    m_dialogs->answers.enqueue(platform::BoxAnswer::No);
    form->PushButton2->click();
    const QStringList shown = m_dialogs->messageTexts();
    QCOMPARE(shown.size(), boxes.size());
    for (qsizetype i = 0; i < boxes.size(); ++i)
        QVERIFY2(shown[i].startsWith(boxes[i]), qPrintable(shown[i]));
    QCOMPARE(form->ListView1->topLevelItemCount(), 0);
}

QTEST_MAIN(TestForm1DownloadFaults)
#include "tst_form1_download_faults.moc"
