#include "list/MessageRowItem.h"

#include "list/MessageListColumns.h"

#include <QTreeWidget>

namespace {

bool dayTextLess(const QString &left, const QString &right)
{
    if (left.isEmpty() || right.isEmpty())
        return left.isEmpty() && !right.isEmpty();
    bool leftIsNumber = false;
    bool rightIsNumber = false;
    const qint64 leftDay = left.toLongLong(&leftIsNumber);
    const qint64 rightDay = right.toLongLong(&rightIsNumber);
    if (leftIsNumber && rightIsNumber)
        return leftDay < rightDay;
    return left < right;
}

}  // namespace

void MessageRowItem::setData(int column, int role, const QVariant &value)
{
    // Before the base call: with sorting on, storing the text re-sorts the list at once.
    if (column == messagelist::DayNumberColumn && (role == Qt::DisplayRole || role == Qt::EditRole)) {
        const QString text = value.toString();
        bool isNumber = false;
        m_day = text.toLongLong(&isNumber);
        m_dayKind = text.isEmpty() ? DayKind::Empty : isNumber ? DayKind::Number : DayKind::Other;
    }
    QTreeWidgetItem::setData(column, role, value);
}

bool MessageRowItem::operator<(const QTreeWidgetItem &other) const
{
    const QTreeWidget *list = treeWidget();
    const int column = list ? list->sortColumn() : 0;
    if (column != messagelist::DayNumberColumn)
        return QTreeWidgetItem::operator<(other);
    if (other.type() == RowType) {
        const auto &otherRow = static_cast<const MessageRowItem &>(other);
        if (m_dayKind == DayKind::Number && otherRow.m_dayKind == DayKind::Number)
            return m_day < otherRow.m_day;
        if (m_dayKind == DayKind::Empty || otherRow.m_dayKind == DayKind::Empty)
            return m_dayKind == DayKind::Empty && otherRow.m_dayKind != DayKind::Empty;
    }
    return dayTextLess(text(column), other.text(column));
}
