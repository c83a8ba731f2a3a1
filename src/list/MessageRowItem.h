#pragma once
// One row of the message list. It differs from a plain QTreeWidgetItem only in how it orders
// itself by the day-number column.

#include <QTreeWidgetItem>

class MessageRowItem : public QTreeWidgetItem {
public:
    static constexpr int RowType = QTreeWidgetItem::UserType + 1;

    MessageRowItem() : QTreeWidgetItem(RowType) {}

    void setData(int column, int role, const QVariant &value) override;

    // Day numbers are compared as numbers, so that a date before 1927 (a four-digit day
    // number, seen in malformed Date headers) does not sort above this year's mail the way a
    // plain text comparison would put it. For five-digit day numbers, that is every date from
    // 1927 to 2173, the order is the same as comparing the texts. An empty day number is
    // below every number, so newest-first puts such rows last.
    bool operator<(const QTreeWidgetItem &other) const override;

private:
    // The day-number cell read once when it is set: reading cell texts through QVariant in
    // every comparison made sorting 50,000 rows take several times longer.
    enum class DayKind { Empty, Number, Other };
    DayKind m_dayKind = DayKind::Empty;
    qint64 m_day = 0;
};
