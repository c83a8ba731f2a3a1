#include "print/Printers.h"

#include "core/AppError.h"
#include "core/MessageBox.h"
#include "platform/PrinterSystem.h"

namespace {

const QString crlf = QStringLiteral("\r\n");

QString pdfWriterInstructions()
{
    const QString &name = pdfWriterName();
    return name + QStringLiteral(" is not installed. Please follow these instructions:") + crlf + crlf
           + QStringLiteral("1) Go to Control Panel -> Printers and Faxes to add a local printer.") + crlf
           + QStringLiteral("2) Choose ''CPW2: (") + name
           + QStringLiteral(")'' on Select a Printer Port dialog box, click Next.") + crlf
           + QStringLiteral("3) Choose a Postscript printer (e.g. HP Color LaserJet PS), click Next.") + crlf
           + QStringLiteral("4) Enter ") + name + QStringLiteral(" as Printer name, click Next -> Finish.");
}

}  // namespace

void CheckPDFWriter()
{
    QString error;
    const QStringList printers = platform::printerSystem().printerNames(&error);
    for (const QString &printer : printers) {
        if (printer == pdfWriterName())
            return;
    }
    if (!error.isEmpty())
        throw AppError(error);
    showMessage(pdfWriterInstructions());
}

bool SetDefaultPrinter(const QString &deviceName, bool showFailure)
{
    if (platform::printerSystem().setDefaultPrinter(deviceName))
        return true;
    if (showFailure)
        showMessage(QStringLiteral("Cannot set printer."));
    return false;
}

QString GetDefaultPrinter()
{
    QString error;
    if (const std::optional<QString> name = platform::printerSystem().defaultPrinterName(&error))
        return *name;
    // 484: the number the printer object raises when it cannot read the printer information.
    showMessage(QStringLiteral("Error No: 484") + crlf + error + crlf
                + QStringLiteral("Has occured in modPrinters.GetDefaultPrinter") + crlf
                + QStringLiteral("Please contact Technical Support"));
    return QString();
}
