#pragma once
// Header text as a reader sees it: folding removed, RFC 2047 encoded words decoded.

#include <QByteArray>
#include <QString>

// GMime decodes a run of adjacent base64 ("B") encoded words of one charset as a single base64
// stream and stops at the first padding "=", so a character split across words (which some
// mailers write) loses the rest of the header. This joins such runs into one encoded word
// first. Text that needs no joining comes back unchanged.
QByteArray joinSplitBase64Words(const QByteArray &header);

// Unfolds the raw header value and decodes its encoded words (unstructured text; 8-bit bytes
// are read as UTF-8, or Latin-1 where they are not valid UTF-8). Leading and trailing white
// space is dropped.
QString decodeHeaderText(const QByteArray &rawValue);

// The raw value unfolded (line breaks of folding removed), with split base64 words joined.
QByteArray unfoldHeader(const QByteArray &rawValue);
