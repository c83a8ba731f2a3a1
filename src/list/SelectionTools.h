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

// Walks the rows top to bottom. While `selectionPassFlag` is false, each visited row is first
// unticked; a row that matches (containing: one of the three cells contains `x`; otherwise:
// none does) is ticked and sets the flag, so later passes add to the selection. The flag is
// never cleared here.
void checkRowsByText(QTreeWidget *list, const QString &x, bool containing, bool &selectionPassFlag);

// Whether the row's From, Subject or Received Date contains `x`, letter case ignored. An
// empty `x` is found in every non-empty cell and in no empty one.
bool rowContainsText(const QTreeWidgetItem *row, const QString &x);
