// Searches of a folder against the real test server, which has no Gmail search: the query's
// common part in standard SEARCH keys finds what the corpus manifest says, and the download
// brings exactly those messages.

#include "TestServer.h"
#include "core/AppGlobals.h"
#include "core/ProgramFolder.h"
#include "imap/ImapClient.h"
#include "mail/clsImapSession.h"
#include "platform/ScriptedDialogs.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

static const QString kMailbox = QStringLiteral("Search");

class TestMatching : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void findsWhatTheManifestSays_data();
    void findsWhatTheManifestSays();

private:
    ImapSessionPtr connectedSession(const QString &user, const QString &password);

    TestServer m_server;
    ImapClient *m_client = nullptr;
    QTemporaryDir m_programDir;
    std::unique_ptr<platform::ScriptedDialogs> m_dialogs;
};

void TestMatching::initTestCase()
{
    m_server = TestServer::fromFixture();
    m_server.applyToEnvironment();
}

void TestMatching::init()
{
    m_client = new ImapClient(this);
    m_dialogs = std::make_unique<platform::ScriptedDialogs>();
    setProgramFolder(m_programDir.path());
    globals() = AppGlobals();
}

void TestMatching::cleanup()
{
    m_dialogs.reset();
    delete std::exchange(m_client, nullptr);
}

ImapSessionPtr TestMatching::connectedSession(const QString &user, const QString &password)
{
    ImapSessionPtr session = clsImapSession::create();
    session->ImapObject = m_client;
    session->SSL = true;
    session->PORT = m_server.port;
    session->IMAPServer = m_server.host;
    session->Username = user;
    session->Password = password;
    if (!session->Connect())
        qFatal("cannot log in to the test server");
    return session;
}

void TestMatching::findsWhatTheManifestSays_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QStringList>("subjects");
    QFile file(m_server.dir + QStringLiteral("/corpus.json"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QJsonObject box = QJsonDocument::fromJson(file.readAll())
                                .object()["users"].toObject()[m_server.user].toObject()["mailboxes"]
                                .toObject()[kMailbox].toObject();
    const QList<TestServer::ExpectedMessage> corpus = m_server.corpus(m_server.user, kMailbox);
    const QJsonArray searches = box["searches"].toArray();
    QVERIFY(searches.size() >= 10);
    for (const QJsonValue &search : searches) {
        QStringList subjects;
        for (const QJsonValue &seq : search["matches"].toArray())
            subjects << corpus.at(seq.toInt() - 1).subject;
        subjects.sort();
        const QString query = search["query"].toString();
        QTest::newRow(query.toUtf8().constData()) << query << subjects;
    }
}

void TestMatching::findsWhatTheManifestSays()
{
    QFETCH(QString, query);
    QFETCH(QStringList, subjects);
    const ImapSessionPtr session = connectedSession(m_server.user, m_server.password);
    const MailSearchOutcome found = session->SearchMailbox(kMailbox, query);
    QVERIFY2(found.kind == MailSearchOutcome::Kind::Found, qPrintable(found.text));
    QVERIFY(!found.gmailSearch);
    QCOMPARE(found.count, subjects.size());
    QStringList downloaded;
    connect(session.get(), &clsImapSession::messageArrived, this, [&](const MessageEntry &entry, qint32) {
        downloaded << entry.Subject;
    });
    session->StartSearchExtraction(kMailbox);
    downloaded.sort();
    QCOMPARE(downloaded, subjects);
    QCOMPARE(session->failedFetches(), 0);
    QCOMPARE(session->MaxRecord, subjects.size());
    QVERIFY2(m_dialogs->shown.isEmpty(), qPrintable(m_dialogs->messageTexts().join('|')));
}

QTEST_MAIN(TestMatching)
#include "tst_matching.moc"
