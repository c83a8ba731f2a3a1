#pragma once
// The main window's message list widget. QTreeWidget::itemChanged fires for every check-state
// and text change, including the ones the program makes itself (adding rows, Check All, the
// text selection passes); the window's totals must only follow the user's own ticks, or a
// pass over 40,000 rows would recount the list 40,000 times. itemCheck is that narrower signal.

#include <QTreeWidget>

class MessageListView : public QTreeWidget {
    Q_OBJECT
public:
    // Comes with the message list's columns already set up.
    explicit MessageListView(QWidget *parent = nullptr);

signals:
    // The user ticked or unticked `row` with the mouse or the keyboard.
    void itemCheck(QTreeWidgetItem *row);

protected:
    // Every user toggle of a check box (mouse click, space bar) reaches the item delegate
    // through edit(); program calls to setCheckState never do.
    bool edit(const QModelIndex &index, EditTrigger trigger, QEvent *event) override;
};
