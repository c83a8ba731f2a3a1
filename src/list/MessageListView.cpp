#include "list/MessageListView.h"

#include "list/MessageListColumns.h"

#include <QPointer>

MessageListView::MessageListView(QWidget *parent) : QTreeWidget(parent)
{
    setupMessageListColumns(this);
}

bool MessageListView::edit(const QModelIndex &index, EditTrigger trigger, QEvent *event)
{
    const QVariant before = index.data(Qt::CheckStateRole);
    const QPersistentModelIndex watched(index);
    QPointer<MessageListView> self(this);
    const bool handled = QTreeWidget::edit(index, trigger, event);
    if (!self || !watched.isValid() || before.isNull())
        return handled;
    if (watched.data(Qt::CheckStateRole) != before) {
        if (QTreeWidgetItem *row = itemFromIndex(watched))
            emit itemCheck(row);
    }
    return handled;
}
