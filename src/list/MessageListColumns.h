#pragma once
// The message list's columns: their indexes, headers and designed widths, shared by the list's
// functions, its view and its rows.

#include <qnamespace.h>

class QTreeWidget;

namespace messagelist {
// Column indexes (the sixth column holds the day number the list sorts by; it is hidden).
enum Column {
    FromColumn = 0,
    FromNameColumn = 1,
    FromAddressColumn = 2,
    SubjectColumn = 3,
    ReceivedDateColumn = 4,
    DayNumberColumn = 5,
    ColumnCount = 6
};
// Item data role on the From column that carries the row's entry number.
inline constexpr int EntryNumberRole = Qt::UserRole;
}  // namespace messagelist

// Six columns with their headers and widths, the sixth hidden; no user sorting.
void setupMessageListColumns(QTreeWidget *list);
