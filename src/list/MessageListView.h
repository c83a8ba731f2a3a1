#pragma once
// The main window's message list widget. QTreeWidget::itemChanged fires for every check-state
// and text change, including the ones the program makes itself (adding rows, Check All, the
// text selection passes); the window's totals must only follow the user's own ticks, or a
// pass over 40,000 rows would recount the list 40,000 times. itemCheck is that narrower signal.

#include "platform/Wait.h"

#include <QTreeWidget>

class MessageListView : public QTreeWidget {
    Q_OBJECT
public:
    // Comes with the message list's columns already set up.
    explicit MessageListView(QWidget *parent = nullptr);

    // Ends when the list is destroyed: a count that gives the event loop turns holds a token.
    platform::LifeToken lifeToken() const { return m_life.token(); }
    // Renewed by every totals refresh, so that an older refresh interrupted by a newer one
    // (during one of its turns) knows its result is stale.
    platform::Lifetime &totalsRefresh() { return m_totalsRefresh; }

signals:
    // The user ticked or unticked `row` with the mouse or the keyboard.
    void itemCheck(QTreeWidgetItem *row);

protected:
    // Every user toggle of a check box (mouse click, space bar) reaches the item delegate
    // through edit(); program calls to setCheckState never do.
    bool edit(const QModelIndex &index, EditTrigger trigger, QEvent *event) override;

private:
    platform::Lifetime m_life;
    platform::Lifetime m_totalsRefresh;
};
