// The message list: columns, rows and their entry numbers, day numbers and sorting, and the
// totals with the user's ticks and event-loop turns during a count.

#include "GeneralDateReading.h"
#include "list/MessageList.h"
#include "list/MessageListView.h"
#include "list/SelectionTools.h"
#include "platform/EventLoop.h"

#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QtTest>

using namespace messagelist;

namespace {

const QLocale usEnglish(QLocale::English, QLocale::UnitedStates);

// An entry as a download makes it; the date is given as United States text for readability
// (text that is no such date stands for a message without a date).
MessageEntry entry(const QString &from, const QString &subject, const QString &receivedDate)
{
    MessageEntry e;
    e.From = from;
    e.FromName = from + QStringLiteral(" Name");
    e.FromAddress = from + QStringLiteral("@example.com");
    e.Subject = subject;
    e.ReceivedDate = receivedDate;
    e.ReceivedDateTime = parseGeneralDate(receivedDate, usEnglish).value_or(QDateTime());
    return e;
}

// Adds a row the way a download does: the row, then its day number.
QTreeWidgetItem *addDownloaded(QTreeWidget *list, const MessageEntry &e)
{
    QTreeWidgetItem *row = appendMessageRow(list, e);
    setDayNumberCell(row, e.ReceivedDateTime);
    return row;
}

QDateTime local(int year, int month, int day, int hour, int minute = 0, int second = 0)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second));
}

QStringList subjectsTopToBottom(const QTreeWidget *list)
{
    QStringList subjects;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        subjects << list->topLevelItem(i)->text(SubjectColumn);
    return subjects;
}

// Where the item delegate draws (and hit-tests) the row's check box.
QPoint checkBoxCentre(QTreeWidget *list, QTreeWidgetItem *row)
{
    QStyleOptionViewItem option;
    option.initFrom(list->viewport());
    option.rect = list->visualItemRect(row);
    option.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
    option.text = row->text(FromColumn);
    return list->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, list)
        .center();
}

void userClicksCheckBox(QTreeWidget *list, QTreeWidgetItem *row)
{
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, checkBoxCentre(list, row));
}

void userPressesSpaceOn(QTreeWidget *list, QTreeWidgetItem *row)
{
    list->setCurrentItem(row, FromColumn);
    QTest::keyClick(list, Qt::Key_Space);
}

}  // namespace

class TestMessageList : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void columnsHeadersAndWidths();
    void appendedRowsCopyTheEntry();
    void dayNumbers_data();
    void dayNumbers();
    void messageWithoutADateHasNoDayNumber();
    void everyLocaleSortsByTheSameDayNumbers();
    void sortNewestFirstWithUnreadableDatesLast();
    void entryNumberFollowsTheRowThroughSorting();
    void sortingStaysOnAndRowsAddedLaterFallIntoPlace();
    void queuedRowsJoinInOneInsertion_data();
    void queuedRowsJoinInOneInsertion();
    void emptyingTheListTakesItsQueue();

    void onlyUserTicksRaiseItemCheck();
    void totalsFollowTicksAndReset();
    void countGivesTurnsAndSeesClicksMadeInThem();
    void countSurvivesRowsClearedDuringATurn();
    void interruptedCountDoesNotOverwriteNewerTotals();
    void countSurvivesTheListDestroyedDuringATurn();
};

void TestMessageList::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

void TestMessageList::init()
{
    // A turn after every row, so that tests can act between rows.
    setCountTurnInterval(0);
}

void TestMessageList::cleanup()
{
    platform::setEventLoopTurn(nullptr);
    setCountTurnInterval(DefaultCountTurnIntervalMs);
    MessageListView::setRowBlockInterval(-1);
}

void TestMessageList::columnsHeadersAndWidths()
{
    MessageListView list;
    setupMessageListColumns(&list);  // again on top of the constructor's: must change nothing

    QCOMPARE(list.columnCount(), 6);
    const QStringList expected{"From", "From Name", "From Address", "Subject", "Received Date",
                               "RecDate"};
    for (int c = 0; c < 6; ++c)
        QCOMPARE(list.headerItem()->text(c), expected.at(c));
    // Twips 1300 and 1600 at 15 to a pixel, rounded to nearest.
    const QList<int> widths{87, 87, 107, 107, 107};
    for (int c = 0; c < 5; ++c) {
        QCOMPARE(list.columnWidth(c), widths.at(c));
        QVERIFY(!list.isColumnHidden(c));
    }
    QVERIFY(list.isColumnHidden(DayNumberColumn));
    QVERIFY(!list.rootIsDecorated());
    QVERIFY(list.uniformRowHeights());
    QVERIFY(!list.isSortingEnabled());
    QVERIFY(!list.header()->sectionsClickable());
}

void TestMessageList::appendedRowsCopyTheEntry()
{
    MessageListView list;
    const MessageEntry first = entry("Ann <ann@x.org>", "Hello", "9/1/2021 9:00:00 AM");
    const MessageEntry second = entry("Bob", "Re: Hello", "9/2/2021 9:00:00 AM");
    QTreeWidgetItem *row1 = appendMessageRow(&list, first);
    QTreeWidgetItem *row2 = appendMessageRow(&list, second);

    QCOMPARE(list.topLevelItemCount(), 2);
    QCOMPARE(row1->text(FromColumn), first.From);
    QCOMPARE(row1->text(FromNameColumn), first.FromName);
    QCOMPARE(row1->text(FromAddressColumn), first.FromAddress);
    QCOMPARE(row1->text(SubjectColumn), first.Subject);
    QCOMPARE(row1->text(ReceivedDateColumn), first.ReceivedDate);
    QVERIFY(row1->text(DayNumberColumn).isEmpty());
    QCOMPARE(row1->checkState(FromColumn), Qt::Unchecked);
    QVERIFY(row1->flags() & Qt::ItemIsUserCheckable);
    QCOMPARE(entryNumberOf(row1), 1);
    QCOMPARE(entryNumberOf(row2), 2);

    // After Clear List numbering starts again, as the table of entries does.
    list.clear();
    QCOMPARE(entryNumberOf(appendMessageRow(&list, second)), 1);
}

void TestMessageList::dayNumbers_data()
{
    QTest::addColumn<QDateTime>("received");
    QTest::addColumn<QString>("dayNumber");
    QTest::newRow("morning") << local(2021, 9, 1, 9) << "44440";
    QTest::newRow("afternoon rounds up") << local(2021, 9, 1, 15) << "44441";
    QTest::newRow("late evening rounds up") << local(2021, 8, 31, 23) << "44440";
    QTest::newRow("midnight") << local(2021, 9, 1, 0) << "44440";
    QTest::newRow("noon, half to even (down)") << local(2021, 9, 1, 12) << "44440";
    QTest::newRow("noon, half to even (up)") << local(2021, 8, 31, 12) << "44440";
    QTest::newRow("just after noon") << local(2021, 9, 1, 12, 0, 1) << "44441";
    QTest::newRow("before 1927: four digits") << local(1920, 1, 1, 0) << "7306";
}

void TestMessageList::dayNumbers()
{
    QFETCH(QDateTime, received);
    QFETCH(QString, dayNumber);
    QCOMPARE(dayNumberText(received), dayNumber);

    MessageListView list;
    QTreeWidgetItem *row = appendMessageRow(&list, entry("A", "S", "shown text"));
    setDayNumberCell(row, received);
    QCOMPARE(row->text(DayNumberColumn), dayNumber);
}

void TestMessageList::messageWithoutADateHasNoDayNumber()
{
    MessageListView list;
    QTreeWidgetItem *row = appendMessageRow(&list, entry("A", "S", QString()));
    setDayNumberCell(row, QDateTime());
    QVERIFY(row->text(DayNumberColumn).isEmpty());
}

// The shown date is each locale's own text; the order must not depend on it. Reading that text
// back failed in some locales (as_IN afternoons, brx_IN mornings), leaving rows unsorted.
void TestMessageList::everyLocaleSortsByTheSameDayNumbers()
{
    const QList<QDateTime> received{local(2021, 8, 31, 23), local(2021, 9, 1, 15),
                                    local(2021, 9, 1, 9)};
    const QStringList newestFirst{"44441", "44440", "44440"};
    const QList<QLocale> locales =
        QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory);
    QVERIFY(locales.size() > 300);
    QStringList wrong;
    for (const QLocale &locale : locales) {
        QLocale::setDefault(locale);
        MessageListView list;
        setListSorting(&list, false);
        for (const QDateTime &when : received) {
            MessageEntry e = entry("a", locale.name(), QString());
            e.ReceivedDate = formatGeneralDate(when);
            e.ReceivedDateTime = when;
            addDownloaded(&list, e);
        }
        SortNewestFirst(&list);
        QStringList days;
        for (int i = 0; i < list.topLevelItemCount(); ++i)
            days << list.topLevelItem(i)->text(DayNumberColumn);
        const bool datesShown = list.topLevelItem(0)->text(ReceivedDateColumn)
            == formatGeneralDate(received.at(1));
        if (days != newestFirst || !datesShown)
            wrong << locale.name() + ": " + days.join(',');
    }
    QLocale::setDefault(usEnglish);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(" | ")));
}

void TestMessageList::sortNewestFirstWithUnreadableDatesLast()
{
    MessageListView list;
    setListSorting(&list, false);
    addDownloaded(&list, entry("a", "unreadable 1", "garbage"));
    addDownloaded(&list, entry("a", "2021-08-31 late", "8/31/2021 11:00:00 PM"));
    addDownloaded(&list, entry("a", "1920", "1/1/1920"));
    addDownloaded(&list, entry("a", "2021-09-01 afternoon", "9/1/2021 3:00:00 PM"));
    addDownloaded(&list, entry("a", "unreadable 2", ""));
    addDownloaded(&list, entry("a", "2020", "1/15/2020 10:00:00 AM"));

    SortNewestFirst(&list);

    const QStringList order = subjectsTopToBottom(&list);
    QCOMPARE(order.mid(0, 4), (QStringList{"2021-09-01 afternoon", "2021-08-31 late", "2020",
                                            "1920"}));
    QCOMPARE(QSet<QString>(order.begin() + 4, order.end()),
             (QSet<QString>{"unreadable 1", "unreadable 2"}));
}

void TestMessageList::entryNumberFollowsTheRowThroughSorting()
{
    MessageEntryTable table;
    const QStringList dates{"1/3/2021", "1/5/2021", "1/1/2021", "1/4/2021", "1/2/2021"};
    MessageListView list;
    setListSorting(&list, false);
    for (int i = 0; i < dates.size(); ++i) {
        const MessageEntry e = entry(QStringLiteral("sender %1").arg(i + 1),
                                     QStringLiteral("subject %1").arg(i + 1), dates.at(i));
        addDownloaded(&list, e);
        table.store(list.topLevelItemCount(), e);
    }
    QCOMPARE(table.last(), 5);
    SortNewestFirst(&list);
    QCOMPARE(list.topLevelItem(0)->text(SubjectColumn), QStringLiteral("subject 2"));

    list.topLevelItem(0)->setCheckState(FromColumn, Qt::Checked);
    list.topLevelItem(4)->setCheckState(FromColumn, Qt::Checked);
    const QList<int> checked = checkedEntryNumbers(&list);
    QCOMPARE(checked.size(), 2);
    QCOMPARE(table.at(checked.at(0)).Subject, list.topLevelItem(0)->text(SubjectColumn));
    QCOMPARE(table.at(checked.at(1)).Subject, list.topLevelItem(4)->text(SubjectColumn));
    QCOMPARE(checked, (QList<int>{2, 3}));
    for (int i = 0; i < list.topLevelItemCount(); ++i) {
        const QTreeWidgetItem *row = list.topLevelItem(i);
        QCOMPARE(table.at(entryNumberOf(row)).From, row->text(FromColumn));
    }
}

void TestMessageList::sortingStaysOnAndRowsAddedLaterFallIntoPlace()
{
    MessageListView list;
    addDownloaded(&list, entry("a", "old", "1/1/2021"));
    addDownloaded(&list, entry("a", "older", "1/1/2020"));
    SortNewestFirst(&list);
    QVERIFY(list.isSortingEnabled());
    QVERIFY(!list.header()->sectionsClickable());
    QCOMPARE(list.sortColumn(), int(DayNumberColumn));

    addDownloaded(&list, entry("a", "newest", "1/1/2022"));
    QCoreApplication::processEvents();  // a sort after an insert may wait for the event loop
    QCOMPARE(subjectsTopToBottom(&list), (QStringList{"newest", "old", "older"}));
    QCOMPARE(entryNumberOf(list.topLevelItem(0)), 3);

    // Sorting again when it is already on changes nothing.
    SortNewestFirst(&list);
    QCOMPARE(subjectsTopToBottom(&list), (QStringList{"newest", "old", "older"}));

    // While a download adds rows sorting is off, and rows stay where they were added.
    setListSorting(&list, false);
    addDownloaded(&list, entry("a", "newer still", "1/1/2023"));
    QCoreApplication::processEvents();
    QCOMPARE(list.topLevelItem(3)->text(SubjectColumn), QStringLiteral("newer still"));
    QVERIFY(!list.header()->sectionsClickable());
}

void TestMessageList::onlyUserTicksRaiseItemCheck()
{
    MessageListView list;
    list.resize(600, 300);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    QSignalSpy spy(&list, &MessageListView::itemCheck);
    for (int i = 0; i < 3; ++i)
        addDownloaded(&list, entry("a", QStringLiteral("s%1").arg(i), "1/1/2021"));
    QTreeWidgetItem *row0 = list.topLevelItem(0);
    QTreeWidgetItem *row1 = list.topLevelItem(1);

    userClicksCheckBox(&list, row0);
    QCOMPARE(row0->checkState(FromColumn), Qt::Checked);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).value<QTreeWidgetItem *>(), row0);

    userPressesSpaceOn(&list, row1);
    QCOMPARE(row1->checkState(FromColumn), Qt::Checked);
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.at(1).at(0).value<QTreeWidgetItem *>(), row1);

    userClicksCheckBox(&list, row0);
    QCOMPARE(row0->checkState(FromColumn), Qt::Unchecked);
    QCOMPARE(spy.count(), 3);

    // A click on the row's text selects it and leaves the tick alone.
    const QRect subjectCell = list.visualRect(list.model()->index(1, SubjectColumn));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, subjectCell.center());
    QCOMPARE(row1->checkState(FromColumn), Qt::Checked);

    // The program's own changes never raise it.
    checkAllRows(&list, true);
    checkAllRows(&list, false);
    bool flag = false;
    checkRowsByText(&list, "s", true, flag);
    row0->setCheckState(FromColumn, Qt::Unchecked);
    addDownloaded(&list, entry("a", "later", "1/2/2021"));
    SortNewestFirst(&list);
    QCOMPARE(spy.count(), 3);
}

void TestMessageList::totalsFollowTicksAndReset()
{
    MessageListView list;
    list.resize(600, 300);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    QLabel label1;
    QLabel label2;
    // As the main window wires it.
    int refreshes = 0;
    connect(&list, &MessageListView::itemCheck, &list, [&] {
        ++refreshes;
        RefreshTotals(&list, &label1, &label2, false);
    });
    for (int i = 0; i < 4; ++i)
        addDownloaded(&list, entry("a", QStringLiteral("s%1").arg(i), "1/1/2021"));
    RefreshTotals(&list, &label1, &label2, false);
    QCOMPARE(label1.text(), QStringLiteral("Total Number Of Emails: 4"));
    QCOMPARE(label2.text(), QStringLiteral("Selected Emails: 0"));

    userClicksCheckBox(&list, list.topLevelItem(2));
    QCOMPARE(label2.text(), QStringLiteral("Selected Emails: 1"));
    userPressesSpaceOn(&list, list.topLevelItem(0));
    QCOMPARE(label2.text(), QStringLiteral("Selected Emails: 2"));
    userClicksCheckBox(&list, list.topLevelItem(2));
    QCOMPARE(label2.text(), QStringLiteral("Selected Emails: 1"));
    QCOMPARE(refreshes, 3);

    // A tool pass changes the ticks without refreshing; its caller refreshes once.
    checkAllRows(&list, true);
    QCOMPARE(refreshes, 3);
    QCOMPARE(label2.text(), QStringLiteral("Selected Emails: 1"));
    RefreshTotals(&list, &label1, &label2, false);
    QCOMPARE(label2.text(), QStringLiteral("Selected Emails: 4"));
    QCOMPARE(CountCheckedRows(&list), 4);

    RefreshTotals(&list, &label1, &label2, true);
    QCOMPARE(label1.text(), QStringLiteral("Total Number Of Emails: 0"));
    QCOMPARE(label2.text(), QStringLiteral("Selected Emails: 0"));
    QCOMPARE(list.topLevelItemCount(), 4);  // reset does not look at, or touch, the list
}

void TestMessageList::countGivesTurnsAndSeesClicksMadeInThem()
{
    MessageListView list;
    for (int i = 0; i < 10; ++i)
        addDownloaded(&list, entry("a", QStringLiteral("s%1").arg(i), "1/1/2021"));
    // A tick that arrives while the count is at the first row is counted when the count
    // reaches that row.
    int turns = 0;
    platform::setEventLoopTurn([&] {
        if (++turns == 1)
            list.topLevelItem(7)->setCheckState(FromColumn, Qt::Checked);
    });
    QCOMPARE(CountCheckedRows(&list), 1);
    QCOMPARE(turns, 10);

    // By default turns are paced by time, not given after every row.
    setCountTurnInterval(DefaultCountTurnIntervalMs);
    for (int i = 0; i < 990; ++i)
        appendMessageRow(&list, entry("a", "s", "1/1/2021"));
    turns = 0;
    QCOMPARE(CountCheckedRows(&list), 1);
    QVERIFY(turns < 100);
}

void TestMessageList::countSurvivesRowsClearedDuringATurn()
{
    MessageListView list;
    QLabel label1;
    QLabel label2;
    for (int i = 0; i < 20; ++i) {
        QTreeWidgetItem *row = addDownloaded(&list, entry("a", "s", "1/1/2021"));
        row->setCheckState(FromColumn, Qt::Checked);
    }
    // "Clear List" handled in the middle of a count: the rows go and the totals are reset.
    int turns = 0;
    platform::setEventLoopTurn([&] {
        if (++turns == 5) {
            list.clear();
            RefreshTotals(&list, &label1, &label2, true);
        }
    });
    RefreshTotals(&list, &label1, &label2, false);
    QCOMPARE(turns, 5);
    QCOMPARE(label1.text(), QStringLiteral("Total Number Of Emails: 0"));
    QCOMPARE(label2.text(), QStringLiteral("Selected Emails: 0"));

    // Half the rows removed from the top: the count stops at the new end.
    for (int i = 0; i < 20; ++i)
        addDownloaded(&list, entry("a", "s", "1/1/2021"))->setCheckState(FromColumn, Qt::Checked);
    turns = 0;
    platform::setEventLoopTurn([&] {
        if (++turns == 3) {
            for (int i = 0; i < 10; ++i)
                delete list.takeTopLevelItem(0);
        }
    });
    // Rows 1-3 counted, then the ten that were rows 11-20 sit at 1-10: rows 4-10 remain.
    QCOMPARE(CountCheckedRows(&list), 10);
    QCOMPARE(turns, 10);
}

void TestMessageList::interruptedCountDoesNotOverwriteNewerTotals()
{
    MessageListView list;
    QLabel label1;
    QLabel label2;
    for (int i = 0; i < 10; ++i)
        addDownloaded(&list, entry("a", "s", "1/1/2021"));
    list.topLevelItem(0)->setCheckState(FromColumn, Qt::Checked);

    // While the count is at row 6 the user ticks row 2, which it has already passed; that
    // tick's own refresh runs to the end (with turns of its own) inside the first one.
    int turns = 0;
    bool ticked = false;
    platform::setEventLoopTurn([&] {
        if (++turns == 6 && !ticked) {
            ticked = true;
            list.topLevelItem(2)->setCheckState(FromColumn, Qt::Checked);
            RefreshTotals(&list, &label1, &label2, false);
            QCOMPARE(label2.text(), QStringLiteral("Selected Emails: 2"));
        }
    });
    RefreshTotals(&list, &label1, &label2, false);
    QVERIFY(ticked);
    QCOMPARE(turns, 20);
    QCOMPARE(label2.text(), QStringLiteral("Selected Emails: 2"));
    QCOMPARE(label1.text(), QStringLiteral("Total Number Of Emails: 10"));
}

void TestMessageList::countSurvivesTheListDestroyedDuringATurn()
{
    QPointer<MessageListView> list = new MessageListView;
    QLabel label1;
    QLabel label2("Selected Emails: before");
    for (int i = 0; i < 10; ++i)
        addDownloaded(list, entry("a", "s", "1/1/2021"));
    int turns = 0;
    platform::setEventLoopTurn([&] {
        if (++turns == 4)
            delete list.data();
    });
    RefreshTotals(list, &label1, &label2, false);
    QVERIFY(list.isNull());
    QCOMPARE(turns, 4);
    QCOMPARE(label2.text(), QStringLiteral("Selected Emails: before"));
}

void TestMessageList::queuedRowsJoinInOneInsertion_data()
{
    QTest::addColumn<int>("intervalMs");
    QTest::addColumn<int>("insertions");  // for the four rows queued
    QTest::newRow("block added by its timer") << 5 << 1;
    QTest::newRow("block added by hand") << 3600 * 1000 << 1;
}

void TestMessageList::queuedRowsJoinInOneInsertion()
{
    QFETCH(int, intervalMs);
    QFETCH(int, insertions);
    MessageListView::setRowBlockInterval(intervalMs);
    MessageListView list;
    addDownloaded(&list, entry("A", "before", "1/1/2021"));
    QSignalSpy inserted(list.model(), &QAbstractItemModel::rowsInserted);
    for (int i = 0; i < 4; ++i) {
        QTreeWidgetItem *row = queueMessageRow(&list, entry("B", QString("s%1").arg(i), "1/2/2021"));
        QCOMPARE(entryNumberOf(row), i + 2);
    }
    QCOMPARE(list.rowCountWithQueued(), 5);
    if (intervalMs > 1000)
        list.addQueuedRows();
    QTRY_COMPARE(list.topLevelItemCount(), 5);
    QCOMPARE(inserted.count(), insertions);
    QCOMPARE(subjectsTopToBottom(&list), QStringList({"before", "s0", "s1", "s2", "s3"}));
    for (int i = 0; i < 5; ++i)
        QCOMPARE(entryNumberOf(list.topLevelItem(i)), i + 1);
}

void TestMessageList::emptyingTheListTakesItsQueue()
{
    MessageListView::setRowBlockInterval(3600 * 1000);
    MessageListView list;
    queueMessageRow(&list, entry("A", "gone", "1/1/2021"));
    list.clear();
    QCOMPARE(list.queuedRowCount(), 0);
    // Numbering starts again, as it does for rows added at once.
    QCOMPARE(entryNumberOf(queueMessageRow(&list, entry("B", "kept", "1/2/2021"))), 1);
    list.addQueuedRows();
    QCOMPARE(subjectsTopToBottom(&list), QStringList{"kept"});
    // A list that goes away with rows queued takes them along.
    MessageListView another;
    queueMessageRow(&another, entry("C", "queued", "1/3/2021"));
}

QTEST_MAIN(TestMessageList)
#include "tst_messagelist.moc"
