#include "imap/ImapCommandWriting.h"

QByteArray quoteImapString(const QByteArray &bytes)
{
    QByteArray quoted;
    quoted.reserve(bytes.size() + 2);
    quoted.append('"');
    for (char c : bytes) {
        if (c == '"' || c == '\\')
            quoted.append('\\');
        quoted.append(c);
    }
    quoted.append('"');
    return quoted;
}

bool needsImapLiteral(const QByteArray &bytes)
{
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80 || c == '\r' || c == '\n')
            return true;
    }
    return false;
}

bool containsImapNul(const QByteArray &bytes)
{
    return bytes.contains('\0');
}
