#pragma once
// Characters that a line of text shown to a person should never carry as they are: the control
// characters, which end or garble a line (in a listing, a log, a shell command line), and the
// bidirectional marks, embeddings, overrides and isolates, which show characters in an order
// other than the stored one (a "fdp.exe" that is really "exe.pdf").

#include <QString>

namespace platform {

inline bool isInvisibleControl(char32_t code)
{
    return code < 0x20 || (code >= 0x7f && code <= 0x9f) || code == 0x061c || code == 0x200e
        || code == 0x200f || (code >= 0x202a && code <= 0x202e)
        || (code >= 0x2066 && code <= 0x2069) || code == 0x2028 || code == 0x2029;
}

// `text` as one line in stored order: line breaks, tabs and the line and paragraph separators
// become blanks, every other invisible control goes, and the ends are trimmed.
QString oneShownLine(const QString &text);

}  // namespace platform
