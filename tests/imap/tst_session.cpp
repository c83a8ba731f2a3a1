// The session object against the real test server: connect and login, the failure box, the
// mailbox count, the folder listing and the download loop with its events, progress, Stop and
// error-log records.

#include "TestFiles.h"
#include "TestServer.h"
#include "core/AppGlobals.h"
#include "GeneralDateReading.h"
#include "core/MessageBox.h"
#include "core/ProgramFolder.h"
#include "imap/ImapClient.h"
#include "mail/clsImapSession.h"
#include "platform/ScriptedDialogs.h"
#include "platform/Shell.h"

#include <QFile>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Listed {
    QString from, fromName, fromAddress, subject, receivedDate, plain, html;
    qint32 uid;
    QDateTime when;
    QStringList pictureIds;
};

}  // namespace

class TestSession : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void connectsAndLogsIn();
    void wrongPasswordShowsTheOneFailureBox();
    void yesOpensBothPictures();
    void unreachablePortFailsLikeALogin();
    void countsMessagesAndRefusesUnknownMailboxes();
    void listsSpecialFoldersAndLabels();
    void downloadRaisesOneEventPerMessageInOrder();
    void numbersOutsideTheMailboxRaiseNothing();
    void aFolderGoneAtDownloadLeavesTheConnectionWorking();
    void stopDuringSecondFetchEndsTheLoop();
    void abortChecksAnswerMinusOneAfterStop();
    void droppingTheLastOutsideReferenceDuringADownloadIsSafe();
    void twoDownloadsOfTenLeaveTwentyRecords();

private:
    ImapSessionPtr makeSession(const QString &user, const QString &password);
    QList<Listed> download(const ImapSessionPtr &session, const QString &mailbox, int first, int last);

    TestServer m_server;
    ImapClient *m_client = nullptr;
    QTemporaryDir m_programDir;
    std::unique_ptr<platform::ScriptedDialogs> m_dialogs;
};

void TestSession::initTestCase()
{
    m_server = TestServer::fromFixture();
    m_server.applyToEnvironment();
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

void TestSession::init()
{
    m_client = new ImapClient(this);
    m_dialogs = std::make_unique<platform::ScriptedDialogs>();
    QFile::remove(m_programDir.filePath("errorlog.txt"));
    setProgramFolder(m_programDir.path());
    globals() = AppGlobals();
}

void TestSession::cleanup()
{
    m_dialogs.reset();
    delete m_client;
    m_client = nullptr;
}

ImapSessionPtr TestSession::makeSession(const QString &user, const QString &password)
{
    ImapSessionPtr session = clsImapSession::create();
    session->ImapObject = m_client;
    session->SSL = true;
    session->PORT = m_server.port;
    session->IMAPServer = m_server.host;
    session->Username = user;
    session->Password = password;
    return session;
}

QList<Listed> TestSession::download(const ImapSessionPtr &session, const QString &mailbox,
                                    int first, int last)
{
    QList<Listed> listed;
    connect(session.get(), &clsImapSession::messageArrived, this,
            [&](const MessageEntry &e, qint32 uid) {
                QStringList ids;
                for (const InlinePicture &picture : e.InlinePictures)
                    ids << picture.contentId;
                listed << Listed{e.From, e.FromName, e.FromAddress, e.Subject, e.ReceivedDate,
                                 e.PlainTextBody, e.HTMLTextBody, uid, e.ReceivedDateTime, ids};
            });
    session->CurrentLocation = first;
    session->MaxRecord = last;
    session->StartMailExtraction(mailbox);
    return listed;
}

void TestSession::connectsAndLogsIn()
{
    const ImapSessionPtr session = makeSession(m_server.user, m_server.password);
    QVERIFY(session->Connect());
    QVERIFY(m_dialogs->shown.isEmpty());
    // A second connect on the same client replaces the first connection.
    QVERIFY(session->Connect());
    QVERIFY(m_dialogs->shown.isEmpty());
}

void TestSession::wrongPasswordShowsTheOneFailureBox()
{
    const QString wrong = QStringLiteral("not-the-password-%1").arg(42);
    m_dialogs->answers.enqueue(platform::BoxAnswer::No);
    platform::RecordingShell shell;
    const ImapSessionPtr session = makeSession(m_server.user, wrong);
    QVERIFY(!session->Connect());
    QCOMPARE(m_dialogs->shown.size(), 1);
    const auto box = m_dialogs->shown.first().request;
    QCOMPARE(box.text,
             QStringLiteral("Invalid login. Please double-check your username and password.\r\n\r\n"
                            "In addition, please check your Gmail Inbox for a message from Google about Less Secure Apps.\r\n\r\n"
                            "Would you like to see a screenshot/picture of the Less Secure Apps email so you know exactly what I'm talking about?"));
    QCOMPARE(box.buttons, platform::BoxButtons::YesNo);
    QCOMPARE(box.icon, platform::BoxIcon::None);
    QCOMPARE(box.title, applicationTitle());
    // The reason is offered behind the box, never with the password in it.
    QVERIFY(!box.detailedText.isEmpty());
    QVERIFY(!box.detailedText.contains(wrong));
    QVERIFY(shell.opened.isEmpty());
}

void TestSession::yesOpensBothPictures()
{
    platform::RecordingShell shell;
    m_dialogs->answers.enqueue(platform::BoxAnswer::Yes);
    const ImapSessionPtr session = makeSession(m_server.user, QStringLiteral("wrong"));
    QVERIFY(!session->Connect());
    QCOMPARE(shell.opened,
             (QStringList{m_programDir.path() + "/Pictures/less-secure-apps1.jpg",
                          m_programDir.path() + "/Pictures/less-secure-apps2.jpg"}));
}

void TestSession::unreachablePortFailsLikeALogin()
{
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    const quint16 closed = probe.serverPort();
    probe.close();
    const ImapSessionPtr session = makeSession(m_server.user, m_server.password);
    session->PORT = closed;
    QVERIFY(!session->Connect());
    QCOMPARE(m_dialogs->shown.size(), 1);
    QVERIFY(m_dialogs->messageTexts().first().startsWith("Invalid login."));
}

void TestSession::countsMessagesAndRefusesUnknownMailboxes()
{
    const ImapSessionPtr session = makeSession(m_server.user, m_server.password);
    QVERIFY(session->Connect());
    QCOMPARE(session->GetTotalMessage(QStringLiteral("INBOX")),
             m_server.corpus(m_server.user, "INBOX").size());
    QCOMPARE(session->GetTotalMessage(QStringLiteral("Reçus")),
             m_server.corpus(m_server.user, "Reçus").size());
    QVERIFY(m_dialogs->shown.isEmpty());
    QCOMPARE(session->GetTotalMessage(QStringLiteral("No Such Label")), 0);
    QCOMPARE(m_dialogs->shown.size(), 1);
    QVERIFY(m_dialogs->messageTexts().first().startsWith("Invalid login."));
}

void TestSession::listsSpecialFoldersAndLabels()
{
    const ImapSessionPtr session = makeSession(m_server.user, m_server.password);
    QVERIFY(session->Connect());
    const QStringList names = session->EnumMailFolders();
    QVERIFY(names.contains("INBOX"));
    // The seven special folders in the order the server listed them.
    QStringList expected{QString()};
    for (const QString &name : names) {
        if (name.startsWith("[Gmail]/"))
            expected << name.mid(8);
    }
    QCOMPARE(expected.size(), 8);
    QCOMPARE(globals().GmailFolderNames, expected);
    QVERIFY(globals().LabelNames.contains("Reçus"));
    QVERIFY(globals().LabelNames.contains("Work"));
    QVERIFY(globals().LabelNames.contains("Family/Kids"));
    QVERIFY(!globals().LabelNames.contains("INBOX"));
}

void TestSession::downloadRaisesOneEventPerMessageInOrder()
{
    const auto corpus = m_server.corpus(m_server.user, "INBOX");
    QVERIFY(corpus.size() >= 10);
    const ImapSessionPtr session = makeSession(m_server.user, m_server.password);
    QList<qint32> progress;
    connect(session.get(), &clsImapSession::ScrapProgress, this,
            [&](qint32 &percent) { progress << percent; });
    const QList<Listed> listed = download(session, "INBOX", 1, corpus.size());
    QCOMPARE(listed.size(), corpus.size());
    for (int i = 0; i < listed.size(); ++i) {
        const auto &got = listed[i];
        const auto &want = corpus[i];
        QCOMPARE(got.uid, i + 1);
        QCOMPARE(got.subject, want.subject);
        QCOMPARE(got.fromAddress, want.fromAddress);
        QCOMPARE(got.fromName, want.fromName);
        // The date text is the locale's general date and reads back to the message's date.
        const auto back = parseGeneralDate(got.receivedDate);
        QVERIFY2(back.has_value(), qPrintable(got.receivedDate));
        QCOMPARE(back->toSecsSinceEpoch(), want.date.toSecsSinceEpoch());
        QCOMPARE(got.when.toSecsSinceEpoch(), want.date.toSecsSinceEpoch());
        if (want.shape == QLatin1String("inline_image"))
            QCOMPARE(got.pictureIds, QStringList{QStringLiteral("lighthouse@photos.example")});
        if (want.hasPlain)
            QVERIFY2(got.plain.contains(want.plainSnippet), qPrintable(want.shape));
        if (want.hasHtml)
            QVERIFY2(got.html.contains(want.htmlSnippet), qPrintable(want.shape));
    }
    QVERIFY(!progress.isEmpty());
    QVERIFY(progress.contains(100));
    for (qint32 p : progress)
        QVERIFY(p >= 0 && p <= 100);
    QCOMPARE(errorLogRecords(m_programDir.path()), corpus.size());
}

void TestSession::numbersOutsideTheMailboxRaiseNothing()
{
    const int size = m_server.corpus(m_server.user, "Work").size();
    const ImapSessionPtr session = makeSession(m_server.user, m_server.password);
    const QList<Listed> listed = download(session, "Work", 0, size + 2);
    QCOMPARE(listed.size(), size);
    QCOMPARE(listed.first().uid, 1);
    QCOMPARE(listed.last().uid, size);
    QCOMPARE(errorLogRecords(m_programDir.path()), size + 3);
    // First greater than last: nothing at all.
    QCOMPARE(download(makeSession(m_server.user, m_server.password), "Work", 3, 2).size(), 0);
}

// The download's fetches go out with its EXAMINE. When the folder is gone by then, the server
// refuses each of them: the connection must still serve the next count and download.
void TestSession::aFolderGoneAtDownloadLeavesTheConnectionWorking()
{
    const auto corpus = m_server.corpus(m_server.user, "INBOX");
    const ImapSessionPtr session = makeSession(m_server.user, m_server.password);
    QCOMPARE(download(session, "No Such Label", 1, corpus.size()).size(), 0);
    QCOMPARE(m_dialogs->shown.size(), 1);
    // A new session borrows the same client and so the same connection.
    const ImapSessionPtr next = makeSession(m_server.user, m_server.password);
    QCOMPARE(next->GetTotalMessage(QStringLiteral("INBOX")), corpus.size());
    QCOMPARE(download(next, "INBOX", 1, corpus.size()).size(), corpus.size());
    QCOMPARE(m_dialogs->shown.size(), 1);
}

void TestSession::stopDuringSecondFetchEndsTheLoop()
{
    const ImapSessionPtr session = makeSession(m_server.user, m_server.password);
    connect(session.get(), &clsImapSession::ScrapProgress, this, [&](qint32 &) {
        if (session->CurrentLocation == 2)
            session->AbortProcess = true;
    });
    const QList<Listed> listed = download(session, "INBOX", 1, 10);
    QCOMPARE(listed.size(), 1);
    QCOMPARE(listed.first().uid, 1);
    QCOMPARE(errorLogRecords(m_programDir.path()), 2);
}

void TestSession::abortChecksAnswerMinusOneAfterStop()
{
    const ImapSessionPtr session = makeSession(m_server.user, m_server.password);
    QVERIFY(session->Connect());
    qint32 abort = 7;
    emit m_client->abortCheck(abort);
    QCOMPARE(abort, 0);
    session->AbortProcess = true;
    for (int i = 0; i < 3; ++i) {
        abort = 0;
        emit m_client->abortCheck(abort);
        QCOMPARE(abort, -1);
    }
}

void TestSession::droppingTheLastOutsideReferenceDuringADownloadIsSafe()
{
    ImapSessionPtr session = makeSession(m_server.user, m_server.password);
    std::weak_ptr<clsImapSession> watch = session;
    int events = 0;
    connect(session.get(), &clsImapSession::messageArrived, this,
            [&](const MessageEntry &, qint32) {
                ++events;
                session.reset();  // what Stop does to the main window's reference
            });
    clsImapSession *raw = session.get();
    raw->CurrentLocation = 1;
    raw->MaxRecord = 5;
    raw->StartMailExtraction("INBOX");
    QCOMPARE(events, 5);
    QVERIFY(watch.expired());
}

void TestSession::twoDownloadsOfTenLeaveTwentyRecords()
{
    download(makeSession(m_server.user, m_server.password), "INBOX", 1, 10);
    download(makeSession(m_server.user, m_server.password), "INBOX", 1, 10);
    QCOMPARE(errorLogRecords(m_programDir.path()), 20);
}

QTEST_MAIN(TestSession)
#include "tst_session.moc"
