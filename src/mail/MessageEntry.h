#pragma once
// One downloaded message as the windows keep it, and the table of a download's entries.

#include <QString>
#include <QVector>

struct MessageEntry {
    QString From;
    QString FromName;
    QString FromAddress;
    QString Subject;
    QString ReceivedDate;
    QString PlainTextBody;
    QString HTMLTextBody;
};

// Positions 1 to n; a position outside that range raises "Subscript out of range".
class MessageEntryTable {
public:
    // Empty entries at positions 1 to `last` (none when last < 1).
    void recreate(int last);
    int last() const { return m_entries.size(); }
    const MessageEntry &at(int position) const;
    MessageEntry &at(int position);

private:
    QVector<MessageEntry> m_entries;
};
