// The IMAP client against the real Dovecot of the test fixture: logging in, listing, counting,
// and fetching every corpus message, one by one and with FETCH commands sent ahead.

#include "TestServer.h"
#include "imap/ImapClient.h"
#include "mime/MailMessage.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTest>

namespace {

const QString inbox = QStringLiteral("INBOX");

MessageEntry parsed(const FetchedMessage &fetched)
{
    return parseMailMessage(fetched.raw, fetched.internalDate);
}

// Everything of a fetched message the manifest can be held against, and its bodies.
QString describe(const MessageEntry &m)
{
    return QStringLiteral("from=%1|name=%2|address=%3|subject=%4|date=%5|plain=%6|html=%7")
        .arg(m.From, m.FromName, m.FromAddress, m.Subject, m.ReceivedDateTime.toUTC().toString(Qt::ISODate))
        .arg(m.PlainTextBody, m.HTMLTextBody);
}

// What a fetch gave, or why it failed, so that a failure reads in the comparison.
QString fetchOne(ImapClient &client, int number)
{
    const std::optional<FetchedMessage> fetched = client.fetchMessage(number);
    return fetched ? describe(parsed(*fetched)) : QStringLiteral("failed: ") + client.lastErrorText();
}

// The differences between a fetched message and what the manifest expects, one line each.
QStringList mismatches(const TestServer::ExpectedMessage &expected, const MessageEntry &actual)
{
    QStringList found;
    auto check = [&](const char *field, const QString &want, const QString &got) {
        if (want != got)
            found.append(QStringLiteral("#%1 %2 %3: expected \"%4\", got \"%5\"")
                             .arg(expected.seq).arg(expected.shape, QLatin1String(field), want, got));
    };
    check("from", expected.from, actual.From);
    if (!expected.fromMalformed) {
        check("fromName", expected.fromName, actual.FromName);
        check("fromAddress", expected.fromAddress, actual.FromAddress);
    }
    check("subject", expected.subject, actual.Subject);
    check("date", expected.date.toUTC().toString(Qt::ISODate), actual.ReceivedDateTime.toUTC().toString(Qt::ISODate));
    auto checkBody = [&](const char *field, bool has, const QString &snippet, const QString &body) {
        if (has && !body.contains(snippet))
            found.append(QStringLiteral("#%1 %2 %3: lacks \"%4\"").arg(expected.seq).arg(expected.shape, QLatin1String(field), snippet));
        if (!has && !body.isEmpty())
            found.append(QStringLiteral("#%1 %2 %3: should be empty").arg(expected.seq).arg(expected.shape, QLatin1String(field)));
        if (!expected.absentSnippet.isEmpty() && body.contains(expected.absentSnippet))
            found.append(QStringLiteral("#%1 %2 %3: holds attachment text").arg(expected.seq).arg(expected.shape, QLatin1String(field)));
    };
    checkBody("plain body", expected.hasPlain, expected.plainSnippet, actual.PlainTextBody);
    checkBody("html body", expected.hasHtml, expected.htmlSnippet, actual.HTMLTextBody);
    return found;
}

}  // namespace

class TestImapClient : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void loginWithTheRightAndTheWrongPassword();
    void idIsAnsweredBeforeLogin();
    void listDecodesNamesAndAttributes();
    void selectCountsMessages();
    void fetchesEveryInboxMessageAsTheManifestSays();
    void numberOutsideTheMailboxFailsAndTheNextFetchWorks();
    void abortEndsAFetchAndTheConnectionStaysUsable();
    void untrustedCertificateFailsWithTheTlsError();
    void unreachablePortFailsAtOnce();
    void fetchAheadGivesTheSameMessagesAsOneByOne();
    void fetchingNeverSetsSeen();
    void connectAgainAndDisconnect();

private:
    ImapClient &connectedClient(bool login = true);
    QStringList fetchAllOneByOne(ImapClient &client, int count);

    TestServer m_server;
    std::unique_ptr<ImapClient> m_client;
    QList<TestServer::ExpectedMessage> m_inbox;
};

void TestImapClient::initTestCase()
{
    m_server = TestServer::fromFixture();
    // Before the first client exists: the endpoint is read once per process.
    m_server.applyToEnvironment();
    m_inbox = m_server.corpus(m_server.user, inbox);
    QVERIFY(m_inbox.size() > 20);
}

ImapClient &TestImapClient::connectedClient(bool login)
{
    m_client = std::make_unique<ImapClient>();
    if (m_client->connectToServer(m_server.host) != 1)
        qFatal("cannot connect to the fixture: %s", qPrintable(m_client->lastErrorText()));
    if (login && m_client->login(m_server.user, m_server.password) != 1)
        qFatal("cannot log in: %s", qPrintable(m_client->lastErrorText()));
    return *m_client;
}

QStringList TestImapClient::fetchAllOneByOne(ImapClient &client, int count)
{
    QStringList texts;
    for (int number = 1; number <= count; ++number) {
        const std::optional<FetchedMessage> message = client.fetchMessage(number);
        texts.append(message ? describe(parsed(*message)) : QStringLiteral("failed: ") + client.lastErrorText());
    }
    return texts;
}

void TestImapClient::loginWithTheRightAndTheWrongPassword()
{
    ImapClient &client = connectedClient(false);
    QVERIFY(client.lastErrorText().startsWith("OK"));

    // Everything Qt would print while the failed login runs is kept to look for the password.
    static QStringList logged;
    logged.clear();
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext &, const QString &text) { logged.append(text); });
    const QString wrong = m_server.password + QStringLiteral("x");
    const int result = client.login(m_server.user, wrong);
    qInstallMessageHandler(previous);
    QVERIFY(result != 1);
    QVERIFY2(client.lastErrorText().contains("NO"), qPrintable(client.lastErrorText()));
    QVERIFY2(client.lastErrorText().contains("AUTHENTICATIONFAILED"), qPrintable(client.lastErrorText()));
    const QStringList seen = QStringList(logged) << client.lastErrorText();
    for (const QString &text : seen) {
        QVERIFY(!text.contains(wrong));
        QVERIFY(!text.contains(m_server.password));
    }

    // The failed attempt leaves the connection usable.
    QCOMPARE(client.login(m_server.user, m_server.password), 1);
    QVERIFY2(client.lastErrorText().startsWith("OK"), qPrintable(client.lastErrorText()));
    QVERIFY(!client.lastErrorText().contains(m_server.password));
}

void TestImapClient::idIsAnsweredBeforeLogin()
{
    ImapClient &client = connectedClient(false);
    const QString answer = client.sendRawCommand("ID (\"GUID\" \"1\")");
    QVERIFY2(answer.startsWith("* ID ("), qPrintable(answer));
    QVERIFY(answer.contains("Dovecot"));
    QVERIFY(answer.endsWith("OK ID completed.\r\n") || answer.contains(" OK "));
    QVERIFY(client.sendRawCommand("NO-SUCH-COMMAND").isEmpty());
    QVERIFY2(client.lastErrorText().contains("BAD"), qPrintable(client.lastErrorText()));
}

void TestImapClient::listDecodesNamesAndAttributes()
{
    ImapClient &client = connectedClient();
    const std::optional<QList<MailboxInfo>> mailboxes = client.listMailboxes("", "*");
    QVERIFY2(mailboxes, qPrintable(client.lastErrorText()));
    QMap<QString, MailboxInfo> byName;
    for (const MailboxInfo &mailbox : *mailboxes)
        byName.insert(mailbox.name, mailbox);
    for (const TestServer::ExpectedMailbox &expected : m_server.mailboxes(m_server.user)) {
        QVERIFY2(byName.contains(expected.name), qPrintable(expected.name));
        const MailboxInfo &info = byName[expected.name];
        QCOMPARE(info.delimiter, QStringLiteral("/"));
        if (!expected.specialUse.isEmpty())
            QVERIFY2(info.attributes.contains(expected.specialUse), qPrintable(expected.name));
    }
    QVERIFY(byName.contains(QStringLiteral("Re\u00e7us")));
    QVERIFY(byName.value("[Gmail]/Sent Mail").attributes.contains("\\Sent"));
    QVERIFY(byName.value("[Gmail]").attributes.contains("\\Noselect", Qt::CaseInsensitive));

    const std::optional<QList<MailboxInfo>> top = client.listMailboxes("", "%");
    QVERIFY(top);
    QVERIFY(top->size() < mailboxes->size());
    const std::optional<QList<MailboxInfo>> accented = client.listMailboxes("", QStringLiteral("Re\u00e7*"));
    QVERIFY(accented && accented->size() == 1);
    QCOMPARE(accented->first().name, QStringLiteral("Re\u00e7us"));
}

void TestImapClient::selectCountsMessages()
{
    ImapClient &client = connectedClient();
    QCOMPARE(client.messageCount(), 0);
    QCOMPARE(client.selectMailbox(inbox), 1);
    QCOMPARE(client.messageCount(), m_inbox.size());
    QVERIFY2(client.lastErrorText().startsWith("OK"), qPrintable(client.lastErrorText()));
    for (const TestServer::ExpectedMailbox &expected : m_server.mailboxes(m_server.user)) {
        QCOMPARE(client.selectMailbox(expected.name), 1);
        QCOMPARE(client.messageCount(), expected.messageCount);
    }
    QCOMPARE(client.selectMailbox("[Gmail]/Spam"), 1);
    QCOMPARE(client.messageCount(), 0);
    QCOMPARE(client.selectMailbox("No such mailbox"), 0);
    QVERIFY2(client.lastErrorText().contains("NO"), qPrintable(client.lastErrorText()));
    QCOMPARE(client.messageCount(), 0);

    ImapClient other;
    QCOMPARE(other.connectToServer(m_server.host), 1);
    QCOMPARE(other.login(m_server.emptyUser, m_server.emptyPassword), 1);
    QCOMPARE(other.selectMailbox(inbox), 1);
    QCOMPARE(other.messageCount(), 0);
    QVERIFY(!other.fetchMessage(1));
}

void TestImapClient::fetchesEveryInboxMessageAsTheManifestSays()
{
    ImapClient &client = connectedClient();
    QCOMPARE(client.selectMailbox(inbox), 1);
    QList<int> percents;
    connect(&client, &ImapClient::percentDone, this, [&](qint32 &percent) { percents.append(percent); });
    QStringList problems;
    for (const TestServer::ExpectedMessage &expected : m_inbox) {
        percents.clear();
        const std::optional<FetchedMessage> message = client.fetchMessage(expected.seq);
        QVERIFY2(message, qPrintable(client.lastErrorText()));
        QVERIFY2(client.lastErrorText().startsWith(QStringLiteral("OK: message %1 fetched (%2 bytes)")
                                                       .arg(expected.seq).arg(expected.size)),
                 qPrintable(client.lastErrorText()));
        QVERIFY(percents.size() >= 2);
        QCOMPARE(percents.first(), 0);
        QCOMPARE(percents.last(), 100);
        QVERIFY(std::is_sorted(percents.begin(), percents.end()));
        problems += mismatches(expected, parsed(*message));
    }
    // Field values come from the message parser; all differences are listed at once.
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
}

void TestImapClient::numberOutsideTheMailboxFailsAndTheNextFetchWorks()
{
    ImapClient &client = connectedClient();
    QCOMPARE(client.selectMailbox(inbox), 1);
    const int count = client.messageCount();
    for (int number : {0, count + 1, -5}) {
        QVERIFY(!client.fetchMessage(number));
        QVERIFY2(client.lastErrorText().contains("no message with that number"), qPrintable(client.lastErrorText()));
    }
    const std::optional<FetchedMessage> last = client.fetchMessage(count);
    QVERIFY2(last, qPrintable(client.lastErrorText()));
    QCOMPARE(parsed(*last).Subject, m_inbox.last().subject);
}

void TestImapClient::abortEndsAFetchAndTheConnectionStaysUsable()
{
    ImapClient &client = connectedClient();
    QCOMPARE(client.selectMailbox(inbox), 1);
    const QStringList expected = fetchAllOneByOne(client, 6);

    bool abort = true;
    connect(&client, &ImapClient::abortCheck, this, [&](qint32 &answer) {
        if (abort)
            answer = -1;
    });
    QVERIFY(!client.fetchMessage(3));
    QVERIFY2(client.lastErrorText().contains("Operation aborted"), qPrintable(client.lastErrorText()));
    abort = false;
    QCOMPARE(fetchOne(client, 3), expected[2]);

    // Stopped while answers sent ahead are due: the following fetches still get their own.
    client.setFetchAhead(1, 6);
    QCOMPARE(fetchOne(client, 1), expected[0]);
    abort = true;
    QVERIFY(!client.fetchMessage(2));
    abort = false;
    QCOMPARE(fetchAllOneByOne(client, 6), expected);
    QCOMPARE(client.selectMailbox(inbox), 1);
    QCOMPARE(client.messageCount(), m_inbox.size());
}

void TestImapClient::untrustedCertificateFailsWithTheTlsError()
{
    ImapClient client;
    client.setExtraCaCertificates({});
    QVERIFY(client.connectToServer(m_server.host) != 1);
    QVERIFY2(client.lastErrorText().contains("TLS certificate not trusted"), qPrintable(client.lastErrorText()));
    QCOMPARE(client.login(m_server.user, m_server.password), 0);
}

void TestImapClient::unreachablePortFailsAtOnce()
{
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    const int port = probe.serverPort();
    probe.close();  // nothing listens there now

    ImapClient client;
    client.setPort(port);
    QElapsedTimer elapsed;
    elapsed.start();
    QVERIFY(client.connectToServer(m_server.host) != 1);
    QVERIFY2(elapsed.elapsed() < 1000, qPrintable(QString::number(elapsed.elapsed())));
    QVERIFY2(client.lastErrorText().contains("refused", Qt::CaseInsensitive), qPrintable(client.lastErrorText()));
}

void TestImapClient::fetchAheadGivesTheSameMessagesAsOneByOne()
{
    ImapClient &client = connectedClient();
    QCOMPARE(client.selectMailbox(inbox), 1);
    const int count = client.messageCount();
    const QStringList oneByOne = fetchAllOneByOne(client, count);
    for (const QString &text : oneByOne)
        QVERIFY2(!text.startsWith("failed"), qPrintable(text));

    client.setFetchAhead(1, count);
    QCOMPARE(fetchAllOneByOne(client, count), oneByOne);

    // Out of order, a selection in between, and numbers outside the announced range.
    client.setFetchAhead(1, count);
    QCOMPARE(fetchOne(client, 1), oneByOne[0]);
    QCOMPARE(fetchOne(client, 2), oneByOne[1]);
    QCOMPARE(fetchOne(client, 10), oneByOne[9]);
    QCOMPARE(fetchOne(client, 4), oneByOne[3]);
    QCOMPARE(fetchOne(client, 5), oneByOne[4]);
    QVERIFY(!client.sendRawCommand("NOOP").isEmpty());
    QCOMPARE(fetchOne(client, 6), oneByOne[5]);
    QCOMPARE(client.selectMailbox("Work"), 1);
    const int workCount = client.messageCount();
    QVERIFY(workCount > 0 && workCount < count);
    QCOMPARE(client.selectMailbox(inbox), 1);
    QCOMPARE(fetchOne(client, 7), oneByOne[6]);
    client.setFetchAhead(3, 5);
    QCOMPARE(fetchOne(client, count), oneByOne[count - 1]);
    QCOMPARE(fetchOne(client, 3), oneByOne[2]);
}

void TestImapClient::fetchingNeverSetsSeen()
{
    ImapClient &client = connectedClient();
    QCOMPARE(client.selectMailbox(inbox), 1);
    client.setFetchAhead(1, client.messageCount());
    fetchAllOneByOne(client, client.messageCount());
    const QString flags = client.sendRawCommand("FETCH 1:* (FLAGS)");
    QCOMPARE(flags.count(QStringLiteral(" FETCH (FLAGS (")), m_inbox.size());
    QVERIFY2(!flags.contains("\\Seen", Qt::CaseInsensitive), qPrintable(flags));

    // From a second connection too, so nothing is merely cached on the first.
    ImapClient other;
    QCOMPARE(other.connectToServer(m_server.host), 1);
    QCOMPARE(other.login(m_server.user, m_server.password), 1);
    QCOMPARE(other.selectMailbox(inbox), 1);
    QVERIFY(!other.sendRawCommand("FETCH 1:* (FLAGS)").contains("\\Seen", Qt::CaseInsensitive));
}

void TestImapClient::connectAgainAndDisconnect()
{
    ImapClient &client = connectedClient();
    QCOMPARE(client.selectMailbox(inbox), 1);
    // Connecting again ends the first connection and starts afresh, not logged in.
    QCOMPARE(client.connectToServer(m_server.host), 1);
    QCOMPARE(client.messageCount(), 0);
    QVERIFY(!client.fetchMessage(1));
    QCOMPARE(client.login(m_server.user, m_server.password), 1);
    QCOMPARE(client.selectMailbox(inbox), 1);
    QVERIFY(client.fetchMessage(1));
    client.disconnect();
    QVERIFY(client.lastErrorText().startsWith("OK: disconnected"));
    QVERIFY(!client.fetchMessage(1));
    client.disconnect();  // twice is harmless
    QVERIFY(client.lastErrorText().contains("not connected"));
}

QTEST_GUILESS_MAIN(TestImapClient)
#include "tst_imapclient.moc"
