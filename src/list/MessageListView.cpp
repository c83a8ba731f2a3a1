#include "list/MessageListView.h"

#include "list/MessageListColumns.h"

#include <QAccessible>
#include <QPointer>
#include <utility>

namespace {

int chosenRowBlockIntervalMs = -1;

int rowBlockIntervalMs()
{
    if (chosenRowBlockIntervalMs >= 0)
        return chosenRowBlockIntervalMs;
    return QAccessible::isActive() ? MessageListView::AccessibleRowBlockIntervalMs : 0;
}

}  // namespace

MessageListView::MessageListView(QWidget *parent) : QTreeWidget(parent)
{
    setupMessageListColumns(this);
    m_blockTimer.setSingleShot(true);
    connect(&m_blockTimer, &QTimer::timeout, this, &MessageListView::addQueuedRows);
    // Emptying the list (clear(), a disconnect) takes the rows still queued with it.
    connect(model(), &QAbstractItemModel::modelAboutToBeReset, this, &MessageListView::dropQueuedRows);
}

MessageListView::~MessageListView()
{
    // The base class empties the model after this object's members are gone.
    disconnect(model(), nullptr, this, nullptr);
    qDeleteAll(m_queued);
}

void MessageListView::setRowBlockInterval(int milliseconds)
{
    chosenRowBlockIntervalMs = milliseconds;
}

void MessageListView::queueRow(QTreeWidgetItem *row)
{
    const int interval = rowBlockIntervalMs();
    if (interval == 0 && m_queued.isEmpty()) {
        addTopLevelItem(row);
        return;
    }
    m_queued.append(row);
    if (interval == 0)
        addQueuedRows();
    else if (!m_blockTimer.isActive())
        m_blockTimer.start(interval);
}

void MessageListView::addQueuedRows()
{
    m_blockTimer.stop();
    if (m_queued.isEmpty())
        return;
    const QList<QTreeWidgetItem *> block = std::exchange(m_queued, {});
    addTopLevelItems(block);
}

void MessageListView::dropQueuedRows()
{
    m_blockTimer.stop();
    qDeleteAll(std::exchange(m_queued, {}));
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
