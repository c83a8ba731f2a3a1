#include "list/MessageListColumns.h"

#include "core/Twips.h"

#include <QHeaderView>
#include <QTreeWidget>

using namespace messagelist;

void setupMessageListColumns(QTreeWidget *list)
{
    static const int widthsInTwips[ColumnCount] = {1300, 1300, 1600, 1600, 1600, 0};
    list->setColumnCount(ColumnCount);
    list->setHeaderLabels({QStringLiteral("From"), QStringLiteral("From Name"),
                           QStringLiteral("From Address"), QStringLiteral("Subject"),
                           QStringLiteral("Received Date"), QStringLiteral("RecDate")});
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setSortingEnabled(false);
    list->header()->setSectionsClickable(false);
    // The designed widths hold; the last visible column must not stretch into the free space.
    list->header()->setStretchLastSection(false);
    for (int column = 0; column < ColumnCount; ++column)
        list->setColumnWidth(column, twips(widthsInTwips[column]));
    list->setColumnHidden(DayNumberColumn, true);
}
