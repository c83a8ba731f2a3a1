#pragma once
// Turns the bytes of a message part into Unicode according to the part's charset, without
// ever losing text to a missing, wrong or unknown charset.

#include <QByteArray>
#include <QString>

// UTF-8 where the bytes are valid UTF-8; every byte that is not part of a valid sequence is
// read as windows-1252 (Latin-1 with quotes, dashes and the euro sign in 0x80-0x9f, where
// Latin-1 has only control characters). This is how text with no charset (or a charset we
// cannot convert) is read.
QString decodeUtf8WithWindows1252Fallback(const QByteArray &bytes);

// Decodes bytes in the named MIME charset. No charset, US-ASCII, UTF-8 and unknown charsets go
// through decodeUtf8WithWindows1252Fallback; ISO-8859-1 is read as windows-1252 as browsers do;
// anything else goes through iconv, with U+FFFD for each byte the charset does not allow.
QString decodeCharset(const QByteArray &bytes, const QByteArray &charset);
