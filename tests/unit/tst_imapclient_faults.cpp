// The IMAP client against a scripted server, for what a real server will not do on request:
// silence, cuts, slow literals, odd answers, and the user acting inside a running call.

#include "AbortCheckMeter.h"
#include "ScriptedImapServer.h"
#include "core/SettingsStore.h"
#include "imap/ImapClient.h"
#include "mime/MailMessage.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <ctime>

namespace {

QByteArray plainMessage(int number, int bodyBytes = 40)
{
    return QStringLiteral("From: Sender %1 <sender%1@example.com>\r\n"
                          "Subject: Scripted message %1\r\n"
                          "Date: Wed, 1 Sep 2021 15:00:00 +0200\r\n"
                          "Content-Type: text/plain; charset=utf-8\r\n\r\n")
               .arg(number)
               .toUtf8()
        + QByteArray(bodyBytes, 'x') + "\r\n";
}

int commandsStartingWith(const ScriptedImapServer &server, const QByteArray &prefix, int from = 0)
{
    const QList<QByteArray> commands = server.commandsReceived();
    int count = 0;
    for (qsizetype i = from; i < commands.size(); ++i)
        count += commands[i].startsWith(prefix) ? 1 : 0;
    return count;
}

QString subjectOf(const std::optional<FetchedMessage> &message)
{
    return message ? parseMailMessage(message->raw, message->internalDate).Subject : QStringLiteral("<no message>");
}

// Sends message `number` in small pieces with pauses: about a second for 40 KB.
ScriptedImapServer::Handler slowFetchOf(int number)
{
    return [number](ScriptedImapSession &session, const QByteArray &tag, const QByteArray &arguments) {
        const int asked = arguments.left(arguments.indexOf(' ')).toInt();
        const QByteArray answer = ScriptedImapServer::fetchResponse(asked, session.server().message(asked))
            + tag + " OK Fetch completed\r\n";
        if (asked == number)
            session.sendSlowly(answer, 2000, 40);
        else
            session.send(answer);
    };
}

}  // namespace

class TestImapClientFaults : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    // First: it needs a process that has not connected yet.
    void firstConnectChecksForStopThroughout();
    void waitingForAnAnswerKeepsTheEventLoopRunning();
    void plainConnectAndUntrustedCertificateFail();
    void slowTcpConnectSucceeds();
    void greetingFaults_data();
    void greetingFaults();
    void idAnswers_data();
    void idAnswers();
    void silentServerTimesOutWhileAbortCheckRuns();
    void connectionCutInsideLiteral();
    void unreadableAnswerClosesTheConnection();
    void numberOutsideTheMailboxSendsNothing();
    void passwordsTravelAsLiteralsWhenNeeded();
    void abortDuringSlowFetch();
    void reconnectInsideAbortCheckDuringFetch();
    void disconnectInsideAbortCheckDuringFetch();
    void fetchInsideAbortCheckOfAnotherFetch();
    void destroyedInsideAbortCheckDuringFetch();
    void fetchAheadSendsEarlyAndSurvivesUnsolicitedData();
    void abortDuringFetchAheadKeepsTheAnswer();
    void hugeMessageCountsAreCarriedWhole_data();
    void hugeMessageCountsAreCarriedWhole();
    void repliesOutOfStepSayWhatHappened();
    void loginErrorsHoldNoPieceOfThePassword_data();
    void loginErrorsHoldNoPieceOfThePassword();
    void onlyTheAnswerKeepsACallWaiting();
    void unsolicitedDataIsCountedAndDropped();
    void chainedLiteralsAreBoundedAsAWhole();
    void stopIsSeenWhileManySmallAnswersPileUp();
    void stopIsSeenWhileAHugeMessageArrives_data();
    void stopIsSeenWhileAHugeMessageArrives();
    void answerSizeFollowsTheAnnouncedMessageSize_data();
    void answerSizeFollowsTheAnnouncedMessageSize();
    void loginErrorsKeepWordsThatShareLettersWithThePassword_data();
    void loginErrorsKeepWordsThatShareLettersWithThePassword();

private:
    ImapClient &newClient(int connectMs = 5000, int responseMs = 5000);
    void connectLoginSelect();

    std::unique_ptr<ScriptedImapServer> m_server;
    std::unique_ptr<ImapClient> m_client;
    QTemporaryDir m_settingsDir;
};

// The settings these tests write stay out of the user's own.
void TestImapClientFaults::initTestCase()
{
    QVERIFY(m_settingsDir.isValid());
    qputenv("XDG_CONFIG_HOME", m_settingsDir.path().toUtf8());
}

void TestImapClientFaults::init()
{
    m_server = std::make_unique<ScriptedImapServer>();
    m_server->setMessages({plainMessage(1, 40000), plainMessage(2), plainMessage(3)});
    QString error;
    QVERIFY2(m_server->start(&error), qPrintable(error));
}

void TestImapClientFaults::cleanup()
{
    m_client.reset();
    m_server.reset();
}

ImapClient &TestImapClientFaults::newClient(int connectMs, int responseMs)
{
    m_client = std::make_unique<ImapClient>();
    m_client->setPort(m_server->port());
    m_client->setExtraCaCertificates(m_server->caCertificates());
    m_client->setTimeouts(connectMs, responseMs);
    return *m_client;
}

void TestImapClientFaults::connectLoginSelect()
{
    ImapClient &client = m_client ? *m_client : newClient();
    QCOMPARE(client.connectToServer(m_server->host()), 1);
    QCOMPARE(client.login("user", "secret"), 1);
    QCOMPARE(client.selectMailbox("INBOX"), 1);
    QCOMPARE(client.messageCount(), 3);
}

// Nothing a connect does (the trusted certificates included) may keep Stop unanswered for long.
void TestImapClientFaults::firstConnectChecksForStopThroughout()
{
    ImapClient &client = newClient();
    QElapsedTimer clock;
    clock.start();
    QList<qint64> checks;
    connect(&client, &ImapClient::abortCheck, this, [&](qint32 &) { checks.append(clock.elapsed()); });
    QCOMPARE(client.connectToServer(m_server->host()), 1);
    checks.append(clock.elapsed());
    qint64 longestGap = 0;
    for (qsizetype i = 1; i < checks.size(); ++i)
        longestGap = qMax(longestGap, checks[i] - checks[i - 1]);
    qDebug() << "longest time between abort checks during the first connect:" << longestGap << "ms";
    QVERIFY2(longestGap < 100, qPrintable(QString::number(longestGap)));
}

// While a call waits for a slow answer the window's own events (painting, timers) go on: the
// wait sleeps in the event loop, not on the socket, even with no abortCheck handler.
void TestImapClientFaults::waitingForAnAnswerKeepsTheEventLoopRunning()
{
    m_server->on("FETCH", [](ScriptedImapSession &session, const QByteArray &tag, const QByteArray &arguments) {
        const int asked = arguments.left(arguments.indexOf(' ')).toInt();
        session.send(ScriptedImapServer::fetchResponse(asked, session.server().message(asked))
                         + tag + " OK Fetch completed\r\n", 400);
    });
    newClient();
    connectLoginSelect();
    QElapsedTimer clock;
    qint64 lastTick = 0;
    qint64 longestGap = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this, [&] {
        longestGap = qMax(longestGap, clock.elapsed() - lastTick);
        lastTick = clock.elapsed();
    });
    clock.start();
    ticker.start(5);
    QCOMPARE(subjectOf(m_client->fetchMessage(2)), QStringLiteral("Scripted message 2"));
    const qint64 total = clock.elapsed();
    longestGap = qMax(longestGap, total - lastTick);
    QVERIFY2(total >= 350, "the server did not hold its answer back; the test proves nothing");
    QVERIFY2(longestGap < 150, qPrintable(QString::number(longestGap)));
}

void TestImapClientFaults::plainConnectAndUntrustedCertificateFail()
{
    ImapClient &client = newClient();
    client.setSsl(false);
    QVERIFY(client.connectToServer(m_server->host()) != 1);
    QVERIFY2(client.lastErrorText().contains("TLS"), qPrintable(client.lastErrorText()));
    QCOMPARE(m_server->connectionsAccepted(), 0);

    client.setSsl(true);
    client.setExtraCaCertificates({});
    QVERIFY(client.connectToServer(m_server->host()) != 1);
    QVERIFY2(client.lastErrorText().contains("TLS certificate not trusted"), qPrintable(client.lastErrorText()));
    QVERIFY(client.sendRawCommand("NOOP").isEmpty());
    QVERIFY2(client.lastErrorText().contains("not connected"), qPrintable(client.lastErrorText()));
}

// On a real network the TCP handshake alone takes longer than one wait slice; a connect must
// keep its attempt going across slices.
void TestImapClientFaults::slowTcpConnectSucceeds()
{
    ImapClient &client = newClient(10000, 5000);
    int checks = 0;
    connect(&client, &ImapClient::abortCheck, this, [&](qint32 &) { ++checks; });
    m_server->holdNewConnections(300);
    QElapsedTimer elapsed;
    elapsed.start();
    QVERIFY2(client.connectToServer(m_server->host()) == 1, qPrintable(client.lastErrorText()));
    QVERIFY2(elapsed.elapsed() > 200, "the server did not slow the connect down; the test proves nothing");
    QVERIFY(checks >= 3);  // the wait was spent checking for abort, not blocked
    QCOMPARE(client.login("user", "secret"), 1);
}

void TestImapClientFaults::greetingFaults_data()
{
    QTest::addColumn<QByteArray>("greeting");
    QTest::addColumn<bool>("handshake");
    QTest::addColumn<QString>("expected");
    QTest::newRow("bye") << QByteArray("* BYE Too many connections") << true << "Too many connections";
    QTest::newRow("silent after TLS") << QByteArray() << true << "no answer from the server";
    QTest::newRow("no TLS handshake") << QByteArray() << false << "no TLS connection within";
}

void TestImapClientFaults::greetingFaults()
{
    QFETCH(QByteArray, greeting);
    QFETCH(bool, handshake);
    QFETCH(QString, expected);
    m_server->setGreeting(greeting);
    m_server->setHandshake(handshake);
    ImapClient &client = newClient(600, 600);
    int checks = 0;
    connect(&client, &ImapClient::abortCheck, this, [&](qint32 &) { ++checks; });
    QElapsedTimer elapsed;
    elapsed.start();
    QVERIFY(client.connectToServer(m_server->host()) != 1);
    QVERIFY2(client.lastErrorText().contains(expected), qPrintable(client.lastErrorText()));
    QVERIFY(elapsed.elapsed() < 5000);
    QVERIFY(checks >= 1);
    QCOMPARE(client.messageCount(), 0);
    QTRY_COMPARE(m_server->openConnections(), 0);
}

void TestImapClientFaults::idAnswers_data()
{
    QTest::addColumn<QByteArray>("answer");  // %1 stands for the tag
    QTest::addColumn<bool>("succeeds");
    QTest::addColumn<QString>("expected");   // in the returned text, or in the error
    QTest::newRow("tagged line only") << QByteArray("%1 OK ID completed\r\n") << true << "OK ID completed";
    QTest::newRow("ID NIL") << QByteArray("* ID NIL\r\n%1 OK ID completed\r\n") << true << "* ID NIL";
    QTest::newRow("BAD") << QByteArray("%1 BAD [CLIENTBUG] Unknown command\r\n") << false << "BAD [CLIENTBUG] Unknown command";
    QTest::newRow("closed") << QByteArray() << false << "closed the connection";
}

void TestImapClientFaults::idAnswers()
{
    QFETCH(QByteArray, answer);
    QFETCH(bool, succeeds);
    QFETCH(QString, expected);
    m_server->on("ID", [answer](ScriptedImapSession &session, const QByteArray &tag, const QByteArray &) {
        if (answer.isEmpty())
            session.closeAfterOutput();
        else
            session.send(QByteArray(answer).replace("%1", tag));
    });
    ImapClient &client = newClient();
    QCOMPARE(client.connectToServer(m_server->host()), 1);
    const QString text = client.sendRawCommand("ID (\"GUID\" \"1\")");
    QCOMPARE(!text.isEmpty(), succeeds);
    QVERIFY2((succeeds ? text : client.lastErrorText()).contains(expected), qPrintable(text + client.lastErrorText()));
    if (succeeds) {
        QVERIFY(text.endsWith("\r\n"));
        QVERIFY(client.lastErrorText().startsWith("OK"));
        QVERIFY(!client.sendRawCommand("NOOP").isEmpty());  // still in step with the server
    }
}

void TestImapClientFaults::silentServerTimesOutWhileAbortCheckRuns()
{
    m_server->on("FETCH", [](ScriptedImapSession &, const QByteArray &, const QByteArray &) {});
    ImapClient &client = newClient(5000, 600);
    connectLoginSelect();
    int checks = 0;
    connect(&client, &ImapClient::abortCheck, this, [&](qint32 &) {
        ++checks;
        QCoreApplication::processEvents();
    });
    QElapsedTimer elapsed;
    elapsed.start();
    QVERIFY(!client.fetchMessage(1));
    QVERIFY(elapsed.elapsed() >= 600);
    QVERIFY(elapsed.elapsed() < 5000);
    QVERIFY2(client.lastErrorText().contains("no answer from the server"), qPrintable(client.lastErrorText()));
    QVERIFY2(checks >= 4, qPrintable(QString::number(checks)));  // about one per 50 ms of waiting
    // The connection was given up: no later call waits on it.
    QVERIFY(!client.fetchMessage(2));
    QVERIFY(client.lastErrorText().contains("not connected"));
    QTRY_COMPARE(m_server->openConnections(), 0);
}

void TestImapClientFaults::connectionCutInsideLiteral()
{
    m_server->on("FETCH", [](ScriptedImapSession &session, const QByteArray &, const QByteArray &) {
        const QByteArray answer = ScriptedImapServer::fetchResponse(1, session.server().message(1));
        session.send(answer.left(answer.size() / 2));
        session.closeAfterOutput();
    });
    ImapClient &client = newClient();
    connectLoginSelect();
    QList<int> percents;
    connect(&client, &ImapClient::percentDone, this, [&](qint32 &percent) { percents.append(percent); });
    QVERIFY(!client.fetchMessage(1));
    QVERIFY2(client.lastErrorText().contains("FETCH 1 failed: the server closed the connection"),
             qPrintable(client.lastErrorText()));
    QVERIFY(!percents.contains(100));
    QCOMPARE(client.messageCount(), 0);
    QVERIFY(!client.fetchMessage(1));
    QVERIFY(client.lastErrorText().contains("not connected"));
    // Back to normal answers: a fresh connection works.
    m_server->on("FETCH", {});
    connectLoginSelect();
    QCOMPARE(subjectOf(client.fetchMessage(2)), QStringLiteral("Scripted message 2"));
}

void TestImapClientFaults::unreadableAnswerClosesTheConnection()
{
    m_server->on("FETCH", [](ScriptedImapSession &session, const QByteArray &tag, const QByteArray &) {
        session.send("* 1 FETCH (BODY[] {12x}\r\n" + tag + " OK Fetch completed\r\n");
    });
    ImapClient &client = newClient();
    connectLoginSelect();
    QVERIFY(!client.fetchMessage(1));
    QVERIFY2(client.lastErrorText().contains("could not be read"), qPrintable(client.lastErrorText()));
    QVERIFY(client.sendRawCommand("NOOP").isEmpty());
    QTRY_COMPARE(m_server->openConnections(), 0);
}

void TestImapClientFaults::numberOutsideTheMailboxSendsNothing()
{
    ImapClient &client = newClient();
    connectLoginSelect();
    for (int number : {0, -1, 4, 1000}) {
        QVERIFY(!client.fetchMessage(number));
        QVERIFY2(client.lastErrorText().contains("no message with that number"), qPrintable(client.lastErrorText()));
    }
    QCOMPARE(subjectOf(client.fetchMessage(3)), QStringLiteral("Scripted message 3"));
    QCOMPARE(commandsStartingWith(*m_server, "FETCH"), 1);

    // Without a selected mailbox there is nothing to fetch either.
    QCOMPARE(client.connectToServer(m_server->host()), 1);
    QCOMPARE(client.login("user", "secret"), 1);
    QCOMPARE(client.messageCount(), 0);
    QVERIFY(!client.fetchMessage(1));
    QVERIFY(client.lastErrorText().contains("no mailbox is selected"));
    QCOMPARE(commandsStartingWith(*m_server, "FETCH"), 1);
}

void TestImapClientFaults::passwordsTravelAsLiteralsWhenNeeded()
{
    const QString password = QStringLiteral("p\u00e4 \"ss\\w\u00f6rd");
    m_server->setAccount("user", password.toUtf8());
    ImapClient &client = newClient();
    QCOMPARE(client.connectToServer(m_server->host()), 1);
    QCOMPARE(client.login("user", password), 1);
    QVERIFY(client.lastErrorText().startsWith("OK"));
    QVERIFY(m_server->commandsReceived().last().startsWith("LOGIN \"user\" {" + QByteArray::number(password.toUtf8().size()) + "}\r\n"));

    // A server that refuses the literal: the login fails with its reason, the password is never
    // sent, and the connection stays in step.
    m_server->setRefuseLiterals(true);
    QCOMPARE(client.connectToServer(m_server->host()), 1);
    const int before = int(m_server->commandsReceived().size());
    QVERIFY(client.login("user", password) != 1);
    QVERIFY2(client.lastErrorText().contains("Literals are not accepted"), qPrintable(client.lastErrorText()));
    QVERIFY(!client.lastErrorText().contains(password));
    QVERIFY(!client.sendRawCommand("NOOP").isEmpty());
    QVERIFY(!m_server->commandsReceived().mid(before).join().contains("w\xc3\xb6rd"));

    QVERIFY(client.login("user", QStringLiteral("nul") + QChar(0) + QStringLiteral("inside")) != 1);
    QVERIFY(client.lastErrorText().contains("NUL"));
}

void TestImapClientFaults::abortDuringSlowFetch()
{
    m_server->on("FETCH", slowFetchOf(1));
    ImapClient &client = newClient();
    connectLoginSelect();
    QList<int> percents;
    connect(&client, &ImapClient::percentDone, this, [&](qint32 &percent) { percents.append(percent); });
    connect(&client, &ImapClient::abortCheck, this, [&](qint32 &abort) {
        QCoreApplication::processEvents();
        if (percents.size() > 1)
            abort = -1;
    });
    QVERIFY(!client.fetchMessage(1));
    QVERIFY2(client.lastErrorText().contains("FETCH 1: Operation aborted"), qPrintable(client.lastErrorText()));
    QCOMPARE(percents.first(), 0);
    QVERIFY(percents.last() > 0 && percents.last() < 100);
    QVERIFY(std::is_sorted(percents.begin(), percents.end()));

    // The rest of the aborted answer is read and dropped; the next fetch gets its own message.
    QObject::disconnect(&client, &ImapClient::abortCheck, this, nullptr);
    QCOMPARE(subjectOf(client.fetchMessage(2)), QStringLiteral("Scripted message 2"));
    QCOMPARE(percents.last(), 100);
    QCOMPARE(subjectOf(client.fetchMessage(1)), QStringLiteral("Scripted message 1"));
}

void TestImapClientFaults::reconnectInsideAbortCheckDuringFetch()
{
    m_server->on("FETCH", slowFetchOf(1));
    ImapClient &client = newClient();
    connectLoginSelect();
    bool inside = false;
    int nestedResult = -1;
    int percentEvents = 0;
    connect(&client, &ImapClient::percentDone, this, [&](qint32 &) { ++percentEvents; });
    connect(&client, &ImapClient::abortCheck, this, [&](qint32 &) {
        if (inside || nestedResult != -1 || percentEvents < 2)
            return;
        inside = true;
        nestedResult = client.connectToServer(m_server->host());
        inside = false;
    });
    QVERIFY(!client.fetchMessage(1));
    QVERIFY2(client.lastErrorText().contains("replaced by a new one"), qPrintable(client.lastErrorText()));
    QCOMPARE(nestedResult, 1);
    QCOMPARE(m_server->connectionsAccepted(), 2);
    QTRY_COMPARE(m_server->openConnections(), 1);  // the old one was ended, not left behind

    QCOMPARE(client.login("user", "secret"), 1);
    QCOMPARE(client.selectMailbox("INBOX"), 1);
    QCOMPARE(subjectOf(client.fetchMessage(2)), QStringLiteral("Scripted message 2"));
}

void TestImapClientFaults::disconnectInsideAbortCheckDuringFetch()
{
    m_server->on("FETCH", slowFetchOf(1));
    ImapClient &client = newClient();
    connectLoginSelect();
    bool done = false;
    int percentEvents = 0;
    connect(&client, &ImapClient::percentDone, this, [&](qint32 &) { ++percentEvents; });
    connect(&client, &ImapClient::abortCheck, this, [&](qint32 &) {
        if (!done && percentEvents > 1) {
            done = true;
            client.disconnect();
        }
    });
    QVERIFY(!client.fetchMessage(1));
    QVERIFY2(client.lastErrorText().contains("connection was closed while the call ran"), qPrintable(client.lastErrorText()));
    QCOMPARE(client.messageCount(), 0);
    QTRY_COMPARE(m_server->openConnections(), 0);
}

// A second fetch started by the user inside the first one's wait: each gets its own message.
void TestImapClientFaults::fetchInsideAbortCheckOfAnotherFetch()
{
    m_server->on("FETCH", slowFetchOf(1));
    ImapClient &client = newClient();
    connectLoginSelect();
    int percentEvents = 0;
    std::optional<FetchedMessage> inner;
    bool started = false;
    connect(&client, &ImapClient::percentDone, this, [&](qint32 &) { ++percentEvents; });
    connect(&client, &ImapClient::abortCheck, this, [&](qint32 &) {
        if (!started && percentEvents > 1) {
            started = true;
            inner = client.fetchMessage(2);
        }
    });
    const std::optional<FetchedMessage> outer = client.fetchMessage(1);
    QVERIFY(started);
    QCOMPARE(subjectOf(inner), QStringLiteral("Scripted message 2"));
    QCOMPARE(subjectOf(outer), QStringLiteral("Scripted message 1"));
    QVERIFY(parseMailMessage(outer->raw, outer->internalDate).PlainTextBody.contains(QString(40000, 'x')));
}

// The window closes (and with it the client) while a fetch waits: the call returns without
// touching the destroyed object.
void TestImapClientFaults::destroyedInsideAbortCheckDuringFetch()
{
    m_server->on("FETCH", slowFetchOf(1));
    ImapClient &client = newClient();
    connectLoginSelect();
    int percentEvents = 0;
    connect(&client, &ImapClient::percentDone, this, [&](qint32 &) { ++percentEvents; });
    connect(&client, &ImapClient::abortCheck, this, [&](qint32 &) {
        if (percentEvents > 1)
            m_client.reset();
    });
    QVERIFY(!client.fetchMessage(1));
    QVERIFY(!m_client);
    QTRY_COMPARE(m_server->openConnections(), 0);
}

void TestImapClientFaults::fetchAheadSendsEarlyAndSurvivesUnsolicitedData()
{
    // Like Dovecot, the server runs FETCH 2 and 3 together: 3's data comes before 2's OK. And
    // new mail and a flag change arrive in the middle of the answers.
    auto heldBack = std::make_shared<QByteArray>();
    m_server->on("FETCH", [heldBack](ScriptedImapSession &session, const QByteArray &tag, const QByteArray &arguments) {
        const int asked = arguments.left(arguments.indexOf(' ')).toInt();
        if (asked == 2)
            session.send("* 4 EXISTS\r\n* 3 FETCH (FLAGS (\\Seen))\r\n");
        session.send(ScriptedImapServer::fetchResponse(asked, session.server().message(asked)));
        if (asked == 2) {
            *heldBack = tag + " OK Fetch completed\r\n";
            return;
        }
        session.send(*heldBack + tag + " OK Fetch completed\r\n");
        heldBack->clear();
    });
    ImapClient &client = newClient();
    connectLoginSelect();
    client.setFetchAhead(1, 3);
    QCOMPARE(subjectOf(client.fetchMessage(1)), QStringLiteral("Scripted message 1"));
    // 2 and 3 were asked for before the caller wanted them.
    QTRY_COMPARE(commandsStartingWith(*m_server, "FETCH 3 "), 1);
    QCOMPARE(subjectOf(client.fetchMessage(2)), QStringLiteral("Scripted message 2"));
    QCOMPARE(client.messageCount(), 4);
    QCOMPARE(subjectOf(client.fetchMessage(3)), QStringLiteral("Scripted message 3"));
    // Going back is allowed: the window starts again from there.
    QCOMPARE(subjectOf(client.fetchMessage(1)), QStringLiteral("Scripted message 1"));
    QCOMPARE(client.selectMailbox("INBOX"), 1);
    QCOMPARE(client.messageCount(), 3);
}

void TestImapClientFaults::abortDuringFetchAheadKeepsTheAnswer()
{
    m_server->on("FETCH", slowFetchOf(1));
    ImapClient &client = newClient();
    connectLoginSelect();
    client.setFetchAhead(1, 3);
    int percentEvents = 0;
    connect(&client, &ImapClient::percentDone, this, [&](qint32 &) { ++percentEvents; });
    auto abortConnection = connect(&client, &ImapClient::abortCheck, this, [&](qint32 &abort) {
        if (percentEvents > 1)
            abort = -1;
    });
    QVERIFY(!client.fetchMessage(1));
    QVERIFY(client.lastErrorText().contains("aborted"));
    QObject::disconnect(abortConnection);
    for (int number = 1; number <= 3; ++number)
        QCOMPARE(subjectOf(client.fetchMessage(number)), QStringLiteral("Scripted message %1").arg(number));
    // The aborted answer was kept and used: message 1 was asked for once.
    QCOMPARE(commandsStartingWith(*m_server, "FETCH 1 "), 1);
}

void TestImapClientFaults::hugeMessageCountsAreCarriedWhole_data()
{
    QTest::addColumn<QByteArray>("count");
    QTest::newRow("just past a signed int") << QByteArray("2147483648");
    QTest::newRow("past an unsigned int") << QByteArray("4294967298");
    QTest::newRow("beyond 64 bits") << QByteArray("99999999999999999999");
}

void TestImapClientFaults::hugeMessageCountsAreCarriedWhole()
{
    QFETCH(QByteArray, count);
    m_server->on("EXAMINE", [count](ScriptedImapSession &session, const QByteArray &tag, const QByteArray &) {
        session.send("* " + count + " EXISTS\r\n" + tag + " OK [READ-ONLY] Examine completed\r\n");
    });
    ImapClient &client = newClient();
    QCOMPARE(client.connectToServer(m_server->host()), 1);
    QCOMPARE(client.login("user", "secret"), 1);
    bool fits = false;
    const qint64 expected = count.toLongLong(&fits);
    if (!fits) {
        QVERIFY(client.selectMailbox("INBOX") != 1);
        QVERIFY2(client.lastErrorText().contains("too large"), qPrintable(client.lastErrorText()));
        QCOMPARE(client.messageCount(), 0);
        return;
    }
    QCOMPARE(client.selectMailbox("INBOX"), 1);
    QCOMPARE(client.messageCount(), expected);
    QVERIFY2(client.lastErrorText().contains(QString::fromLatin1(count)), qPrintable(client.lastErrorText()));
}

// A reply to a command never sent, and a BYE in place of the message: the error says so, and
// neither waits for the silence limit nor blames the message.
void TestImapClientFaults::repliesOutOfStepSayWhatHappened()
{
    m_server->on("FETCH", [](ScriptedImapSession &session, const QByteArray &tag, const QByteArray &arguments) {
        if (arguments.startsWith("1 "))
            session.send("ZZ9 OK Fetch completed\r\n");
        else
            session.send("* BYE Server shutting down\r\n" + tag + " OK Fetch completed\r\n");
    });
    ImapClient &client = newClient(5000, 3000);
    connectLoginSelect();
    QElapsedTimer elapsed;
    elapsed.start();
    QVERIFY(!client.fetchMessage(1));
    QVERIFY2(client.lastErrorText().contains("unexpected reply"), qPrintable(client.lastErrorText()));
    QVERIFY(elapsed.elapsed() < 3000);
    QVERIFY(client.sendRawCommand("NOOP").isEmpty());  // out of step: the connection was closed

    connectLoginSelect();
    QVERIFY(!client.fetchMessage(2));
    QVERIFY2(client.lastErrorText().contains("BYE Server shutting down"), qPrintable(client.lastErrorText()));
    QVERIFY(!client.lastErrorText().contains("deleted"));
}

void TestImapClientFaults::loginErrorsHoldNoPieceOfThePassword_data()
{
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<QByteArray>("answer");  // %1 stands for the tag, %2 for the password
    const QByteArray longPassword = "probe-secret-1234-5678-9abc-defg-hijk-lmno-pqrs-tuvw-xyz";
    QTest::newRow("unreadable echo") << longPassword << QByteArray("* LIST (\\Noselect) \"/\" ((%2\r\n");
    QTest::newRow("echo cut short") << longPassword << QByteArray("%1 NO [AUTHENTICATIONFAILED] not probe-secret-12\r\n");
    QTest::newRow("echo in the code") << longPassword << QByteArray("%1 NO [lmno-pqrs] Authentication failed.\r\n");
    QTest::newRow("short password") << QByteArray("q7") << QByteArray("%1 NO Authentication failed for q7\r\n");
}

void TestImapClientFaults::loginErrorsHoldNoPieceOfThePassword()
{
    QFETCH(QByteArray, password);
    QFETCH(QByteArray, answer);
    m_server->on("LOGIN", [answer, password](ScriptedImapSession &session, const QByteArray &tag, const QByteArray &) {
        session.send(QByteArray(answer).replace("%1", tag).replace("%2", password));
    });
    ImapClient &client = newClient();
    QCOMPARE(client.connectToServer(m_server->host()), 1);
    QVERIFY(client.login("user", QString::fromUtf8(password)) != 1);
    const QString error = client.lastErrorText();
    QVERIFY2(error.startsWith("LOGIN failed"), qPrintable(error));
    const qsizetype piece = qMin<qsizetype>(password.size(), 4);
    for (qsizetype i = 0; i + piece <= password.size(); ++i)
        QVERIFY2(!error.contains(QString::fromUtf8(password.mid(i, piece))), qPrintable(error));
}

// A slow message keeps its fetch going; unrelated lines now and then do not hold a call past
// the silence limit.
void TestImapClientFaults::onlyTheAnswerKeepsACallWaiting()
{
    const ScriptedImapServer::Handler slow = slowFetchOf(1);
    m_server->on("FETCH", [slow](ScriptedImapSession &session, const QByteArray &tag, const QByteArray &arguments) {
        if (arguments.startsWith("1 ")) {
            slow(session, tag, arguments);
            return;
        }
        for (int i = 0; i < 30; ++i)
            session.send("* OK still working\r\n", 150);
    });
    ImapClient &client = newClient(5000, 600);
    connectLoginSelect();
    QCOMPARE(subjectOf(client.fetchMessage(1)), QStringLiteral("Scripted message 1"));  // 0.8 s in pieces
    QElapsedTimer elapsed;
    elapsed.start();
    QVERIFY(!client.fetchMessage(2));
    QVERIFY2(client.lastErrorText().contains("no answer from the server"), qPrintable(client.lastErrorText()));
    QVERIFY2(elapsed.elapsed() < 2500, qPrintable(QString::number(elapsed.elapsed())));
}

void TestImapClientFaults::unsolicitedDataIsCountedAndDropped()
{
    QByteArray junk;
    for (int i = 0; i < 5000; ++i)
        junk += "* SEARCH 1 2 3 4 5 6 7 8 9\r\n* 9 FETCH (FLAGS (\\Seen))\r\n";
    m_server->on("LIST", [junk](ScriptedImapSession &session, const QByteArray &tag, const QByteArray &) {
        session.send(junk + "* LIST (\\HasNoChildren) \"/\" INBOX\r\n" + junk + tag + " OK LIST completed\r\n");
    });
    m_server->on("NOOP", [junk](ScriptedImapSession &session, const QByteArray &tag, const QByteArray &) {
        session.send(junk + tag + " OK NOOP completed\r\n");
    });
    ImapClient &client = newClient();
    QCOMPARE(client.connectToServer(m_server->host()), 1);
    const auto mailboxes = client.listMailboxes("", "*");
    QVERIFY(mailboxes);
    QCOMPARE(mailboxes->size(), 1);
    QCOMPARE(client.droppedResponseCount(), 20000);
    // A raw command returns what it asked for up to a bound, and always its tagged line.
    const QString text = client.sendRawCommand("NOOP");
    QVERIFY2(text.size() <= 65536 + 64, qPrintable(QString::number(text.size())));
    QVERIFY(text.endsWith("OK NOOP completed\r\n"));
    QVERIFY(client.droppedResponseCount() > 20000);
}

// Literal after literal in one response: each is within the message limit, together they are
// not. The client gives up on the response instead of buffering it without end.
void TestImapClientFaults::chainedLiteralsAreBoundedAsAWhole()
{
    m_server->on("FETCH", [](ScriptedImapSession &session, const QByteArray &tag, const QByteArray &arguments) {
        const int asked = arguments.left(arguments.indexOf(' ')).toInt();
        QByteArray answer = ScriptedImapServer::fetchResponse(asked, session.server().message(asked));
        if (asked == 2) {
            const QByteArray piece(16384, 'y');
            answer = "* 2 FETCH (BODY[] {16384}\r\n" + piece;
            for (int i = 0; i < 200; ++i)
                answer += " X" + QByteArray::number(i) + " {16384}\r\n" + piece;
            answer += ")\r\n";
        }
        session.send(answer + tag + " OK Fetch completed\r\n");
    });
    ImapClient &client = newClient();
    client.setMaxResponseSize(64 << 10);
    connectLoginSelect();
    // A 40 KB message fits within the bound with its FETCH line.
    QCOMPARE(subjectOf(client.fetchMessage(1)), QStringLiteral("Scripted message 1"));
    QVERIFY(!client.fetchMessage(2));
    QVERIFY2(client.lastErrorText().contains("larger than 65536 bytes"), qPrintable(client.lastErrorText()));
    QVERIFY(client.sendRawCommand("NOOP").isEmpty());  // the rest of it is not read: closed
    QTRY_COMPARE(m_server->openConnections(), 0);
}

// Tens of thousands of small responses arrive at once (they piled up while the window was busy
// for a moment). Taking them apart takes longer than Stop may wait, so the client must look
// for Stop between pieces of that work, not only after all of it. What is measured is the work
// the client does between two checks (its processor time), which other programs on a busy
// machine do not stretch; the time on the wall is shown beside it.
void TestImapClientFaults::stopIsSeenWhileManySmallAnswersPileUp()
{
    constexpr int floodLines = 400000;
    const QByteArray flood = QByteArray("* 3 FETCH (FLAGS (\\Seen))\r\n").repeated(floodLines);
    m_server->on("FETCH", [flood](ScriptedImapSession &session, const QByteArray &tag, const QByteArray &arguments) {
        const int asked = arguments.left(arguments.indexOf(' ')).toInt();
        session.send(flood + ScriptedImapServer::fetchResponse(asked, session.server().message(asked))
                     + tag + " OK Fetch completed\r\n");
    });
    ImapClient &client = newClient(5000, 20000);
    connectLoginSelect();
    QElapsedTimer wall;
    wall.start();
    qint64 lastCheckEnd = -1;
    qint64 lastCheckEndCpu = -1;
    qint64 longestGap = 0;
    qint64 longestWork = 0;
    int checks = 0;
    connect(&client, &ImapClient::abortCheck, this, [&](qint32 &) {
        if (lastCheckEnd >= 0) {
            longestGap = qMax(longestGap, wall.elapsed() - lastCheckEnd);
            longestWork = qMax(longestWork, threadCpuMs() - lastCheckEndCpu);
        }
        // The first check runs before the command is sent; at the second the answer is coming,
        // and the window is busy with its own events for a while: the socket takes in what
        // arrives meanwhile, and the client finds it all at once afterwards.
        if (++checks == 2) {
            QElapsedTimer busy;
            busy.start();
            while (busy.elapsed() < 400)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        QCoreApplication::processEvents();
        lastCheckEnd = wall.elapsed();
        lastCheckEndCpu = threadCpuMs();
    });
    const qint64 droppedBefore = client.droppedResponseCount();
    const std::optional<FetchedMessage> message = client.fetchMessage(2);
    // The stretch after the last check counts too: the window waits for it as well.
    longestGap = qMax(longestGap, wall.elapsed() - lastCheckEnd);
    longestWork = qMax(longestWork, threadCpuMs() - lastCheckEndCpu);
    QCOMPARE(subjectOf(message), QStringLiteral("Scripted message 2"));
    QVERIFY2(checks > 1, "the answer came before the window was busy; the test proves nothing");
    QCOMPARE(client.droppedResponseCount() - droppedBefore, floodLines);
    qDebug() << "between abort checks while" << floodLines << "responses arrived: at most" << longestWork
             << "ms of work," << longestGap << "ms on the wall;" << checks << "checks";
    QVERIFY2(longestWork < kLongestWorkMs, qPrintable(QString::number(longestWork)));
}

// A 300 MB message arrives. Neither the bytes piling up nor the step that completes the answer
// may keep Stop waiting: the client's work between two abort checks, and from Stop to its
// return, is measured in processor time (the time on the wall is shown beside it).
void TestImapClientFaults::stopIsSeenWhileAHugeMessageArrives_data()
{
    QTest::addColumn<qint64>("bytesPerSecond");  // 0: as fast as the client reads
    QTest::addColumn<int>("stopAtMs");           // -1: no Stop
    QTest::newRow("Stop at 2 s, while it arrives") << (qint64(100) << 20) << 2000;
    QTest::newRow("taken whole") << qint64(0) << -1;
}

void TestImapClientFaults::stopIsSeenWhileAHugeMessageArrives()
{
    QFETCH(qint64, bytesPerSecond);
    QFETCH(int, stopAtMs);
    constexpr qint64 messageSize = qint64(300) << 20;
    const QByteArray header = "From: Big <big@example.com>\r\nSubject: Huge\r\n\r\n";
    m_server->on("FETCH", [=](ScriptedImapSession &session, const QByteArray &tag, const QByteArray &) {
        const QByteArray size = QByteArray::number(messageSize);
        const QByteArray head = "* 1 FETCH (RFC822.SIZE " + size + " BODY[] {" + size + "}\r\n" + header;
        const QByteArray tail = ")\r\n" + tag + " OK Fetch completed\r\n";
        const qint64 filler = messageSize - header.size();
        session.sendGenerated(head.size() + filler + tail.size(), ScriptedImapServer::filledAnswer(head, filler, tail), bytesPerSecond);
    });
    ImapClient &client = newClient(5000, 20000);
    connectLoginSelect();
    AbortCheckMeter meter(client, stopAtMs);
    const std::optional<FetchedMessage> message = client.fetchMessage(1);
    meter.finish();
    const qint64 longestWork = meter.longestWorkMs;
    qDebug() << "at most" << longestWork << "ms of work between abort checks;" << meter.wallMs << "ms in all";
    if (stopAtMs >= 0) {
        QVERIFY2(!message, "the message was complete before Stop; the test proves nothing");
        QVERIFY2(client.lastErrorText().contains("aborted"), qPrintable(client.lastErrorText()));
        qDebug() << "from Stop to the return:" << meter.afterStopCpuMs << "ms of work," << meter.afterStopWallMs
                 << "ms on the wall";
        QVERIFY2(meter.afterStopCpuMs >= 0 && meter.afterStopCpuMs < kLongestWorkMs, qPrintable(QString::number(meter.afterStopCpuMs)));
    } else {
        QVERIFY2(message, qPrintable(client.lastErrorText()));
        QCOMPARE(message->raw.size(), messageSize);
        QVERIFY(message->raw.startsWith(header));
        const qint64 filler = messageSize - header.size();
        QCOMPARE(message->raw.right(100), ScriptedImapServer::filledAnswer({}, filler, {})(filler - 100, 100));
    }
    QVERIFY2(longestWork < kLongestWorkMs, qPrintable(QString::number(longestWork)));
}

// How large one answer may be follows what the server says of its message: a size given before
// the message (RFC822.SIZE) bounds the answer closely, whatever the setting; without one the
// setting "LargestMessageMB" does.
void TestImapClientFaults::answerSizeFollowsTheAnnouncedMessageSize_data()
{
    QTest::addColumn<QString>("setting");
    QTest::addColumn<qint64>("announced");     // -1: no size given
    QTest::addColumn<qint64>("messageSize");
    QTest::addColumn<qint64>("chainedSize");   // a second literal after the message; 0: none
    QTest::addColumn<bool>("taken");
    const qint64 mib = qint64(1) << 20;
    QTest::newRow("size given, beyond the setting") << "1" << 3 * mib << 3 * mib << qint64(0) << true;
    QTest::newRow("size given, literal chained beyond it") << "" << qint64(20000) << qint64(20000) << 2 * mib << false;
    QTest::newRow("size given, far smaller than sent") << "" << qint64(20000) << 3 * mib << qint64(0) << false;
    QTest::newRow("no size, within the setting") << "2" << qint64(-1) << mib * 3 / 2 << qint64(0) << true;
    QTest::newRow("no size, beyond the setting") << "1" << qint64(-1) << 3 * mib << qint64(0) << false;
    QTest::newRow("no size, unreadable setting: the default") << "lots" << qint64(-1) << 3 * mib << qint64(0) << true;
}

void TestImapClientFaults::answerSizeFollowsTheAnnouncedMessageSize()
{
    QFETCH(QString, setting);
    QFETCH(qint64, announced);
    QFETCH(qint64, messageSize);
    QFETCH(qint64, chainedSize);
    QFETCH(bool, taken);
    saveSetting(QStringLiteral("LargestMessageMB"), setting);
    const QByteArray message = plainMessage(2, int(messageSize - plainMessage(2, 0).size()));
    m_server->on("FETCH", [=](ScriptedImapSession &session, const QByteArray &tag, const QByteArray &) {
        QByteArray answer = "* 2 FETCH (";
        if (announced >= 0)
            answer += "RFC822.SIZE " + QByteArray::number(announced) + " ";
        answer += "BODY[] {" + QByteArray::number(message.size()) + "}\r\n" + message;
        if (chainedSize > 0)
            answer += " X-MORE {" + QByteArray::number(chainedSize) + "}\r\n" + QByteArray(chainedSize, 'y');
        session.send(answer + ")\r\n" + tag + " OK Fetch completed\r\n");
    });
    ImapClient &client = newClient();
    connectLoginSelect();
    const std::optional<FetchedMessage> fetched = client.fetchMessage(2);
    if (taken) {
        QCOMPARE(subjectOf(fetched), QStringLiteral("Scripted message 2"));
        QCOMPARE(fetched->raw.size(), messageSize);
        return;
    }
    QVERIFY(!fetched);
    QVERIFY2(client.lastErrorText().contains("larger than"), qPrintable(client.lastErrorText()));
    QVERIFY(client.sendRawCommand("NOOP").isEmpty());  // the rest is not read: closed
}

// A server's text while the password is in flight: the password and pieces that would give it
// away are masked, words that merely share a few letters with it are not.
void TestImapClientFaults::loginErrorsKeepWordsThatShareLettersWithThePassword_data()
{
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<QByteArray>("text");   // the server's NO text
    QTest::addColumn<QStringList>("kept");
    QTest::addColumn<QStringList>("hidden");
    const QByteArray longPassword = "probe-secret-1234-5678-9abc-defg-hijk-lmno-pqrs-tuvw-xyz";
    QTest::newRow("three letters of a word") << QByteArray("cre8tive-Key") << QByteArray("Invalid credentials (Failure)")
                                             << QStringList{"Invalid credentials (Failure)"} << QStringList{};
    QTest::newRow("four letters inside words") << QByteArray("pass-word-99x") << QByteArray("Check your password and username")
                                               << QStringList{"Check your password and username"} << QStringList{};
    QTest::newRow("short runs of a long password") << longPassword << QByteArray("probes with 1234x are logged")
                                                   << QStringList{"probes with 1234x are logged"} << QStringList{};
    QTest::newRow("the whole password inside a word") << QByteArray("Tr0ub4dor&3") << QByteArray("no user adminTr0ub4dor&3x")
                                                      << QStringList{"no user admin"} << QStringList{"Tr0ub4", "b4dor&3"};
    QTest::newRow("most of a short password") << QByteArray("Kx7#mq") << QByteArray("Rejected: Kx7#m!")
                                              << QStringList{"Rejected: "} << QStringList{"Kx7#"};
    QTest::newRow("a piece standing as a word") << longPassword << QByteArray("failed at 5678 again")
                                                << QStringList{"failed at ", " again"} << QStringList{"5678"};
    QTest::newRow("a long piece between letters") << longPassword << QByteArray("seen xx9abc-defgyy")
                                                  << QStringList{"seen xx"} << QStringList{"9abc", "defg"};
}

void TestImapClientFaults::loginErrorsKeepWordsThatShareLettersWithThePassword()
{
    QFETCH(QByteArray, password);
    QFETCH(QByteArray, text);
    QFETCH(QStringList, kept);
    QFETCH(QStringList, hidden);
    m_server->on("LOGIN", [text](ScriptedImapSession &session, const QByteArray &tag, const QByteArray &) {
        session.send(tag + " NO " + text + "\r\n");
    });
    ImapClient &client = newClient();
    QCOMPARE(client.connectToServer(m_server->host()), 1);
    QVERIFY(client.login("user", QString::fromUtf8(password)) != 1);
    const QString error = client.lastErrorText();
    for (const QString &word : kept)
        QVERIFY2(error.contains(word), qPrintable(error));
    for (const QString &piece : hidden)
        QVERIFY2(!error.contains(piece), qPrintable(error));
}

QTEST_GUILESS_MAIN(TestImapClientFaults)
#include "tst_imapclient_faults.moc"
