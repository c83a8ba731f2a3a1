#include "mail/MessageEntry.h"

#include "core/AppError.h"

void MessageEntryTable::store(int position, const MessageEntry &entry)
{
    if (position == m_entries.size() + 1)
        m_entries.append(entry);
    else
        m_entries.replace(checkedIndex(position), entry);
}

const MessageEntry &MessageEntryTable::at(int position) const
{
    return m_entries[checkedIndex(position)];
}

int MessageEntryTable::checkedIndex(int position) const
{
    if (position < 1 || position > m_entries.size())
        apperror::throwSubscriptOutOfRange();
    return position - 1;
}
