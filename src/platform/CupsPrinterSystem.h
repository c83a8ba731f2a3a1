#pragma once
// The printer system over CUPS (libcups): the destinations CUPS lists for this user (queues
// and their instances, "queue/instance", each a printer of its own), the CUPS per-user default
// (~/.cups/lpoptions, written with cupsSetDests2, so lp and every other program see it), and
// PDF jobs submitted as application/pdf on the queue named, with the user's saved options for
// that printer, as lp sends them.
//
// Every conversation with the print server runs off the window's thread with short limits
// (PrintServerCall.h): a print server that hangs costs a few seconds and a clear error.
//
// The program's own printers are not CUPS queues. When one of them is made the default, that
// choice is kept in a small per-user file of the program's own
// (<XDG config folder>/Tervane/QuorvalePrinter.conf, 0600) and the CUPS default is left alone,
// so other programs keep printing where they did.

#include "platform/PrintServerCall.h"
#include "platform/PrinterSystem.h"
#include "platform/SavedFiles.h"

#include <QList>
#include <QPair>

namespace platform {

struct CupsDestinationList;

class CupsPrinterSystem : public PrinterSystem {
public:
    QStringList printerNames(QString *error = nullptr) override;
    std::optional<QString> defaultPrinterName(QString *error = nullptr) override;
    std::optional<QString> printServiceDefaultName(QString *error = nullptr) override;
    bool setDefaultPrinter(const QString &name, QString *error = nullptr) override;
    bool printPdf(const PrintJob &job, const QString &pdfPath, QString *error = nullptr) override;
    // Calls a job off in the print service as soon as it exists there, until it is accepted.
    bool printPdfUnlessCancelled(const PrintJob &job, const QString &pdfPath, const PrintCancelCheck &cancelRequested,
                                 QString *error = nullptr) override;
    // The same from memory: the bytes go to the print service as the job's document, or to the
    // program's own printer, without a file between.
    bool printPdfData(const PrintJob &job, const QByteArray &pdf, const PrintCancelCheck &cancelRequested,
                      QString *error = nullptr) override;
    void addVirtualPrinter(const QString &name, VirtualPrinter print) override;
    void addVirtualPrinter(const QString &name, VirtualPrinter print, VirtualDataPrinter printData) override;

    // Keeps both files that make the default (lpoptions and the program's own) as they are now;
    // restoreDefaults() gives each back as it was (present or absent) unless it was changed
    // outside the program meanwhile.
    void rememberDefaults() override;
    bool restoreDefaults() override;

    void setLimits(const PrintServerLimits &limits) { m_limits = limits; }

    // The file that remembers one of the program's own printers as the default.
    static QString ownDefaultFilePath();
    // The user's lpoptions, where CUPS keeps their default and saved options.
    static QString lpoptionsPath();

private:
    // One of the program's own printers: from a file, and from memory when it can.
    struct OwnPrinter {
        VirtualPrinter fromFile;
        VirtualDataPrinter fromMemory;
    };
    const OwnPrinter *virtualPrinter(const QString &name) const;
    bool submitToPrintService(const PrintJob &job, const QByteArray &pdf, const PrintCancelCheck &cancelled,
                              QString *error);
    CupsDestinationList destinations(QString *error);
    bool setOwnDefault(const QString &name, QString *error);

    QList<QPair<QString, OwnPrinter>> m_virtualPrinters;
    PrintServerLimits m_limits;
    SavedFiles m_savedFiles;
    // The print service printer this program made the default, while lpoptions still says so:
    // PRINTER or LPDEST in the environment outrank lpoptions for CUPS, but not the user's pick.
    std::optional<QString> m_programsDefault;
};

}  // namespace platform
