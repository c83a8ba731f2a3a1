#pragma once
// The main window's message list widget. QTreeWidget::itemChanged fires for every check-state
// and text change, including the ones the program makes itself (adding rows, Check All, the
// text selection passes); the window's totals must only follow the user's own ticks, or a
// pass over 40,000 rows would recount the list 40,000 times. itemCheck is that narrower signal.
//
// A download hands its rows over through queueRow. Each insertion into a shown list tells an
// active accessibility bridge (a screen reader) about the change, and the bridge's work grows
// with the rows it already knows: one row at a time made a download with a screen reader
// several times slower. While such a bridge is active, rows therefore wait in a queue and join
// the list in blocks, one insertion for every block, at most a block interval after the first
// of them arrived. Without one, a row joins at once, as nothing is gained by waiting.

#include "platform/Wait.h"

#include <QList>
#include <QTimer>
#include <QTreeWidget>

class MessageListView : public QTreeWidget {
    Q_OBJECT
public:
    // Comes with the message list's columns already set up.
    explicit MessageListView(QWidget *parent = nullptr);
    ~MessageListView() override;

    // Ends when the list is destroyed: a count that gives the event loop turns holds a token.
    platform::LifeToken lifeToken() const { return m_life.token(); }
    // Renewed by every totals refresh, so that an older refresh interrupted by a newer one
    // (during one of its turns) knows its result is stale.
    platform::Lifetime &totalsRefresh() { return m_totalsRefresh; }

    // Takes `row` (not yet in any list) to be added after every row added or queued before it.
    void queueRow(QTreeWidgetItem *row);
    // Adds every queued row now, in one insertion. Whoever reads or orders all rows of a
    // download (its end, Stop) calls it first.
    void addQueuedRows();
    int queuedRowCount() const { return int(m_queued.size()); }
    // Rows in the list and rows queued for it.
    int rowCountWithQueued() const { return topLevelItemCount() + queuedRowCount(); }

    // The longest a queued row waits, in milliseconds: 0 adds every row at once, a negative
    // value chooses by whether an accessibility bridge is active (the default).
    static void setRowBlockInterval(int milliseconds);
    static constexpr int AccessibleRowBlockIntervalMs = 100;

signals:
    // The user ticked or unticked `row` with the mouse or the keyboard.
    void itemCheck(QTreeWidgetItem *row);

protected:
    // Every user toggle of a check box (mouse click, space bar) reaches the item delegate
    // through edit(); program calls to setCheckState never do.
    bool edit(const QModelIndex &index, EditTrigger trigger, QEvent *event) override;

private:
    void dropQueuedRows();

    platform::Lifetime m_life;
    QList<QTreeWidgetItem *> m_queued;
    QTimer m_blockTimer;
    platform::Lifetime m_totalsRefresh;
};
