#include "list/CharacterFilter.h"

#include "core/TextSearch.h"

bool characterFilterAccepts(const QString &filter, const MessageEntry &entry)
{
    if (filter.isEmpty())
        return true;
    return entry.From.contains(filter) || entry.FromName.contains(filter)
        || entry.FromAddress.contains(filter) || entry.ReceivedDate.contains(filter)
        || entry.PlainTextBody.contains(filter) || containsIgnoringCase(entry.Subject, filter);
}
