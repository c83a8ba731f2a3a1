#include "imap/ImapSearchRequest.h"

bool needsUtf8Charset(const ImapSearchRequest &request)
{
    for (const ImapSearchPart &part : request.parts) {
        for (char c : part.bytes) {
            if (static_cast<unsigned char>(c) >= 0x80)
                return true;
        }
    }
    return false;
}
