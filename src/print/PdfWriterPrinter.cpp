#include "print/PdfWriterPrinter.h"

#include "platform/PrinterSystem.h"
#include "print/Printers.h"

void registerPdfWriterPrinter()
{
    // The writer lists and can be the default now; writing the named PDF files comes with the
    // PDF options window. Until then a job on it fails and says why.
    platform::printerSystem().addVirtualPrinter(
        pdfWriterName(), [](const QString &, const QString &, QString *error) {
            if (error)
                *error = QStringLiteral("The PDF writer cannot write PDF files in this version yet.");
            return false;
        });
}
