#pragma once
// The main window's selection buttons: Check All / Uncheck All, and ticking the rows whose
// From, Subject or Received Date contains (or does not contain) a text.
//
// None of these raise MessageListView::itemCheck; the caller refreshes the totals once after
// the pass.

#include <QString>

class QTreeWidget;
class QTreeWidgetItem;

// Sets every row's check box. The caller refreshes the totals and clears its selection-pass
// flag, so that the next text pass starts from a clean list.
void checkAllRows(QTreeWidget *list, bool checked);

// Walks the rows top to bottom. When `selectionPassFlag` is false as the pass begins, every
// row is unticked before it is tested; otherwise the pass only adds ticks. A row that matches
// (containing: one of the three cells contains `x`; otherwise: none does) is ticked. A pass
// that ticked a row sets the flag, so later passes add to the selection; it never clears it.
void checkRowsByText(QTreeWidget *list, const QString &x, bool containing, bool &selectionPassFlag);

// Whether the row's From, Subject or Received Date contains `x`, letter case ignored the same
// way in every locale. An empty `x` is found in every non-empty cell and in no empty one.
bool rowContainsText(const QTreeWidgetItem *row, const QString &x);
