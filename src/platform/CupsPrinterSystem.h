#pragma once
// The printer system over CUPS (libcups): the destinations CUPS lists for this user, the CUPS
// per-user default (~/.cups/lpoptions, written with cupsSetDests2, so lp and every other
// program see it), and PDF jobs submitted as application/pdf.
//
// The program's own printers are not CUPS queues. When one of them is made the default, that
// choice is kept in a small per-user file of the program's own
// (<XDG config folder>/Tervane/QuorvalePrinter.conf) and the CUPS default is left alone, so other
// programs keep printing where they did.

#include "platform/PrinterSystem.h"

#include <QList>
#include <QPair>

namespace platform {

class CupsPrinterSystem : public PrinterSystem {
public:
    QStringList printerNames(QString *error = nullptr) override;
    std::optional<QString> defaultPrinterName(QString *error = nullptr) override;
    std::optional<QString> printServiceDefaultName(QString *error = nullptr) override;
    bool setDefaultPrinter(const QString &name, QString *error = nullptr) override;
    bool printPdf(const QString &name, const QString &pdfPath, const QString &title,
                  QString *error = nullptr) override;
    void addVirtualPrinter(const QString &name, VirtualPrinter print) override;

    // The file that remembers one of the program's own printers as the default.
    static QString ownDefaultFilePath();

private:
    const VirtualPrinter *virtualPrinter(const QString &name) const;
    QList<QPair<QString, VirtualPrinter>> m_virtualPrinters;
};

}  // namespace platform
