#pragma once
// Finds the text a reader sees in a parsed message: the first text/plain and the first
// text/html part that are not attachments.

#include "mime/MimeLibrary.h"

#include <QByteArray>
#include <QString>
#include <optional>

struct MimeTextBodies {
    std::optional<QString> plain;
    std::optional<QString> html;
    // The parts the texts came from (owned by the message), so that nothing else counts them
    // as attachments.
    GMimePart *plainPart = nullptr;
    GMimePart *htmlPart = nullptr;
};

// Walks the MIME tree under root depth-first in document order. Parts with
// "Content-Disposition: attachment" are skipped (a file name alone does not make an
// attachment); transfer encoding and charset are decoded; CRLF line ends become LF.
MimeTextBodies findTextBodies(GMimeObject *root);

// A part's content with its transfer encoding undone; empty when it has none.
QByteArray decodedContent(GMimePart *part);
// A base64 part's content still in base64, as the message carries it; nothing for a part in
// any other transfer encoding.
std::optional<QByteArray> base64Content(GMimePart *part);
