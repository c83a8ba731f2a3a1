#include "platform/PdfPageCount.h"

#include <qpdf/QPDF.hh>

#include <exception>

namespace platform {

int pdfPageCount(const QByteArray &pdf)
{
    try {
        QPDF document;
        document.setSuppressWarnings(true);
        // qpdf repairs a damaged cross-reference table itself; only what it cannot read fails.
        document.processMemoryFile("page", pdf.constData(), size_t(pdf.size()));
        return int(document.getAllPages().size());
    } catch (const std::exception &) {
        return -1;
    }
}

}  // namespace platform
