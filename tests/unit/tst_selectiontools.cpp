// The selection tools: Check All / Uncheck All and the text passes, on small lists where the
// exact ticks are known and on a list longer than the old 32,767-row limit.

#include "list/CharacterFilter.h"
#include "list/MessageList.h"
#include "list/MessageListView.h"
#include "list/SelectionTools.h"
#include "platform/EventLoop.h"

#include <QSignalSpy>
#include <QtTest>

using namespace messagelist;

namespace {

MessageEntry entry(const QString &from, const QString &subject,
                   const QString &receivedDate = QStringLiteral("1/1/2021"))
{
    MessageEntry e;
    e.From = from;
    e.Subject = subject;
    e.ReceivedDate = receivedDate;
    return e;
}

QString ticks(const QTreeWidget *list)
{
    QString marks;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        marks += list->topLevelItem(i)->checkState(FromColumn) == Qt::Checked ? 'x' : '.';
    return marks;
}

void tick(QTreeWidget *list, int index)
{
    list->topLevelItem(index)->setCheckState(FromColumn, Qt::Checked);
}

}  // namespace

class TestSelectionTools : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();

    void checkAllAndUncheckAll();
    void workedSequence();
    void firstPassClearsEveryTickBeforeTicking();
    void containingPassAfterCheckAllKeepsOnlyTheMatches();
    void passWithoutMatchKeepsTheFlag();
    void letterCaseIsIgnored();
    void letterCaseIsIgnoredAlikeInEveryLocale();
    void emptyTextIsInEveryNonEmptyCell();
    void onlyFromSubjectAndReceivedDateAreSearched();
    void passesCoverFortyThousandRows();
};

void TestSelectionTools::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

void TestSelectionTools::checkAllAndUncheckAll()
{
    MessageListView list;
    for (int i = 0; i < 4; ++i)
        appendMessageRow(&list, entry("a", "s"));
    tick(&list, 1);
    checkAllRows(&list, true);
    QCOMPARE(ticks(&list), QStringLiteral("xxxx"));
    checkAllRows(&list, false);
    QCOMPARE(ticks(&list), QStringLiteral("...."));
    checkAllRows(&list, false);
    QCOMPARE(ticks(&list), QStringLiteral("...."));
}

void TestSelectionTools::workedSequence()
{
    MessageListView list;
    appendMessageRow(&list, entry("ann", "Invoice"));
    appendMessageRow(&list, entry("bob", "invoice 2"));
    appendMessageRow(&list, entry("cat", "Lunch"));
    bool flag = false;

    checkRowsByText(&list, "INVOICE", true, flag);
    QCOMPARE(ticks(&list), QStringLiteral("xx."));
    QVERIFY(flag);

    tick(&list, 2);  // the user ticks C
    checkRowsByText(&list, "zzz", true, flag);
    QCOMPARE(ticks(&list), QStringLiteral("xxx"));
    QVERIFY(flag);

    checkAllRows(&list, false);  // "Uncheck All Emails", whose caller clears the flag
    flag = false;
    tick(&list, 2);
    checkRowsByText(&list, "invoice", false, flag);
    QCOMPARE(ticks(&list), QStringLiteral("..x"));
    QVERIFY(flag);
}

void TestSelectionTools::firstPassClearsEveryTickBeforeTicking()
{
    // Added oldest first, shown newest first: the pass follows what the user sees.
    MessageListView list;
    const QStringList subjects{"e", "d", "match", "b", "a"};
    for (int i = 0; i < subjects.size(); ++i)
        setDayNumberCell(appendMessageRow(&list, entry("x", subjects.at(i),
                                                       QStringLiteral("1/%1/2021").arg(i + 1))),
                         QDateTime(QDate(2021, 1, i + 1), QTime(0, 0)));
    SortNewestFirst(&list);
    QCOMPARE(list.topLevelItem(0)->text(SubjectColumn), QStringLiteral("a"));

    for (int i : {0, 1, 3, 4})
        tick(&list, i);
    bool flag = false;
    checkRowsByText(&list, "MATCH", true, flag);
    QCOMPARE(ticks(&list), QStringLiteral("..x.."));
    QVERIFY(flag);
}

void TestSelectionTools::containingPassAfterCheckAllKeepsOnlyTheMatches()
{
    // 300 messages, 39 of them about an invoice, spread from the first row to the last.
    MessageListView list;
    QList<int> invoices;
    for (int entryNumber = 1; entryNumber <= 300; ++entryNumber) {
        const bool invoice = entryNumber % 8 == 1 && invoices.size() < 38;
        const bool last = entryNumber == 300;
        if (invoice || last)
            invoices << entryNumber;
        appendMessageRow(&list, entry("billing", invoice || last ? QStringLiteral("Your invoice")
                                                                 : QStringLiteral("News")));
    }
    QCOMPARE(invoices.size(), 39);
    checkAllRows(&list, true);
    bool flag = false;  // as "Check All Emails" leaves it
    checkRowsByText(&list, "INVOICE", true, flag);
    QCOMPARE(checkedEntryNumbers(&list), invoices);
    QVERIFY(flag);
}

void TestSelectionTools::passWithoutMatchKeepsTheFlag()
{
    MessageListView list;
    appendMessageRow(&list, entry("ann", "offer"));
    appendMessageRow(&list, entry("bob", "offer"));
    tick(&list, 0);

    // Nothing matches: with the flag down every row loses its tick and the flag stays down.
    bool flag = false;
    checkRowsByText(&list, "offer", false, flag);
    QCOMPARE(ticks(&list), QStringLiteral(".."));
    QVERIFY(!flag);

    // With the flag up nothing is cleared, and a pass never lowers it.
    tick(&list, 1);
    flag = true;
    checkRowsByText(&list, "nothing like it", true, flag);
    QCOMPARE(ticks(&list), QStringLiteral(".x"));
    QVERIFY(flag);
}

void TestSelectionTools::letterCaseIsIgnored()
{
    MessageListView list;
    QTreeWidgetItem *row = appendMessageRow(&list, entry("Zoë <ZOE@Example.COM>", "ÉTÉ À PARIS"));
    QVERIFY(rowContainsText(row, "zoë"));
    QVERIFY(rowContainsText(row, "ZOE@EXAMPLE.com"));
    QVERIFY(rowContainsText(row, "été à"));
    QVERIFY(rowContainsText(row, "Été À Paris"));
    QVERIFY(!rowContainsText(row, "ete"));  // a plain substring: accents are not folded
    QVERIFY(!rowContainsText(row, "paris!"));
}

void TestSelectionTools::letterCaseIsIgnoredAlikeInEveryLocale()
{
    // Turkish and Azeri lower "I" to a dotless "ı"; the search must not follow them.
    for (const char *name : {"tr_TR", "az_AZ", "de_DE", "en_US"}) {
        QLocale::setDefault(QLocale(QLatin1String(name)));
        MessageListView list;
        appendMessageRow(&list, entry("billing", "invoice 7"));
        appendMessageRow(&list, entry("ISTANBUL OFFICE", "hello"));
        appendMessageRow(&list, entry("x", "Straße"));
        bool flag = false;
        checkRowsByText(&list, "INVOICE", true, flag);
        QVERIFY2(ticks(&list) == QStringLiteral("x.."), name);
        QVERIFY2(rowContainsText(list.topLevelItem(1), "istanbul"), name);
        QVERIFY2(rowContainsText(list.topLevelItem(2), "STRAßE"), name);

        MessageEntry mail = entry("billing", "INVOICE 7");
        QVERIFY2(characterFilterAccepts("invoice", mail), name);
        QVERIFY2(!characterFilterAccepts("BILLING", mail), name);  // exact case outside the Subject
    }
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

void TestSelectionTools::emptyTextIsInEveryNonEmptyCell()
{
    MessageListView list;
    appendMessageRow(&list, entry("", "", ""));
    appendMessageRow(&list, entry("", "subject only", ""));
    appendMessageRow(&list, entry("", "", "1/1/2021"));
    QTreeWidgetItem *blank = list.topLevelItem(0);
    blank->setText(FromNameColumn, QStringLiteral("not searched"));
    QVERIFY(!rowContainsText(blank, ""));
    QVERIFY(rowContainsText(list.topLevelItem(1), ""));
    QVERIFY(rowContainsText(list.topLevelItem(2), ""));

    bool flag = false;
    checkRowsByText(&list, "", true, flag);
    QCOMPARE(ticks(&list), QStringLiteral(".xx"));
    checkAllRows(&list, false);
    flag = false;
    checkRowsByText(&list, "", false, flag);
    QCOMPARE(ticks(&list), QStringLiteral("x.."));
}

void TestSelectionTools::onlyFromSubjectAndReceivedDateAreSearched()
{
    MessageListView list;
    MessageEntry hidden = entry("ann", "hello", "1/1/2021");
    hidden.FromName = QStringLiteral("needle name");
    hidden.FromAddress = QStringLiteral("needle@example.com");
    QTreeWidgetItem *notSearched = appendMessageRow(&list, hidden);
    notSearched->setText(DayNumberColumn, QStringLiteral("needle"));
    QTreeWidgetItem *inFrom = appendMessageRow(&list, entry("Needle <n@x>", "hello"));
    QTreeWidgetItem *inSubject = appendMessageRow(&list, entry("ann", "a needle"));
    QTreeWidgetItem *inDate = appendMessageRow(&list, entry("ann", "hello", "needle 2021"));

    QVERIFY(!rowContainsText(notSearched, "needle"));
    QVERIFY(rowContainsText(inFrom, "needle"));
    QVERIFY(rowContainsText(inSubject, "needle"));
    QVERIFY(rowContainsText(inDate, "needle"));
    QVERIFY(!rowContainsText(inDate, "1/1/2021"));
    QVERIFY(rowContainsText(notSearched, "1/1/2021"));

    bool flag = false;
    checkRowsByText(&list, "needle", true, flag);
    QCOMPARE(ticks(&list), QStringLiteral(".xxx"));
}

void TestSelectionTools::passesCoverFortyThousandRows()
{
    constexpr int rows = 40000;
    MessageListView list;
    QSignalSpy userTicks(&list, &MessageListView::itemCheck);
    setListSorting(&list, false);
    QList<int> offers;
    QList<int> others;
    for (int entryNumber = 1; entryNumber <= rows; ++entryNumber) {
        const bool offer = entryNumber % 7 == 0 || entryNumber == rows;
        appendMessageRow(&list, entry(QStringLiteral("sender %1").arg(entryNumber),
                                      offer ? QStringLiteral("Special OFFER %1").arg(entryNumber)
                                            : QStringLiteral("message %1").arg(entryNumber)));
        (offer ? offers : others).append(entryNumber);
    }
    QCOMPARE(list.topLevelItemCount(), rows);
    const long long turnsBefore = platform::eventLoopTurnCount();

    bool flag = false;
    checkRowsByText(&list, "offer", true, flag);
    QCOMPARE(checkedEntryNumbers(&list), offers);
    QVERIFY(offers.contains(rows));

    checkAllRows(&list, false);
    flag = false;
    checkRowsByText(&list, "OFFER", false, flag);
    QCOMPARE(checkedEntryNumbers(&list), others);

    checkAllRows(&list, true);
    QCOMPARE(checkedEntryNumbers(&list).size(), rows);

    QCOMPARE(platform::eventLoopTurnCount(), turnsBefore);
    QCOMPARE(userTicks.count(), 0);
}

QTEST_MAIN(TestSelectionTools)
#include "tst_selectiontools.moc"
