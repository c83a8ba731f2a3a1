#pragma once
// The character filter: which downloaded messages enter the list while a filter text is set.

#include "mail/MessageEntry.h"

#include <QString>

// True when `filter` is empty, or when it occurs in the From, From Name, From Address,
// Received Date text or plain-text body with exact case, or in the Subject with letter case
// ignored. The HTML body is not searched.
bool characterFilterAccepts(const QString &filter, const MessageEntry &entry);
