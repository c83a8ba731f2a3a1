// The main window against the real test server: connect and disconnect, "Get All", "Get Some"
// with the range dialog, Stop, the character and label filters, and the list they fill.

#include "TestFiles.h"
#include "WindowTests.h"
#include "TestServer.h"
#include "app/Form1.h"
#include "app/MessageFilters.h"
#include "app/StatusProgressBar.h"
#include "core/AppGlobals.h"
#include "core/ProgramFolder.h"
#include "core/SettingsStore.h"
#include "list/MessageList.h"
#include "list/MessageListView.h"
#include "mail/Form2.h"
#include "imap/ImapClient.h"
#include "platform/EventLoop.h"
#include "platform/ScriptedDialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace {

// Answers the range dialog as soon as it is open: fills in the numbers and clicks "Continue",
// or closes it when `first` is empty.
void answerRangeDialog(const QString &first, const QString &last)
{
    auto *timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, first, last] {
        auto *dialog = qobject_cast<Form2 *>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        if (first.isEmpty()) {
            dialog->close();
            return;
        }
        dialog->Text1_0->setText(first);
        dialog->Text1_1->setText(last);
        dialog->PushButton1->click();
    });
    timer->start();
}

}  // namespace

class TestForm1Download : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void connectShowsListedFoldersAndSavedFilters();
    void wrongPasswordEndsDisconnected();
    void disconnectKeepsCredentialsOnlyWithRememberMe();
    void downloadsNeedAConnection();
    void getAllFillsTheListNewestFirst();
    void getAllOfAnEmptyMailboxSaysSo();
    void getAllOnTheConnectsSessionKeepsAnEarlierSkip();
    void getSomeFetchesTheChosenRange();
    void closingTheRangeDialogKeepsTheRows();
    void stopLeavesTheRowsSoFar();
    void stopBeforeTheLoopEndsQuietly();
    void runWhoseConnectionWasReplacedEndsQuietly();
    void characterFilterDecidesWhichMessagesAreListed();
    void labelFilterChoosesTheMailbox();
    void selectionToolsWorkOnDownloadedRows();
    void connectedStateDecidesWhatTheButtonsDo_data();
    void connectedStateDecidesWhatTheButtonsDo();

private:
    std::unique_ptr<Form1> connectedForm(const QString &user, const QString &password);
    QStringList listedGmailFolders();

    TestServer m_server;
    QTemporaryDir m_programDir;
    std::unique_ptr<platform::ScriptedDialogs> m_dialogs;
};

void TestForm1Download::initTestCase()
{
    m_server = TestServer::fromFixture();
    m_server.applyToEnvironment();
    prepareWindowTests(m_programDir.path());
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

void TestForm1Download::init()
{
    QFile::remove(settingsFilePath());
    QFile::remove(m_programDir.filePath("errorlog.txt"));
    globals() = AppGlobals();
    m_dialogs = std::make_unique<platform::ScriptedDialogs>();
}

void TestForm1Download::cleanup()
{
    platform::setEventLoopTurn(nullptr);
    m_dialogs.reset();
}

std::unique_ptr<Form1> TestForm1Download::connectedForm(const QString &user, const QString &password)
{
    auto form = std::make_unique<Form1>();
    form->Form_Load();
    m_dialogs->clear();  // whether this machine may ping is not what these tests are about
    form->show();
    form->Text1->setText(user);
    form->Text2->setText(password);
    form->PushButton3->click();
    return form;
}

QStringList TestForm1Download::listedGmailFolders()
{
    ImapClient client;
    client.setSsl(true);
    client.setPort(m_server.port);
    if (client.connectToServer(m_server.host) != 1 || client.login(m_server.user, m_server.password) != 1)
        return {};
    QStringList names;
    for (const MailboxInfo &mailbox : client.listMailboxes(QString(), "*").value_or(QList<MailboxInfo>())) {
        if (mailbox.name.startsWith("[Gmail]/"))
            names << mailbox.name.mid(8);
    }
    client.disconnect();
    return names;
}

void TestForm1Download::connectShowsListedFoldersAndSavedFilters()
{
    saveSetting("CharactersFilter", "abc");
    saveSetting("LabelFilter", "Work");
    auto form = connectedForm(m_server.user, m_server.password);
    QVERIFY2(m_dialogs->shown.isEmpty(), qPrintable(m_dialogs->messageTexts().join("|")));
    QCOMPARE(form->PushButton3->text(), QStringLiteral("Disconnect"));
    QCOMPARE(form->ProgressBar1->statusText(), QStringLiteral("Connected to Gmail."));
    const QStringList listed = listedGmailFolders();
    QCOMPARE(listed.size(), 7);
    for (int i = 0; i < 7; ++i)
        QCOMPARE(form->folderOptions[i + 1]->text(), listed[i]);
    QCOMPARE(form->folderOptions[0]->text(), QStringLiteral("Inbox"));
    QVERIFY(globals().LabelNames.contains("Reçus"));
    QCOMPARE(form->Label3->text(), QStringLiteral("Character Filter: abc"));
    QCOMPARE(form->Label4->text(), QStringLiteral("Label Filter: Work"));
    QVERIFY(!form->isBusy());

    form->PushButton3->click();
    QCOMPARE(form->PushButton3->text(), QStringLiteral("1. Connect"));
    QCOMPARE(form->ProgressBar1->statusText(), QStringLiteral("Disconnected from Gmail."));
    QCOMPARE(form->Label3->text(), QStringLiteral("No Character Filter set"));
    QCOMPARE(form->Label4->text(), QStringLiteral("No Label Filter set"));
    const QStringList fixed = {"All Mail", "Drafts", "Sent Mail", "Spam", "Starred", "Trash", "Important"};
    for (int i = 0; i < 7; ++i)
        QCOMPARE(form->folderOptions[i + 1]->text(), fixed[i]);
    QVERIFY(!form->session());
}

void TestForm1Download::wrongPasswordEndsDisconnected()
{
    m_dialogs->answers.enqueue(platform::BoxAnswer::No);
    auto form = connectedForm(m_server.user, "wrong password");
    QCOMPARE(m_dialogs->shown.size(), 1);
    QVERIFY(m_dialogs->messageTexts().first().startsWith("Invalid login."));
    QCOMPARE(form->ProgressBar1->statusText(), QStringLiteral("Disconnected from Gmail."));
    QCOMPARE(form->PushButton3->text(), QStringLiteral("1. Connect"));
    QCOMPARE(form->ListView1->topLevelItemCount(), 0);
    QVERIFY(!form->session());
}

void TestForm1Download::disconnectKeepsCredentialsOnlyWithRememberMe()
{
    auto form = connectedForm(m_server.user, m_server.password);
    QCOMPARE(getSetting("User"), m_server.user);
    form->PushButton3->click();
    QVERIFY(form->Text1->text().isEmpty());
    QVERIFY(form->Text2->text().isEmpty());
    QCOMPARE(getSetting("User", "missing"), QString());

    form->Check1->setChecked(true);
    form->Text1->setText(m_server.user);
    form->Text2->setText(m_server.password);
    form->PushButton3->click();
    QCOMPARE(form->PushButton3->text(), QStringLiteral("Disconnect"));
    form->PushButton3->click();
    QCOMPARE(form->Text1->text(), m_server.user);
    QCOMPARE(form->Text2->text(), m_server.password);
    QCOMPARE(getSetting("User"), m_server.user);
    QVERIFY(form->Check1->isChecked());
}

void TestForm1Download::downloadsNeedAConnection()
{
    auto form = std::make_unique<Form1>();
    form->Form_Load();
    m_dialogs->clear();
    form->PushButton2->click();
    form->PushButton10->click();
    QCOMPARE(m_dialogs->messageTexts(),
             (QStringList{"Please connect first (Step 1) before using this feature.",
                          "Please connect first (Step 1) before using this feature."}));
}

void TestForm1Download::getAllFillsTheListNewestFirst()
{
    const auto corpus = m_server.corpus(m_server.user, "INBOX");
    auto form = connectedForm(m_server.user, m_server.password);
    QStringList statuses;
    platform::setEventLoopTurn([&] {
        QCoreApplication::processEvents();
        if (statuses.isEmpty() || statuses.last() != form->ProgressBar1->statusText())
            statuses << form->ProgressBar1->statusText();
    });
    form->PushButton2->click();
    platform::setEventLoopTurn(nullptr);
    QCOMPARE(m_dialogs->messageTexts(), QStringList{"Done."});
    QVERIFY2(statuses.contains(QStringLiteral("Reading mail 1 of %1").arg(corpus.size())), qPrintable(statuses.join("|")));
    QVERIFY(statuses.contains(QStringLiteral("Reading mail %1 of %1").arg(corpus.size())));
    QTreeWidget *list = form->ListView1;
    QCOMPARE(list->topLevelItemCount(), corpus.size());
    QCOMPARE(form->Label1->text(), QStringLiteral("Total Number Of Emails: %1").arg(corpus.size()));
    QCOMPARE(form->Label2->text(), QStringLiteral("Selected Emails: 0"));
    QCOMPARE(form->PushButton2->text(), QStringLiteral("2a. Get All Emails"));
    QVERIFY(form->PushButton10->isVisible());
    QCOMPARE(form->ProgressBar1->statusText(), QStringLiteral("Progress Bar"));
    QVERIFY(!form->session());
    QVERIFY(!form->isBusy());
    QCOMPARE(errorLogRecords(m_programDir.path()), corpus.size());

    // Newest first, and every row still reaches the message it shows.
    QString previous = QStringLiteral("99999");
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *row = list->topLevelItem(i);
        const QString day = row->text(5);
        QVERIFY2(day.isEmpty() || day <= previous, qPrintable(day));
        if (!day.isEmpty())
            previous = day;
        const MessageEntry &entry = form->messageEntries().at(entryNumberOf(row));
        QCOMPARE(row->text(3), entry.Subject);
        QCOMPARE(row->text(0), entry.From);
    }
    // The three messages of 31 August 23:00 and 1 September 09:00 and 15:00 (+02:00).
    const auto sep1Late = m_server.message(m_server.user, "INBOX", "sort_sep1_1500");
    const QTreeWidgetItem *late = nullptr;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        if (form->messageEntries().at(entryNumberOf(list->topLevelItem(i))).Subject == sep1Late.subject)
            late = list->topLevelItem(i);
    }
    QVERIFY(late);
    QVERIFY(!late->text(5).isEmpty());

    // Ticking the top row selects exactly the message it shows.
    list->topLevelItem(0)->setCheckState(0, Qt::Checked);
    QCOMPARE(checkedEntryNumbers(list), QList<int>{entryNumberOf(list->topLevelItem(0))});
}

void TestForm1Download::getAllOfAnEmptyMailboxSaysSo()
{
    auto form = connectedForm(m_server.emptyUser, m_server.emptyPassword);
    appendMessageRow(form->ListView1, MessageEntry{"left over"});
    form->PushButton2->click();
    QCOMPARE(m_dialogs->messageTexts(), QStringList{"There are no emails in the Folder you selected."});
    QCOMPARE(form->ListView1->topLevelItemCount(), 0);
    QCOMPARE(form->Label1->text(), QStringLiteral("Total Number Of Emails: 0"));
}

void TestForm1Download::getAllOnTheConnectsSessionKeepsAnEarlierSkip()
{
    auto form = connectedForm(m_server.user, m_server.password);
    answerRangeDialog("1", "1");
    form->PushButton10->click();
    form->Check1->setChecked(true);  // keeps the credentials over the disconnect
    form->PushButton3->click();
    form->PushButton3->click();
    QCOMPARE(form->PushButton3->text(), QStringLiteral("Disconnect"));
    form->PushButton2->click();
    QVERIFY(form->ListView1->topLevelItemCount() > 1);
    QVERIFY(!m_dialogs->messageTexts().contains("Done."));
    // The next run makes its own session and clears the skip.
    form->PushButton2->click();
    QCOMPARE(m_dialogs->messageTexts(), QStringList{"Done."});
}

void TestForm1Download::getSomeFetchesTheChosenRange()
{
    auto form = connectedForm(m_server.user, m_server.password);
    answerRangeDialog("3", "5");
    form->PushButton10->click();
    QVERIFY2(m_dialogs->shown.isEmpty(), qPrintable(m_dialogs->messageTexts().join("|")));
    QCOMPARE(form->ListView1->topLevelItemCount(), 3);
    QCOMPARE(form->messageEntries().last(), 3);  // the messages obtained, not the range
    QCOMPARE(errorLogRecords(m_programDir.path()), 3);
    QCOMPARE(form->Label1->text(), QStringLiteral("Total Number Of Emails: 3"));
    const auto corpus = m_server.corpus(m_server.user, "INBOX");
    QStringList subjects;
    for (int i = 0; i < 3; ++i)
        subjects << form->ListView1->topLevelItem(i)->text(3);
    for (int seq = 3; seq <= 5; ++seq)
        QVERIFY(subjects.contains(corpus[seq - 1].subject));
    QCOMPARE(form->PushButton2->text(), QStringLiteral("2a. Get All Emails"));
}

void TestForm1Download::closingTheRangeDialogKeepsTheRows()
{
    auto form = connectedForm(m_server.user, m_server.password);
    answerRangeDialog("1", "2");
    form->PushButton10->click();
    QCOMPARE(form->ListView1->topLevelItemCount(), 2);
    answerRangeDialog(QString(), QString());
    form->PushButton10->click();
    QCOMPARE(form->ListView1->topLevelItemCount(), 2);
    QVERIFY(m_dialogs->shown.isEmpty());
    QCOMPARE(errorLogRecords(m_programDir.path()), 2);
    QVERIFY(!form->isBusy());
}

void TestForm1Download::stopLeavesTheRowsSoFar()
{
    auto form = connectedForm(m_server.user, m_server.password);
    bool stopped = false;
    bool idleAtOnce = false;
    int doneBoxesAtStop = -1;
    platform::setEventLoopTurn([&] {
        QCoreApplication::processEvents();
        if (!stopped && form->ListView1->topLevelItemCount() == 3) {
            stopped = true;
            form->PushButton2->click();
            idleAtOnce = form->PushButton2->text() == "2a. Get All Emails" && form->PushButton10->isVisible();
            doneBoxesAtStop = m_dialogs->messageTexts().count("Done.");
        }
    });
    form->PushButton2->click();
    QVERIFY(stopped);
    QVERIFY(idleAtOnce);
    QCOMPARE(doneBoxesAtStop, 0);
    QCOMPARE(m_dialogs->messageTexts(), QStringList{"Done."});
    QCOMPARE(form->ListView1->topLevelItemCount(), 3);
    QVERIFY(errorLogRecords(m_programDir.path()) <= 5);
    QCOMPARE(form->Label1->text(), QStringLiteral("Total Number Of Emails: 3"));
    QVERIFY(!form->session());
}

void TestForm1Download::stopBeforeTheLoopEndsQuietly()
{
    auto form = connectedForm(m_server.user, m_server.password);
    bool stopped = false;
    platform::setEventLoopTurn([&] {
        QCoreApplication::processEvents();
        if (!stopped && form->PushButton2->text() == "Stop") {
            stopped = true;
            form->PushButton2->click();
        }
    });
    form->PushButton2->click();
    QVERIFY(stopped);
    // No login or empty-folder box for a run the user stopped while it was counting.
    QCOMPARE(m_dialogs->messageTexts(), QStringList{"Done."});
    QCOMPARE(form->ListView1->topLevelItemCount(), 0);
    QCOMPARE(errorLogRecords(m_programDir.path()), 0);
    QCOMPARE(form->PushButton2->text(), QStringLiteral("2a. Get All Emails"));
    QVERIFY(!form->isBusy());

    // The next run works as usual.
    platform::setEventLoopTurn(nullptr);
    form->PushButton2->click();
    QCOMPARE(form->ListView1->topLevelItemCount(), m_server.corpus(m_server.user, "INBOX").size());
}

void TestForm1Download::runWhoseConnectionWasReplacedEndsQuietly()
{
    const int inbox = m_server.corpus(m_server.user, "INBOX").size();
    auto form = connectedForm(m_server.user, m_server.password);
    form->Check1->setChecked(true);  // keeps the credentials over the disconnect
    bool reconnected = false;
    platform::setEventLoopTurn([&] {
        QCoreApplication::processEvents();
        if (!reconnected && form->ListView1->topLevelItemCount() == 3) {
            reconnected = true;
            form->PushButton3->click();  // Disconnect
            form->PushButton3->click();  // 1. Connect
            QCOMPARE(form->PushButton2->text(), QStringLiteral("Stop"));
            form->PushButton2->click();  // Stop, as the button still says
            form->PushButton2->click();  // a second run, on the new connection
        }
    });
    form->PushButton2->click();
    QVERIFY(reconnected);
    // The second run's rows and its "Done."; the first run fetched nothing after its third
    // message, added no row and said nothing.
    QCOMPARE(m_dialogs->messageTexts(), QStringList{"Done."});
    QCOMPARE(form->ListView1->topLevelItemCount(), inbox);
    QCOMPARE(form->messageEntries().last(), inbox);
    QCOMPARE(errorLogRecords(m_programDir.path()), 3 + inbox);
    QCOMPARE(form->PushButton2->text(), QStringLiteral("2a. Get All Emails"));
    QVERIFY(!form->isBusy());
}

void TestForm1Download::characterFilterDecidesWhichMessagesAreListed()
{
    saveSetting("CharactersFilter", "abc");
    auto form = connectedForm(m_server.user, m_server.password);
    form->PushButton2->click();
    // Subject in any case counts; the sender's name must match exactly; the HTML body never counts.
    QCOMPARE(form->ListView1->topLevelItemCount(), 1);
    QCOMPARE(form->ListView1->topLevelItem(0)->text(3),
             m_server.message(m_server.user, "INBOX", "filter_abc_subject").subject);
    QCOMPARE(form->messageEntries().at(1).Subject,
             m_server.message(m_server.user, "INBOX", "filter_abc_subject").subject);

    form->filters().setCharacters("ABC");
    form->PushButton2->click();
    QStringList subjects;
    for (int i = 0; i < form->ListView1->topLevelItemCount(); ++i)
        subjects << form->ListView1->topLevelItem(i)->text(3);
    QCOMPARE(subjects.size(), 2);
    QVERIFY(subjects.contains(m_server.message(m_server.user, "INBOX", "filter_abc_from_name").subject));
}

void TestForm1Download::labelFilterChoosesTheMailbox()
{
    saveSetting("LabelFilter", "Reçus");
    auto form = connectedForm(m_server.user, m_server.password);
    form->PushButton2->click();
    const auto recus = m_server.corpus(m_server.user, "Reçus");
    QCOMPARE(form->ListView1->topLevelItemCount(), recus.size());

    // Without the label filter the selected folder decides, by the name the server listed.
    form->filters().setLabel(QString());
    const int sent = globals().GmailFolderNames.indexOf("Sent Mail");
    QVERIFY(sent > 0);
    form->folderOptions[sent]->click();
    form->PushButton2->click();
    QCOMPARE(form->ListView1->topLevelItemCount(), m_server.corpus(m_server.user, "[Gmail]/Sent Mail").size());
}

void TestForm1Download::selectionToolsWorkOnDownloadedRows()
{
    auto form = connectedForm(m_server.user, m_server.password);
    form->PushButton2->click();
    const int rows = form->ListView1->topLevelItemCount();
    m_dialogs->inputs.enqueue("invoice");
    form->PushButton9->click();
    const int invoices = CountCheckedRows(form->ListView1);
    QVERIFY(invoices >= 1);
    QCOMPARE(form->Label2->text(), QStringLiteral("Selected Emails: %1").arg(invoices));
    QVERIFY(form->selectionPassFlag());
    form->PushButton5->click();
    QCOMPARE(form->Label2->text(), QStringLiteral("Selected Emails: %1").arg(rows));
    QVERIFY(!form->selectionPassFlag());
    form->PushButton6->click();
    QCOMPARE(form->Label2->text(), QStringLiteral("Selected Emails: 0"));
    m_dialogs->inputs.enqueue("invoice");
    form->PushButton8->click();
    QCOMPARE(form->Label2->text(), QStringLiteral("Selected Emails: %1").arg(rows - invoices));
}

void TestForm1Download::connectedStateDecidesWhatTheButtonsDo_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<QStringList>("clicksOnConnect");  // "now", or "mid-run" during a download
    QTest::addColumn<bool>("connected");
    QTest::newRow("failed connect") << "wrong password" << QStringList() << false;
    QTest::newRow("disconnect") << m_server.password << QStringList{"now"} << false;
    QTest::newRow("reconnect") << m_server.password << QStringList{"now", "now"} << true;
    QTest::newRow("disconnect during a download") << m_server.password << QStringList{"mid-run"} << false;
}

void TestForm1Download::connectedStateDecidesWhatTheButtonsDo()
{
    QFETCH(QString, password);
    QFETCH(QStringList, clicksOnConnect);
    QFETCH(bool, connected);
    m_dialogs->answers.enqueue(platform::BoxAnswer::No);
    auto form = connectedForm(m_server.user, password);
    form->Check1->setChecked(true);  // keeps the credentials over a disconnect
    for (const QString &when : clicksOnConnect) {
        if (when == "now") {
            form->PushButton3->click();
            continue;
        }
        bool clicked = false;
        platform::setEventLoopTurn([&] {
            QCoreApplication::processEvents();
            if (!clicked && form->ListView1->topLevelItemCount() == 2) {
                clicked = true;
                form->PushButton3->click();
            }
        });
        form->PushButton2->click();
        platform::setEventLoopTurn(nullptr);
        QVERIFY(clicked);
    }
    QCOMPARE(form->connected(), connected);
    QCOMPARE(form->PushButton3->text() == "Disconnect", connected);
    QCOMPARE(form->PushButton2->text(), QStringLiteral("2a. Get All Emails"));

    // Get All downloads, or asks for the connection first; it is never taken for Stop.
    m_dialogs->clear();
    form->PushButton2->click();
    const QString expected = connected ? "Done." : "Please connect first (Step 1) before using this feature.";
    QCOMPARE(m_dialogs->messageTexts(), QStringList{expected});
    QCOMPARE(form->ListView1->topLevelItemCount() > 0, connected);
}

QTEST_MAIN(TestForm1Download)
#include "tst_form1_download.moc"
