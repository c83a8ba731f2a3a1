// "Get Emails Matching..." against a scripted server that offers Gmail's search: the exact
// UID SEARCH and UID FETCH lines sent, and only the messages found in the list.

#include "ModalWindows.h"
#include "ScriptedImapServer.h"
#include "app/Form1.h"
#include "core/AppGlobals.h"
#include "core/ProgramFolder.h"
#include "core/SettingsStore.h"
#include "list/MessageListView.h"
#include "mail/Form2.h"
#include "mail/MatchingEmailsWindow.h"
#include "platform/EventLoop.h"
#include "platform/ScriptedDialogs.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <atomic>

namespace {

constexpr int kMessages = 6;

// Message n has UID 100 + 7n, so that numbers and UIDs never agree.
qint64 uidOf(int number) { return 100 + 7 * number; }

QByteArray message(int number)
{
    return QStringLiteral("From: S%1 <s%1@example.com>\r\nSubject: Message %1\r\nDate: Wed, 1 Sep 2021 15:0%1:00 +0200\r\n\r\nBody\r\n")
        .arg(number).toUtf8();
}

// Answers the one search it expects (its arguments exactly as received) with the UIDs of the
// given messages, any other as Gmail answers a search it cannot parse; UID FETCH by UID.
ScriptedImapServer::Handler gmailUidCommands(const QByteArray &expected, const QList<int> &found)
{
    return [=](ScriptedImapSession &session, const QByteArray &tag, const QByteArray &arguments) {
        if (arguments.startsWith("SEARCH ")) {
            QByteArray line = "* SEARCH";
            for (int number : found)
                line += ' ' + QByteArray::number(uidOf(number));
            session.send(arguments.mid(7) == expected ? line + "\r\n" + tag + " OK SEARCH completed (Success)\r\n"
                                                      : tag + " BAD Could not parse command\r\n");
            return;
        }
        const qint64 uid = arguments.split(' ').value(1).toLongLong();
        const int number = int((uid - 100) / 7);
        const QByteArray body = session.server().message(number);
        if (uidOf(number) != uid || body.isEmpty())
            return session.send(tag + " BAD Unexpected\r\n");
        session.send("* " + QByteArray::number(number) + " FETCH (UID " + QByteArray::number(uid) + " RFC822.SIZE "
                     + QByteArray::number(body.size()) + " BODY[] {" + QByteArray::number(body.size()) + "}\r\n"
                     + body + ")\r\n" + tag + " OK Success\r\n");
    };
}

}  // namespace

class TestMatchingGmail : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void fetchesExactlyTheMessagesFound_data();
    void fetchesExactlyTheMessagesFound();
    void emptyResultKeepsTheList();
    void stopEndsTheDownloadOfWhatWasFound();
    void searchesThatFetchNothingSayWhy_data();
    void searchesThatFetchNothingSayWhy();

private:
    std::unique_ptr<Form1> connectedForm();
    QList<QByteArray> uidCommandsSince(qsizetype before) const;
    // "2b", "Get Emails Matching...", the query and Continue; Continue again (the download)
    // when a count shows, Cancel otherwise. Answers the count text.
    QString searchFromTheWindow(Form1 &form, const QString &query);

    ScriptedImapServer m_server;
    QTemporaryDir m_programDir;
    std::unique_ptr<platform::ScriptedDialogs> m_dialogs;
};

void TestMatchingGmail::initTestCase()
{
    QString error;
    QVERIFY2(m_server.start(&error), qPrintable(error));
    qputenv("QUORVALE_IMAP_HOST", m_server.host().toUtf8());
    qputenv("QUORVALE_IMAP_PORT", QByteArray::number(m_server.port()));
    qputenv("QUORVALE_IMAP_CAFILE", m_server.caFile().toUtf8());
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    setProgramFolder(m_programDir.path());
    Form1::setUnloadAction([] {});
    QList<QByteArray> messages;
    for (int n = 1; n <= kMessages; ++n)
        messages << message(n);
    m_server.setMessages(messages);
    m_server.on("CAPABILITY", [](ScriptedImapSession &session, const QByteArray &tag, const QByteArray &) {
        session.send("* CAPABILITY IMAP4rev1 IDLE ID X-GM-EXT-1 UIDPLUS\r\n" + tag + " OK Thats all she wrote!\r\n");
    });
}

void TestMatchingGmail::init()
{
    QFile::remove(settingsFilePath());
    globals() = AppGlobals();
    m_dialogs = std::make_unique<platform::ScriptedDialogs>();
}

std::unique_ptr<Form1> TestMatchingGmail::connectedForm()
{
    auto form = std::make_unique<Form1>();
    form->Form_Load();
    form->Text1->setText("user");
    form->Text2->setText("secret");
    form->PushButton3->click();
    m_dialogs->clear();
    return form;
}

QList<QByteArray> TestMatchingGmail::uidCommandsSince(qsizetype before) const
{
    QList<QByteArray> sent;
    for (const QByteArray &command : m_server.commandsReceived().mid(before)) {
        if (QRegularExpression("^(UID|FETCH|STORE|SELECT) ").match(QString::fromLatin1(command)).hasMatch())
            sent << command;
    }
    return sent;
}

QString TestMatchingGmail::searchFromTheWindow(Form1 &form, const QString &query)
{
    QString count;
    whenOpen<Form2>([&](Form2 *range) {
        whenOpen<MatchingEmailsWindow>([&](MatchingEmailsWindow *window) {
            window->TextQuery->setText(query);
            window->PushButtonContinue->click();
            count = window->LabelCount->text();
            (count.contains("Click Continue") ? window->PushButtonContinue : window->PushButtonCancel)->click();
        });
        range->PushButtonMatching->click();
    });
    form.PushButton10->click();
    return count;
}

void TestMatchingGmail::fetchesExactlyTheMessagesFound_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QByteArray>("searchLine");
    QTest::addColumn<QList<int>>("found");
    QTest::newRow("quoted") << "from:bank has:attachment"
                            << QByteArray("UID SEARCH X-GM-RAW \"from:bank has:attachment\"") << QList<int>{1, 3, 6};
    QTest::newRow("quote and backslash escaped") << R"(subject:"a \ b" -is:unread)"
                                                 << QByteArray(R"(UID SEARCH X-GM-RAW "subject:\"a \\ b\" -is:unread")")
                                                 << QList<int>{4};
    QTest::newRow("non-ASCII as a UTF-8 literal") << QString::fromUtf8("Prüfung")
                                                  << QByteArray("UID SEARCH CHARSET UTF-8 X-GM-RAW {8}\r\nPr\xc3\xbc""fung")
                                                  << QList<int>{2, 5};
}

void TestMatchingGmail::fetchesExactlyTheMessagesFound()
{
    QFETCH(QString, query);
    QFETCH(QByteArray, searchLine);
    QFETCH(QList<int>, found);
    m_server.on("UID", gmailUidCommands(searchLine.mid(4 + 7), found));
    auto form = connectedForm();
    const qsizetype before = m_server.commandsReceived().size();
    const QString count = searchFromTheWindow(*form, query);
    QVERIFY2(count.startsWith(QString::number(found.size()) + " email") && count.contains("(Gmail search)"),
             qPrintable(count));
    QList<QByteArray> expected{searchLine};
    QStringList subjects, wanted;
    for (int number : found) {
        expected << "UID FETCH " + QByteArray::number(uidOf(number)) + " (UID RFC822.SIZE INTERNALDATE BODY.PEEK[])";
        wanted << QStringLiteral("Message %1").arg(number);
    }
    QCOMPARE(uidCommandsSince(before), expected);
    for (int row = 0; row < form->ListView1->topLevelItemCount(); ++row)
        subjects << form->ListView1->topLevelItem(row)->text(3);
    subjects.sort();
    QCOMPARE(subjects, wanted);
    QCOMPARE(form->Label1->text(), QStringLiteral("Total Number Of Emails: %1").arg(found.size()));
    QCOMPARE(m_dialogs->messageTexts(), QStringList{"Done."});
}

void TestMatchingGmail::emptyResultKeepsTheList()
{
    m_server.on("UID", gmailUidCommands("X-GM-RAW \"nothing\"", {}));
    auto form = connectedForm();
    form->PushButton2->click();
    QCOMPARE(form->ListView1->topLevelItemCount(), kMessages);
    m_dialogs->clear();
    const qsizetype before = m_server.commandsReceived().size();
    QCOMPARE(searchFromTheWindow(*form, "nothing"), QStringLiteral("No emails match this search; the list stays as it was."));
    QCOMPARE(uidCommandsSince(before), QList<QByteArray>{"UID SEARCH X-GM-RAW \"nothing\""});
    QCOMPARE(form->ListView1->topLevelItemCount(), kMessages);
    QVERIFY2(m_dialogs->messageTexts().isEmpty(), qPrintable(m_dialogs->messageTexts().join('|')));
}

void TestMatchingGmail::stopEndsTheDownloadOfWhatWasFound()
{
    m_server.on("UID", gmailUidCommands("X-GM-RAW \"all\"", {1, 2, 3, 4, 5, 6}));
    auto form = connectedForm();
    platform::setEventLoopTurn([&] {
        QCoreApplication::processEvents();
        if (form->ListView1->topLevelItemCount() == 2 && form->PushButton2->text() == "Stop")
            form->PushButton2->click();
    });
    searchFromTheWindow(*form, "all");
    platform::setEventLoopTurn(nullptr);
    QCOMPARE(form->ListView1->topLevelItemCount(), 2);
    QCOMPARE(m_dialogs->messageTexts(), QStringList{"Done."});
}

void TestMatchingGmail::searchesThatFetchNothingSayWhy_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<bool>("renumbered");  // the folder gets a new UIDVALIDITY after the search
    QTest::addColumn<QString>("box");
    QTest::newRow("refused by the server") << "a OR (b" << false << "Could not parse command";
    QTest::newRow("folder renumbered after the search") << "all" << true << "renumbered";
}

void TestMatchingGmail::searchesThatFetchNothingSayWhy()
{
    QFETCH(QString, query);
    QFETCH(bool, renumbered);
    QFETCH(QString, box);
    std::atomic<bool> searched{false};
    m_server.on("EXAMINE", [&](ScriptedImapSession &session, const QByteArray &tag, const QByteArray &) {
        session.send("* " + QByteArray::number(kMessages) + " EXISTS\r\n* OK [UIDVALIDITY "
                     + QByteArray(renumbered && searched ? "8" : "7") + "] UIDs valid\r\n" + tag + " OK [READ-ONLY] done\r\n");
    });
    const auto answer = gmailUidCommands("X-GM-RAW \"all\"", {1, 2});
    m_server.on("UID", [&](ScriptedImapSession &session, const QByteArray &tag, const QByteArray &arguments) {
        answer(session, tag, arguments);
        searched = true;
    });
    auto form = connectedForm();
    const qsizetype before = m_server.commandsReceived().size();
    searchFromTheWindow(*form, query);
    m_server.on("EXAMINE", nullptr);
    QCOMPARE(uidCommandsSince(before).size(), 1);  // the search alone
    QCOMPARE(form->ListView1->topLevelItemCount(), 0);
    QCOMPARE(m_dialogs->messageTexts().size(), 1);
    QVERIFY2(m_dialogs->messageTexts().first().contains(box), qPrintable(m_dialogs->messageTexts().first()));
}

QTEST_MAIN(TestMatchingGmail)
#include "tst_matching_gmail.moc"
