#include "list/SelectionTools.h"

#include "core/TextSearch.h"
#include "list/MessageList.h"

#include <QTreeWidget>

using namespace messagelist;

namespace {

const int SearchedColumns[] = {FromColumn, SubjectColumn, ReceivedDateColumn};

// `foldedNeedle` is already case-folded, so a pass over many rows folds it once.
bool rowContainsFolded(const QTreeWidgetItem *row, const QString &foldedNeedle)
{
    for (int column : SearchedColumns) {
        const QString cell = row->text(column);
        if (!cell.isEmpty() && containsFolded(cell, foldedNeedle))
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
    // Decided once: the pass sets the flag at its first match, and a decision taken row by
    // row would stop unticking there and leave every later row ticked.
    const bool untickFirst = !selectionPassFlag;
    const QString foldedNeedle = foldCase(x);
    const int rows = list->topLevelItemCount();
    bool tickedAny = false;
    for (int index = 0; index < rows; ++index) {
        QTreeWidgetItem *row = list->topLevelItem(index);
        if (untickFirst)
            row->setCheckState(FromColumn, Qt::Unchecked);
        if (rowContainsFolded(row, foldedNeedle) == containing) {
            row->setCheckState(FromColumn, Qt::Checked);
            tickedAny = true;
        }
    }
    if (tickedAny)
        selectionPassFlag = true;
}

bool rowContainsText(const QTreeWidgetItem *row, const QString &x)
{
    return rowContainsFolded(row, foldCase(x));
}
