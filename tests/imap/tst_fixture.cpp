// Checks the Dovecot test fixture itself, so that a failing IMAP test points at the program and
// not at a server that is missing, untrusted, or different from its manifest.

#include "TestServer.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QtTest>

namespace {

const int kTimeoutMs = 10000;

QSslConfiguration trustingFixtureCa(const TestServer &server)
{
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.addCaCertificates(server.caFile);
    config.setPeerVerifyMode(QSslSocket::VerifyPeer);
    return config;
}

QByteArray imapQuoted(const QString &text)
{
    QByteArray quoted = text.toUtf8();
    quoted.replace('\\', "\\\\").replace('"', "\\\"");
    return '"' + quoted + '"';
}

// One tagged command; returns the tagged reply line (empty on timeout).
QByteArray command(QSslSocket &socket, const QByteArray &line)
{
    socket.write("t1 " + line + "\r\n");
    while (socket.waitForReadyRead(kTimeoutMs)) {
        while (socket.canReadLine()) {
            const QByteArray reply = socket.readLine();
            if (reply.startsWith("t1 "))
                return reply.trimmed();
        }
    }
    return {};
}

}  // namespace

class TestFixture : public QObject {
    Q_OBJECT

private:
    TestServer server = TestServer::fromFixture();

private slots:
    void environmentDescribesServer();
    void greetsOverTlsWithFixtureCa_data();
    void greetsOverTlsWithFixtureCa();
    void refusesVerificationWithoutFixtureCa();
    void logsInWithQuotedPasswords();
    void manifestDescribesMailboxes();
    void manifestDescribesInbox();
};

void TestFixture::environmentDescribesServer()
{
    QCOMPARE(server.host, QStringLiteral("127.0.0.1"));
    QVERIFY(server.port > 0);
    QVERIFY(QFile::exists(server.caFile));
    QCOMPARE(server.user, QStringLiteral("quorvale.test@gmail.com"));
    QCOMPARE(server.emptyUser, QStringLiteral("empty.box@gmail.com"));
    // The password exists to exercise IMAP quoting.
    QVERIFY(server.password.contains(u' '));
    QVERIFY(server.password.contains(u'"'));
    QVERIFY(server.password.contains(u'\\'));

    server.applyToEnvironment();
    QCOMPARE(qEnvironmentVariable("QUORVALE_IMAP_HOST"), server.host);
    QCOMPARE(qEnvironmentVariableIntValue("QUORVALE_IMAP_PORT"), server.port);
    QCOMPARE(qEnvironmentVariable("QUORVALE_IMAP_CAFILE"), server.caFile);
}

void TestFixture::greetsOverTlsWithFixtureCa_data()
{
    QTest::addColumn<QString>("verifyName");
    QTest::addColumn<bool>("trusted");
    QTest::newRow("address") << QStringLiteral("127.0.0.1") << true;
    QTest::newRow("localhost") << QStringLiteral("localhost") << true;
    QTest::newRow("other name") << QStringLiteral("imap.gmail.com") << false;
}

void TestFixture::greetsOverTlsWithFixtureCa()
{
    QFETCH(QString, verifyName);
    QFETCH(bool, trusted);
    QSslSocket socket;
    socket.setSslConfiguration(trustingFixtureCa(server));
    socket.setPeerVerifyName(verifyName);
    socket.connectToHostEncrypted(server.host, quint16(server.port));
    QCOMPARE(socket.waitForEncrypted(kTimeoutMs), trusted);
    if (!trusted) {
        bool nameMismatch = false;
        for (const QSslError &error : socket.sslHandshakeErrors())
            nameMismatch |= error.error() == QSslError::HostNameMismatch;
        QVERIFY2(nameMismatch, "the handshake should fail on the host name only");
        return;
    }
    QVERIFY(socket.waitForReadyRead(kTimeoutMs));
    const QByteArray greeting = socket.readLine();
    QVERIFY2(greeting.startsWith("* OK"), greeting.constData());
}

void TestFixture::refusesVerificationWithoutFixtureCa()
{
    QSslSocket socket;  // the system's CA store only
    socket.connectToHostEncrypted(server.host, quint16(server.port));
    QVERIFY(!socket.waitForEncrypted(kTimeoutMs));
    bool untrusted = false;
    for (const QSslError &error : socket.sslHandshakeErrors()) {
        untrusted |= error.error() == QSslError::UnableToGetLocalIssuerCertificate
                     || error.error() == QSslError::CertificateUntrusted;
    }
    QVERIFY2(untrusted, "the handshake should fail because the issuer is unknown");
}

void TestFixture::logsInWithQuotedPasswords()
{
    const QList<std::pair<QString, QString>> attempts = {
        {server.user, server.password},
        {server.emptyUser, server.emptyPassword},
        {server.user, server.password + QStringLiteral("x")},
    };
    for (int i = 0; i < attempts.size(); ++i) {
        QSslSocket socket;
        socket.setSslConfiguration(trustingFixtureCa(server));
        socket.connectToHostEncrypted(server.host, quint16(server.port));
        QVERIFY(socket.waitForEncrypted(kTimeoutMs));
        QVERIFY(socket.waitForReadyRead(kTimeoutMs));
        socket.readLine();  // greeting
        const QByteArray reply = command(socket, "LOGIN " + imapQuoted(attempts[i].first) + ' '
                                                     + imapQuoted(attempts[i].second));
        const bool shouldSucceed = i < 2;
        QVERIFY2(reply.startsWith(shouldSucceed ? "t1 OK" : "t1 NO"), reply.constData());
    }
}

void TestFixture::manifestDescribesMailboxes()
{
    const QSet<QString> gmailLayout = {
        QStringLiteral("INBOX"),          QStringLiteral("[Gmail]/All Mail"),
        QStringLiteral("[Gmail]/Drafts"), QStringLiteral("[Gmail]/Important"),
        QStringLiteral("[Gmail]/Sent Mail"), QStringLiteral("[Gmail]/Spam"),
        QStringLiteral("[Gmail]/Starred"), QStringLiteral("[Gmail]/Trash"),
        QStringLiteral("Work"), QString::fromUtf8("Reçus"), QStringLiteral("Family"),
        QStringLiteral("Family/Kids")};

    for (const QString &user : {server.user, server.emptyUser}) {
        QSet<QString> names;
        for (const TestServer::ExpectedMailbox &box : server.mailboxes(user)) {
            names.insert(box.name);
            if (user == server.emptyUser)
                QCOMPARE(box.messageCount, 0);
            if (box.name == QStringLiteral("[Gmail]/Sent Mail"))
                QCOMPARE(box.specialUse, QStringLiteral("\\Sent"));
        }
        QVERIFY2(names.contains(gmailLayout), qPrintable(user));
    }
    QCOMPARE(server.corpus(server.user, QStringLiteral("[Gmail]/Sent Mail")).size(), 3);
    QCOMPARE(server.corpus(server.user, QString::fromUtf8("Reçus")).size(), 3);
}

void TestFixture::manifestDescribesInbox()
{
    const QList<TestServer::ExpectedMessage> inbox = server.corpus(server.user, "INBOX");
    QVERIFY(inbox.size() >= 25 && inbox.size() <= 35);
    for (const TestServer::ExpectedMessage &m : inbox) {
        QVERIFY2(QFileInfo(m.emlPath).size() == m.size, qPrintable(m.shape));
        QVERIFY(m.date.isValid());
    }

    // Non-ASCII text survives the manifest, and the From text follows its convention.
    const auto mixed = server.message(server.user, "INBOX", "rfc2047_mixed");
    QCOMPARE(mixed.fromName, QString::fromUtf8("Jörg Müller"));
    QCOMPARE(mixed.from, QString::fromUtf8("Jörg Müller <joerg@example.de>"));
    QCOMPARE(mixed.subject, QString::fromUtf8("Grüße aus München und Berlin"));

    // The sort messages keep their own +02:00 offset.
    const auto lateAugust = server.message(server.user, "INBOX", "sort_aug31_2300");
    QCOMPARE(lateAugust.date.offsetFromUtc(), 2 * 3600);
    QCOMPARE(lateAugust.date.toUTC(), QDateTime(QDate(2021, 8, 31), QTime(21, 0), Qt::UTC));

    const auto undated = server.message(server.user, "INBOX", "no_date");
    QVERIFY(undated.dateFromInternalDate);
    QCOMPARE(undated.date, undated.internalDate);

    const auto attachmentOnly = server.message(server.user, "INBOX", "attachment_text_not_body");
    QVERIFY(!attachmentOnly.hasPlain);
    QVERIFY(attachmentOnly.hasHtml);
    QVERIFY(!attachmentOnly.absentSnippet.isEmpty());
}

QTEST_GUILESS_MAIN(TestFixture)
#include "tst_fixture.moc"
