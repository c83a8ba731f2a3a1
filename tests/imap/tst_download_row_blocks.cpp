// The main window's download when rows join the list in blocks (as they do while a screen
// reader listens), against the real test server: whatever the user does while rows wait in the
// queue, every downloaded message ends up in the list once, reaching its own entry, and the
// totals and ticks count them.

#include "TestServer.h"
#include "WindowTests.h"
#include "app/Form1.h"
#include "core/AppGlobals.h"
#include "core/SettingsStore.h"
#include "list/MessageList.h"
#include "list/MessageListView.h"
#include "mail/Form2.h"
#include "platform/EventLoop.h"
#include "platform/ScriptedDialogs.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

class TestDownloadRowBlocks : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void queuedRowsAllJoinTheList_data();
    void queuedRowsAllJoinTheList();

private:
    TestServer m_server;
    QTemporaryDir m_programDir;
    std::unique_ptr<platform::ScriptedDialogs> m_dialogs;
};

void TestDownloadRowBlocks::initTestCase()
{
    m_server = TestServer::fromFixture();
    m_server.applyToEnvironment();
    prepareWindowTests(m_programDir.path());
}

void TestDownloadRowBlocks::cleanup()
{
    platform::setEventLoopTurn(nullptr);
    MessageListView::setRowBlockInterval(-1);
    m_dialogs.reset();
}

void TestDownloadRowBlocks::queuedRowsAllJoinTheList_data()
{
    QTest::addColumn<QString>("road");     // Get All, or Get Some of messages 2 to 6
    QTest::addColumn<QString>("midRun");   // what the user does once three rows are queued
    QTest::addColumn<int>("rowsAtEnd");    // -1: every message of the road
    QTest::addColumn<int>("rowsAtOnce");   // rows in the list right after the action
    QTest::addColumn<int>("ticked");       // entry number ticked, 0 for none
    QTest::newRow("Get All, left alone") << "all" << "" << -1 << 0 << 0;
    QTest::newRow("Get Some, left alone") << "some" << "" << 5 << 0 << 0;
    QTest::newRow("Stop") << "all" << "stop" << 3 << 3 << 0;
    QTest::newRow("window closed") << "all" << "close" << -1 << 0 << 0;
    QTest::newRow("first row ticked, later rows queued") << "all" << "tick" << -1 << 3 << 1;
}

void TestDownloadRowBlocks::queuedRowsAllJoinTheList()
{
    QFETCH(QString, road);
    QFETCH(QString, midRun);
    QFETCH(int, rowsAtEnd);
    QFETCH(int, rowsAtOnce);
    QFETCH(int, ticked);
    QFile::remove(settingsFilePath());
    globals() = AppGlobals();
    m_dialogs = std::make_unique<platform::ScriptedDialogs>();
    // Rows join only where the program adds the queue on its own, or the test does.
    MessageListView::setRowBlockInterval(60 * 60 * 1000);
    const auto corpus = m_server.corpus(m_server.user, "INBOX");
    QVERIFY(corpus.size() > 6);
    const int firstSeq = road == "some" ? 2 : 1;
    if (rowsAtEnd < 0)
        rowsAtEnd = corpus.size();

    Form1 form;
    form.Form_Load();
    form.show();
    form.Text1->setText(m_server.user);
    form.Text2->setText(m_server.password);
    form.PushButton3->click();
    m_dialogs->clear();
    MessageListView *list = form.ListView1;
    int rowsAfterAction = -1;
    QString selectedAfterTick;
    platform::setEventLoopTurn([&] {
        QCoreApplication::processEvents();
        if (rowsAfterAction >= 0 || list->queuedRowCount() < 3)
            return;
        if (midRun == "stop") {
            form.PushButton2->click();
        } else if (midRun == "close") {
            form.close();
        } else if (midRun == "tick") {
            list->addQueuedRows();  // what the block timer does
            list->setCurrentItem(list->topLevelItem(0), 0);
            QTest::keyClick(list, Qt::Key_Space);
            selectedAfterTick = form.Label2->text();
        }
        rowsAfterAction = list->topLevelItemCount();
    });
    QTimer rangeAnswer;  // the range dialog waits in an event loop of its own
    connect(&rangeAnswer, &QTimer::timeout, &rangeAnswer, [&] {
        if (auto *range = qobject_cast<Form2 *>(QApplication::activeModalWidget())) {
            range->Text1_0->setText(QString::number(firstSeq));
            range->Text1_1->setText(QString::number(firstSeq + 4));
            range->PushButton1->click();
        }
    });
    rangeAnswer.start(5);
    (road == "some" ? form.PushButton10 : form.PushButton2)->click();
    platform::setEventLoopTurn(nullptr);

    // Get Some ends without a box, as ever.
    QCOMPARE(m_dialogs->messageTexts(), road == "some" ? QStringList() : QStringList{"Done."});
    if (!midRun.isEmpty())
        QCOMPARE(rowsAfterAction, rowsAtOnce);
    QCOMPARE(list->queuedRowCount(), 0);
    QCOMPARE(list->topLevelItemCount(), rowsAtEnd);
    QCOMPARE(form.messageEntries().last(), rowsAtEnd);
    QCOMPARE(form.Label1->text(), QStringLiteral("Total Number Of Emails: %1").arg(rowsAtEnd));
    // Entry n is the n-th message that arrived, and the row holding n shows it.
    QSet<int> numbers;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const int number = entryNumberOf(list->topLevelItem(i));
        numbers.insert(number);
        QCOMPARE(list->topLevelItem(i)->text(3), form.messageEntries().at(number).Subject);
        QCOMPARE(form.messageEntries().at(number).Subject, corpus[firstSeq + number - 2].subject);
    }
    QCOMPARE(numbers.size(), rowsAtEnd);
    QCOMPARE(checkedEntryNumbers(list), ticked ? QList<int>{ticked} : QList<int>{});
    QCOMPARE(form.Label2->text(), QStringLiteral("Selected Emails: %1").arg(ticked ? 1 : 0));
    if (ticked)
        QCOMPARE(selectedAfterTick, QStringLiteral("Selected Emails: 1"));
}

QTEST_MAIN(TestDownloadRowBlocks)
#include "tst_download_row_blocks.moc"
