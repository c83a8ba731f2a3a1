#pragma once
// How strings travel in the commands the client writes: quoted or as literals.

#include <QByteArray>

// Writes a string as an IMAP quoted string with \" and \\ escaped. Only for bytes that may be
// quoted (see needsImapLiteral).
QByteArray quoteImapString(const QByteArray &bytes);
// True when bytes cannot travel in a quoted string: 8-bit bytes, CR or LF. NUL can travel in
// neither form; see containsImapNul.
bool needsImapLiteral(const QByteArray &bytes);
bool containsImapNul(const QByteArray &bytes);
