#pragma once
// One downloaded message as the windows keep it, and the table of a download's entries.

#include "mime/InlinePicture.h"

#include <QDateTime>
#include <QString>
#include <QVector>

struct MessageEntry {
    QString From;
    QString FromName;
    QString FromAddress;
    QString Subject;
    QString ReceivedDate;  // the locale's text, as shown
    QString PlainTextBody;
    QString HTMLTextBody;  // "cid:" references as the message wrote them
    // The date-time ReceivedDate was written from, kept so that nothing has to read the shown
    // text back (not every locale's text reads back). Invalid when the message had no date.
    QDateTime ReceivedDateTime;
    // The pictures HTMLTextBody shows by "cid:", each once: a picture the body names ten thousand
    // times costs its own size, not ten thousand copies. A page turns the references into
    // addresses when it is built.
    QVector<InlinePicture> InlinePictures;
};

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
    MessageEntry &at(int position);

private:
    QVector<MessageEntry> m_entries;
};
