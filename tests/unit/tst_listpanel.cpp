// The list panel that both list windows attach to their controls, and the hover rule that
// every window shares: two windows at once must not share a flag, a label or a pointer.

#include "core/HoverPointer.h"
#include "list/MessageList.h"
#include "list/MessageListPanel.h"
#include "list/MessageListView.h"
#include "platform/ScriptedDialogs.h"
#include "WindowTests.h"

#include <QLabel>
#include <QPushButton>
#include <QtTest>
#include <memory>

using namespace messagelist;

namespace {

struct PanelWindow {
    QWidget window;
    MessageListPanelControls controls;
    MessageListPanel *panel = nullptr;

    PanelWindow(const QString &name, const QStringList &subjects)
    {
        window.setObjectName(name);
        controls.list = new MessageListView(&window);
        controls.totalLabel = new QLabel(&window);
        controls.selectedLabel = new QLabel(&window);
        controls.checkAll = button("PushButton5");
        controls.uncheckAll = button("PushButton6");
        controls.checkContaining = button("PushButton9");
        controls.checkNotContaining = button("PushButton10");
        panel = new MessageListPanel(&window, name, controls);
        for (const QString &subject : subjects) {
            MessageEntry e;
            e.From = QStringLiteral("someone");
            e.Subject = subject;
            appendMessageRow(controls.list, e);
        }
    }
    QPushButton *button(const char *name)
    {
        auto *b = new QPushButton(&window);
        b->setObjectName(QLatin1String(name));
        return b;
    }
    QString selected() const { return controls.selectedLabel->text(); }
};

}  // namespace

class TestListPanel : public QObject {
    Q_OBJECT
private slots:
    void twoPanelsKeepTheirOwnFlagsAndTotals();
    void hoverRuleSetsThePointerOfTheWidgetsOwnWindow();
};

void TestListPanel::twoPanelsKeepTheirOwnFlagsAndTotals()
{
    platform::ScriptedDialogs dialogs;
    PanelWindow main(QStringLiteral("Form1"), {"invoice", "lunch", "invoice 2"});
    PanelWindow larger(QStringLiteral("Form4"), {"lunch", "invoice"});

    dialogs.inputs << QStringLiteral("invoice");
    main.controls.checkContaining->click();
    QVERIFY(main.panel->selectionPassFlag());
    QVERIFY(!larger.panel->selectionPassFlag());
    QCOMPARE(main.selected(), QStringLiteral("Selected Emails: 2"));
    QVERIFY(larger.selected().isEmpty());
    QCOMPARE(dialogs.shown.size(), 1);
    QCOMPARE(dialogs.shown.at(0).request.text, QStringLiteral("Enter X:"));

    // The larger window's first pass unticks as a first pass does, whatever the main one did.
    larger.controls.list->topLevelItem(0)->setCheckState(FromColumn, Qt::Checked);
    dialogs.inputs << QStringLiteral("invoice");
    larger.controls.checkContaining->click();
    QCOMPARE(checkedEntryNumbers(larger.controls.list), QList<int>{2});
    QCOMPARE(larger.selected(), QStringLiteral("Selected Emails: 1"));
    QCOMPARE(larger.controls.totalLabel->text(), QStringLiteral("Total Number Of Emails: 2"));

    // Check All lowers only its own window's flag.
    larger.controls.checkAll->click();
    QVERIFY(!larger.panel->selectionPassFlag());
    QVERIFY(main.panel->selectionPassFlag());
    QCOMPARE(larger.selected(), QStringLiteral("Selected Emails: 2"));
    dialogs.inputs << QStringLiteral("lunch");
    larger.controls.checkNotContaining->click();
    QCOMPARE(checkedEntryNumbers(larger.controls.list), QList<int>{2});
    QCOMPARE(checkedEntryNumbers(main.controls.list), (QList<int>{1, 3}));
}

void TestListPanel::hoverRuleSetsThePointerOfTheWidgetsOwnWindow()
{
    QWidget first;
    QWidget second;
    auto *firstButton = new QPushButton(&first);
    auto *secondButton = new QPushButton(&second);
    auto *secondFrame = new QWidget(&second);
    secondFrame->move(0, 50);
    QPixmap hand(16, 16);
    hand.fill(Qt::red);
    setHoverPointerImage(&first, QCursor(hand));
    followHoverRule(&first, {firstButton});
    followHoverRule(&second, {secondButton, secondFrame});  // no pointer image: the default

    QCOMPARE(pointerOver(firstButton), Qt::BitmapCursor);
    QCOMPARE(pointerOver(&first), Qt::ArrowCursor);
    QCOMPARE(pointerOver(secondButton), Qt::ArrowCursor);
    QCOMPARE(pointerOver(firstButton), Qt::BitmapCursor);

    // The hourglass shows over the busy window's buttons too, and only there.
    first.setCursor(Qt::WaitCursor);
    QCOMPARE(pointerOver(firstButton), Qt::WaitCursor);
    QCOMPARE(pointerOver(&first), Qt::WaitCursor);
    QCOMPARE(pointerOver(secondFrame), Qt::ArrowCursor);
    first.unsetCursor();
    QCOMPARE(pointerOver(firstButton), Qt::BitmapCursor);
}

QTEST_MAIN(TestListPanel)
#include "tst_listpanel.moc"
