#include "platform/PrinterSystem.h"

namespace platform {

QString printCancelledText()
{
    return QStringLiteral("The print job was cancelled.");
}

bool PrinterSystem::printPdfUnlessCancelled(const PrintJob &job, const QString &pdfPath,
                                            const PrintCancelCheck &cancelRequested, QString *error)
{
    if (cancelRequested && cancelRequested()) {
        if (error)
            *error = printCancelledText();
        return false;
    }
    return printPdf(job, pdfPath, error);
}

void PrinterSystem::rememberDefaults()
{
    m_remembered = true;
    m_rememberedDefault = defaultPrinterName();
    m_rememberedServiceDefault = printServiceDefaultName();
}

bool PrinterSystem::restoreDefaults()
{
    if (!m_remembered)
        return true;
    bool ok = true;
    // The print service's default first: making a print service printer the default also ends
    // one of the program's own printers' turn as the default, which the second call restores.
    if (m_rememberedServiceDefault && m_rememberedServiceDefault != m_rememberedDefault)
        ok = setDefaultPrinter(*m_rememberedServiceDefault);
    if (m_rememberedDefault)
        ok = setDefaultPrinter(*m_rememberedDefault) && ok;
    return ok;
}

}  // namespace platform
