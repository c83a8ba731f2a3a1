#pragma once
// The web engine's PDFs carry no title; a reader's window and file lists show the title, so
// each message's PDF gets its subject there.

#include <QString>

// Sets the document title of the PDF at `pdfPath` by appending an update to the file (the
// original bytes stay as they are). False when the file is not a PDF this can update or
// cannot be written; the PDF is then still whole.
bool setPdfTitle(const QString &pdfPath, const QString &title);

// `subject` as a document title: line breaks, tabs and the line and paragraph separators
// become blanks and every other invisible control (see PdfFileName.h) disappears, so that a
// reader's caption shows the characters in the order they are stored, on one line.
QString pdfTitleText(const QString &subject);
