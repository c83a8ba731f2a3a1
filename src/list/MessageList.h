#pragma once
// The main window's message list (ListView1): a report-style QTreeWidget with a check box in
// front of every row, one row per downloaded message, and the two totals labels under it.
//
// A row keeps the six cell texts copied from its MessageEntry when it was added, its check
// state and its entry number: the position of its MessageEntry in the download's table. Sorting
// re-orders rows, so a row's message is always reached through its entry number, never
// through the row's position.

#include "list/MessageListColumns.h"
#include "mail/MessageEntry.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QtGlobal>

class MessageListView;
class QLabel;
class QTreeWidget;
class QTreeWidgetItem;

// The decimal day number of a message's received date-time; empty text when it has none.
// Taken from the date-time itself, never from the shown text, so every locale sorts alike.
QString dayNumberText(const QDateTime &received);

// Adds a row for `entry` (unchecked, day-number cell empty). Its entry number is the number
// of rows right after adding it. The list owns the returned row.
QTreeWidgetItem *appendMessageRow(QTreeWidget *list, const MessageEntry &entry);
// The same row for a download: queued (MessageListView::queueRow), its entry number the
// number of rows in the list and in its queue right after queueing it. The row may still be
// outside the list when this returns; its cells may be written until it joins.
QTreeWidgetItem *queueMessageRow(MessageListView *list, const MessageEntry &entry);
// Fills the day-number cell; a row without a date keeps it empty and sorts last.
void setDayNumberCell(QTreeWidgetItem *row, const QDateTime &received);
int entryNumberOf(const QTreeWidgetItem *row);

// Writes "Total Number Of Emails: n" and "Selected Emails: n"; with reset, both say 0
// without looking at the list.
// A refresh that a newer one overtook during its count leaves the labels to the newer one.
void RefreshTotals(MessageListView *list, QLabel *label1, QLabel *label2, bool reset);
// Counts checked rows top to bottom. Between rows it gives the event loop a turn whenever
// the count turn interval has passed since the last one, so a click made during a long count
// is handled while it runs; rows removed in a turn end the count early instead of being read,
// and a list destroyed in a turn ends it with the rows counted so far.
qint32 CountCheckedRows(MessageListView *list);

// A turn after every row cost more than the count itself (about 2 microseconds a turn, over
// 100 ms for 50,000 rows on a busy machine); every 10 ms keeps the window responsive for a
// fraction of that. 0 gives a turn after every row, which tests use to act between rows.
inline constexpr int DefaultCountTurnIntervalMs = 10;
void setCountTurnInterval(int milliseconds);

// Sorts by day number, newest first, rows without a day number last, and leaves sorting on.
void SortNewestFirst(QTreeWidget *list);
// Turns keeping the rows sorted newest first on or off (off while a download adds rows).
void setListSorting(QTreeWidget *list, bool on);

// Entry numbers of the checked rows, top to bottom as shown.
QList<int> checkedEntryNumbers(const QTreeWidget *list);
