#pragma once
// The web engine's PDFs carry no title or author; a reader's window and file lists show them, so
// each message's PDF gets its subject and its sender there.

#include <QString>

// Sets the document title of the PDF at `pdfPath` by appending an update to the file (the
// original bytes stay as they are). False when the file is not a PDF this can update or
// cannot be written; the PDF is then still whole.
bool setPdfTitle(const QString &pdfPath, const QString &title);

// `pdf` with its document title set the same way, by an update after the original bytes; empty
// when `pdf` is not a PDF this can update.
QByteArray pdfWithTitle(const QByteArray &pdf, const QString &title);

// `pdf` with its document title and author set by one such update; an empty text leaves that
// entry as it was. Empty when `pdf` is not a PDF this can update, or when both texts are empty.
QByteArray pdfWithInfo(const QByteArray &pdf, const QString &title, const QString &author);

// The bytes of a PDF text string beyond ASCII: UTF-16BE after its byte-order mark.
QByteArray pdfUtf16Text(const QString &text);
