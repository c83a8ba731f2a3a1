#include "list/MessageList.h"

#include "core/GeneralDate.h"
#include "list/MessageListView.h"
#include "list/MessageRowItem.h"
#include "platform/EventLoop.h"
#include "platform/Wait.h"

#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QTreeWidget>

using namespace messagelist;

namespace {

int countTurnIntervalMs = DefaultCountTurnIntervalMs;

// checkState() converts through the meta-type system; the stored int is read a third faster.
bool isChecked(const QTreeWidgetItem *row)
{
    return row->data(FromColumn, Qt::CheckStateRole).toInt() == Qt::Checked;
}

void setLabelText(QLabel *label, const QString &text)
{
    if (label)
        label->setText(text);
}

}  // namespace

QString dayNumberText(const QDateTime &received)
{
    return received.isValid() ? QString::number(dayNumber(received)) : QString();
}

namespace {

// Filled before it joins the list, so that no itemChanged is raised per cell.
QTreeWidgetItem *newMessageRow(const MessageEntry &entry, int entryNumber)
{
    auto *row = new MessageRowItem;
    row->setText(FromColumn, entry.From);
    row->setText(FromNameColumn, entry.FromName);
    row->setText(FromAddressColumn, entry.FromAddress);
    row->setText(SubjectColumn, entry.Subject);
    row->setText(ReceivedDateColumn, entry.ReceivedDate);
    row->setCheckState(FromColumn, Qt::Unchecked);
    row->setData(FromColumn, EntryNumberRole, entryNumber);
    return row;
}

}  // namespace

QTreeWidgetItem *appendMessageRow(QTreeWidget *list, const MessageEntry &entry)
{
    QTreeWidgetItem *row = newMessageRow(entry, list->topLevelItemCount() + 1);
    list->addTopLevelItem(row);
    return row;
}

QTreeWidgetItem *queueMessageRow(MessageListView *list, const MessageEntry &entry)
{
    QTreeWidgetItem *row = newMessageRow(entry, list->rowCountWithQueued() + 1);
    list->queueRow(row);
    return row;
}

void setDayNumberCell(QTreeWidgetItem *row, const QDateTime &received)
{
    row->setText(DayNumberColumn, dayNumberText(received));
}

int entryNumberOf(const QTreeWidgetItem *row)
{
    return row->data(FromColumn, EntryNumberRole).toInt();
}

void RefreshTotals(MessageListView *list, QLabel *label1, QLabel *label2, bool reset)
{
    if (reset) {
        if (list)
            list->totalsRefresh().renew();
        setLabelText(label1, QStringLiteral("Total Number Of Emails: 0"));
        setLabelText(label2, QStringLiteral("Selected Emails: 0"));
        return;
    }
    if (!list)
        return;
    // The count gives the event loop turns: a tick handled in one of them runs its own, newer
    // refresh to the end, and the window may close. Either way this refresh's token dies, and
    // the result it counted, which misses that tick, is not written.
    list->totalsRefresh().renew();
    const platform::LifeToken thisRefresh = list->totalsRefresh().token();
    const QPointer<QLabel> label2Alive(label2);
    setLabelText(label1, QStringLiteral("Total Number Of Emails: ")
                             + QString::number(list->topLevelItemCount()));
    const qint32 checked = CountCheckedRows(list);
    if (thisRefresh.alive())
        setLabelText(label2Alive, QStringLiteral("Selected Emails: ") + QString::number(checked));
}

void setCountTurnInterval(int milliseconds)
{
    countTurnIntervalMs = qMax(0, milliseconds);
}

qint32 CountCheckedRows(MessageListView *list)
{
    if (!list)
        return 0;
    // Reading the clock costs about as much as reading a row, so it is read every few rows.
    const int rowsPerClockReading = countTurnIntervalMs == 0 ? 1 : 32;
    const platform::LifeToken life = list->lifeToken();
    QElapsedTimer sinceTurn;
    sinceTurn.start();
    qint32 checked = 0;
    bool rowsSinceTurn = false;
    // Rows may be removed during a turn (Clear List), so the row count is read again before
    // every row is touched; the list itself may go away in a turn too.
    for (int index = 0; life.alive() && index < list->topLevelItemCount(); ++index) {
        if (isChecked(list->topLevelItem(index)))
            ++checked;
        rowsSinceTurn = true;
        if ((index + 1) % rowsPerClockReading == 0 && sinceTurn.elapsed() >= countTurnIntervalMs) {
            platform::giveEventLoopTurn();
            sinceTurn.restart();
            rowsSinceTurn = false;
        }
    }
    if (rowsSinceTurn && life.alive())
        platform::giveEventLoopTurn();  // one turn after the last rows too, as after every stretch
    return checked;
}

void setListSorting(QTreeWidget *list, bool on)
{
    if (!on) {
        list->setSortingEnabled(false);
        return;
    }
    if (!list->isSortingEnabled()) {
        // Set before enabling, so that enabling sorts once, by the right column.
        list->header()->setSortIndicator(DayNumberColumn, Qt::DescendingOrder);
        list->setSortingEnabled(true);
    }
    // Enabling sorting makes the headers clickable; the order is the program's, not the user's.
    list->header()->setSectionsClickable(false);
    // The designed widths hold; the last visible column must not stretch into the free space.
    list->header()->setStretchLastSection(false);
}

void SortNewestFirst(QTreeWidget *list)
{
    if (list->isSortingEnabled())
        list->sortItems(DayNumberColumn, Qt::DescendingOrder);
    else
        setListSorting(list, true);
}

QList<int> checkedEntryNumbers(const QTreeWidget *list)
{
    QList<int> numbers;
    const int rows = list->topLevelItemCount();
    for (int index = 0; index < rows; ++index) {
        const QTreeWidgetItem *row = list->topLevelItem(index);
        if (isChecked(row))
            numbers.append(entryNumberOf(row));
    }
    return numbers;
}
