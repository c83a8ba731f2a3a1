#include "mail/MessageEntry.h"

#include "core/AppError.h"

void MessageEntryTable::recreate(int last)
{
    m_entries = QVector<MessageEntry>(qMax(0, last));
}

const MessageEntry &MessageEntryTable::at(int position) const
{
    if (position < 1 || position > m_entries.size())
        apperror::throwSubscriptOutOfRange();
    return m_entries[position - 1];
}

MessageEntry &MessageEntryTable::at(int position)
{
    if (position < 1 || position > m_entries.size())
        apperror::throwSubscriptOutOfRange();
    return m_entries[position - 1];
}
