#include "mail/MessageEntry.h"

#include "core/AppError.h"

void MessageEntryTable::store(int position, const MessageEntry &entry)
{
    if (position == m_entries.size() + 1)
        m_entries.append(entry);
    else
        at(position) = entry;
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
