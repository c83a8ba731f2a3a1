#include "platform/PrinterSystem.h"

#include "platform/PrivateTempFolder.h"

#include <QTemporaryFile>

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

bool printThroughFile(const QByteArray &pdf, const std::function<bool(const QString &path)> &print, QString *error)
{
    QTemporaryFile file(privateTempFolder() + QStringLiteral("/print-XXXXXX.pdf"));
    if (!file.open() || file.write(pdf) != pdf.size() || !file.flush()) {
        if (error)
            *error = QStringLiteral("Cannot write the page's PDF: %1").arg(file.errorString());
        return false;
    }
    file.close();
    return print(file.fileName());
}

bool PrinterSystem::printPdfData(const PrintJob &job, const QByteArray &pdf, const PrintCancelCheck &cancelRequested,
                                 QString *error)
{
    return printThroughFile(
        pdf, [&](const QString &path) { return printPdfUnlessCancelled(job, path, cancelRequested, error); }, error);
}

void PrinterSystem::addVirtualPrinter(const QString &name, VirtualPrinter print, VirtualDataPrinter /*printData*/)
{
    addVirtualPrinter(name, std::move(print));
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
