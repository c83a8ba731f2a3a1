#include "list/SelectionTools.h"

#include "list/MessageList.h"

#include <QLocale>
#include <QTreeWidget>

using namespace messagelist;

namespace {

const int SearchedColumns[] = {FromColumn, SubjectColumn, ReceivedDateColumn};

// `lowerNeedle` is already lower-cased, so a pass over many rows lowers it once.
bool cellContains(const QString &cell, const QString &lowerNeedle, const QLocale &locale)
{
    if (cell.isEmpty())
        return false;
    return locale.toLower(cell).contains(lowerNeedle, Qt::CaseSensitive);
}

bool rowContainsLowered(const QTreeWidgetItem *row, const QString &lowerNeedle,
                        const QLocale &locale)
{
    for (int column : SearchedColumns) {
        if (cellContains(row->text(column), lowerNeedle, locale))
            return true;
    }
    return false;
}

}  // namespace

void checkAllRows(QTreeWidget *list, bool checked)
{
    const Qt::CheckState state = checked ? Qt::Checked : Qt::Unchecked;
    const int rows = list->topLevelItemCount();
    for (int index = 0; index < rows; ++index)
        list->topLevelItem(index)->setCheckState(FromColumn, state);
}

void checkRowsByText(QTreeWidget *list, const QString &x, bool containing, bool &selectionPassFlag)
{
    const QLocale locale;
    const QString lowerNeedle = locale.toLower(x);
    const int rows = list->topLevelItemCount();
    for (int index = 0; index < rows; ++index) {
        QTreeWidgetItem *row = list->topLevelItem(index);
        if (!selectionPassFlag)
            row->setCheckState(FromColumn, Qt::Unchecked);
        if (rowContainsLowered(row, lowerNeedle, locale) == containing) {
            row->setCheckState(FromColumn, Qt::Checked);
            selectionPassFlag = true;
        }
    }
}

bool rowContainsText(const QTreeWidgetItem *row, const QString &x)
{
    const QLocale locale;
    return rowContainsLowered(row, locale.toLower(x), locale);
}
