#pragma once
// How many pages a PDF holds, read from its page tree (qpdf), so that a document of thousands
// of pages is known before any of it is sent anywhere.

#include <QByteArray>

namespace platform {

// The page count of the PDF in `pdf`; -1 when it cannot be read as a PDF.
int pdfPageCount(const QByteArray &pdf);

}  // namespace platform
