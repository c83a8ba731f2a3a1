#pragma once
// A search as the user types it in Gmail's search language, made into the keys of an IMAP
// UID SEARCH: whole, for a server that runs Gmail's own search (X-GM-RAW), or translated into
// standard SEARCH keys for any other server, which understands only a common part of it.

#include "imap/ImapSearchRequest.h"

#include <QString>
#include <optional>

struct GmailSearchKeys {
    std::optional<ImapSearchRequest> request;
    QString problem;  // why there is no request, for the user
};

// The query for the server's own Gmail search.
GmailSearchKeys gmailRawSearch(const QString &query);

// The query in standard SEARCH keys: from:, to:, cc:, bcc:, subject:, after:/newer:,
// before:/older: (dates as Gmail writes them), plain words and "quoted phrases" (TEXT), each
// negated by a leading "-". Anything else is refused with a problem that names it.
GmailSearchKeys standardSearch(const QString &query);

// Whether a CAPABILITY answer (its raw lines) offers Gmail's extensions (X-GM-EXT-1).
bool offersGmailSearch(const QString &capabilityAnswer);
