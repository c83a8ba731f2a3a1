#pragma once
// The table of a download's messages, each kept as the record the parser made.

#include "mime/MailMessage.h"

#include <QVector>

// Positions 1 to n, filled as a download's rows arrive: the table costs memory for the messages
// obtained, never for the size of the range asked for. A position outside 1 to n raises
// "Subscript out of range".
class MessageEntryTable {
public:
    void clear() { m_entries.clear(); }
    // Stores `entry` at `position`: an existing one, or one past the end, which grows the table.
    void store(int position, const MessageEntry &entry);
    int last() const { return int(m_entries.size()); }
    const MessageEntry &at(int position) const;

private:
    int checkedIndex(int position) const;
    QVector<MessageEntry> m_entries;
};
