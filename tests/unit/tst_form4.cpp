// The larger list window: ticks both ways, closing by "< Back" or the close box, "Clear List"
// on both lists, its own selection-pass flag, and its layout at the designed and small sizes.

#include "ModalWindows.h"
#include "app/Form1.h"
#include "core/ProgramFolder.h"
#include "list/Form4.h"
#include "list/Form4Layout.h"
#include "list/MessageList.h"
#include "list/MessageListPanel.h"
#include "list/MessageListView.h"
#include "platform/ScriptedDialogs.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>

using namespace messagelist;

namespace {

void fill(MessageListView *list, const QStringList &subjects)
{
    for (const QString &subject : subjects) {
        MessageEntry e;
        e.From = QStringLiteral("sender");
        e.Subject = subject;
        appendMessageRow(list, e);
    }
}

QString ticks(const QTreeWidget *list)
{
    QString marks;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        marks += list->topLevelItem(i)->checkState(FromColumn) == Qt::Checked ? 'x' : '.';
    return marks;
}

}  // namespace

class TestForm4 : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void ticksGoBothWaysAndTheCloseBoxCopiesThemBack();
    void clearListEmptiesBothLists();
    void keepsItsOwnSelectionPassFlag();
    void layoutFollowsTheWindowSize();

private:
    QTemporaryDir m_programDir;
};

void TestForm4::initTestCase()
{
    setProgramFolder(m_programDir.path());
    Form1::setUnloadAction([] {});
}

void TestForm4::ticksGoBothWaysAndTheCloseBoxCopiesThemBack()
{
    platform::ScriptedDialogs dialogs;
    Form1 form;
    form.Form_Load();
    form.show();
    fill(form.ListView1, {"a", "b", "c", "d"});
    form.ListView1->topLevelItem(1)->setCheckState(FromColumn, Qt::Checked);

    QString seen;
    QString seenTotals;
    whenOpen<Form4>([&](Form4 *larger) {
        seen = ticks(larger->ListView1);
        seenTotals = larger->Label1->text() + " / " + larger->Label2->text();
        QVERIFY(larger->windowState() & Qt::WindowMaximized);
        larger->ListView1->topLevelItem(1)->setCheckState(FromColumn, Qt::Unchecked);
        larger->ListView1->topLevelItem(3)->setCheckState(FromColumn, Qt::Checked);
        larger->PushButton4->click();  // "< Back"
    });
    form.PushButton11->click();
    QCOMPARE(seen, QStringLiteral(".x.."));
    QCOMPARE(seenTotals, QStringLiteral("Total Number Of Emails: 4 / Selected Emails: 1"));
    QCOMPARE(ticks(form.ListView1), QStringLiteral("...x"));
    QCOMPARE(form.Label2->text(), QStringLiteral("Selected Emails: 1"));

    // The close box copies back exactly like "< Back".
    whenOpen<Form4>([&](Form4 *larger) {
        larger->PushButton5->click();  // "Check All"
        larger->close();
    });
    form.PushButton11->click();
    QCOMPARE(ticks(form.ListView1), QStringLiteral("xxxx"));
    QCOMPARE(form.Label2->text(), QStringLiteral("Selected Emails: 4"));
    QVERIFY(dialogs.shown.isEmpty() || dialogs.messageTexts().filter("Application Error").isEmpty());
}

void TestForm4::clearListEmptiesBothLists()
{
    platform::ScriptedDialogs dialogs;
    MessageListView main;
    fill(&main, {"a", "b"});
    main.topLevelItem(0)->setCheckState(FromColumn, Qt::Checked);
    {
        Form4 larger(&main);
        larger.copyRowsFromMainList();
        larger.PushButton7->click();
        QCOMPARE(larger.ListView1->topLevelItemCount(), 0);
        QCOMPARE(main.topLevelItemCount(), 0);
        QCOMPARE(larger.Label1->text(), QStringLiteral("Total Number Of Emails: 0"));
        QCOMPARE(larger.Label2->text(), QStringLiteral("Selected Emails: 0"));
        larger.reject();  // closing copies nothing back to the empty list
    }
    QCOMPARE(main.topLevelItemCount(), 0);
}

void TestForm4::keepsItsOwnSelectionPassFlag()
{
    platform::ScriptedDialogs dialogs;
    Form1 form;
    form.Form_Load();
    fill(form.ListView1, {"invoice", "lunch", "invoice 2"});
    dialogs.inputs << QStringLiteral("invoice");
    form.PushButton9->click();
    QVERIFY(form.selectionPassFlag());

    // A pass made in the main window does not stop the first pass here from unticking.
    Form4 larger(form.ListView1);
    larger.copyRowsFromMainList();
    QVERIFY(!larger.listPanel()->selectionPassFlag());
    dialogs.inputs << QStringLiteral("lunch");
    larger.PushButton9->click();
    QCOMPARE(ticks(larger.ListView1), QStringLiteral(".x."));
    QCOMPARE(larger.Label2->text(), QStringLiteral("Selected Emails: 1"));
    dialogs.inputs << QStringLiteral("lunch");
    larger.PushButton10->click();  // the not-containing tool only adds ticks now
    QCOMPARE(ticks(larger.ListView1), QStringLiteral("xxx"));
    QCOMPARE(ticks(form.ListView1), QStringLiteral("x.x"));
    larger.accept();
    QCOMPARE(ticks(form.ListView1), QStringLiteral("xxx"));
}

void TestForm4::layoutFollowsTheWindowSize()
{
    const Form4Layout designed = layoutForm4(8130, 4560);
    QCOMPARE(designed.list.width(), 7800);
    QCOMPARE(designed.columns, (std::array<int, 6>{1300, 1560, 1560, 1560, 1560, 0}));
    QCOMPARE(designed.list.height(), 1460);
    QCOMPARE(designed.clearList.center().x() + 1, 8130 / 2 - 45);  // QRect's centre rounds down
    QCOMPARE(designed.uncheckAll.left(), designed.checkAll.right() + 1 + 120);
    QCOMPARE(designed.back.left(), designed.clearList.left());
    QCOMPARE(designed.back.top(), 4560 - 975);

    // Minimized or tiny: nothing negative, nothing above or left of the window.
    for (const QSize size : {QSize(0, 0), QSize(100, 900), QSize(329, 3099), QSize(-15, 5000)}) {
        const Form4Layout small = layoutForm4(size.width(), size.height());
        for (const QRect &r : {small.list, small.label1, small.label2, small.checkAll,
                               small.uncheckAll, small.containing, small.notContaining,
                               small.clearList, small.maximize, small.back}) {
            QVERIFY(r.width() >= 0 && r.height() >= 0);
            QVERIFY(r.left() >= 0 && r.top() >= 0);
        }
        for (int width : small.columns)
            QVERIFY(width >= 0);
    }
    // At the window's smallest size every control lies inside it.
    const int w = form4MinimumOuterWidth();
    const int h = form4MinimumOuterHeight();
    const Form4Layout smallest = layoutForm4(w, h);
    for (const QRect &r : {smallest.list, smallest.label2, smallest.uncheckAll,
                           smallest.notContaining, smallest.maximize, smallest.back})
        QVERIFY(r.right() < w && r.bottom() < h);

    // The real window follows the rule when it is resized.
    MessageListView main;
    Form4 larger(&main);
    larger.show();
    larger.resize(1000, 600);
    QCoreApplication::processEvents();
    const Form4Layout now = layoutForm4(larger.frameGeometry().width() * 15,
                                        larger.frameGeometry().height() * 15);
    QCOMPARE(larger.ListView1->width(), qRound(now.list.width() / 15.0));
    QCOMPARE(larger.PushButton4->y(), qRound(now.back.top() / 15.0));
}

QTEST_MAIN(TestForm4)
#include "tst_form4.moc"
