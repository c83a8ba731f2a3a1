#pragma once
// What the program needs of the system's printers: the installed printers by device name, the
// user's default printer, making one the default, and printing a finished PDF on one. Device
// names are compared exactly. Besides the print service's printers there may be printers of
// the program's own (the PDF writer), which print by calling a function; they are listed after
// the print service's printers and can be the default like any other.

#include <QPageLayout>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace platform {

// One print job as the user asked for it: it goes to `printer` whatever the default printer is
// meanwhile. `targetFile` is the file one of the program's own printers writes (empty: it asks);
// an empty `title` is the printed page's own; an invalid `layout` is the run's page layout.
struct PrintJob {
    QString printer;
    QString targetFile;
    QString title;
    QString author;  // kept by printers that write documents (the PDF writer); may be empty
    QPageLayout layout;
    // Makes the page's PDF into the document that is printed (what the message carried
    // appended, say); false with a reason calls the job off. Unset: the page's PDF as it is.
    std::function<bool(QByteArray &pdf, QString *error)> prepare;
    // Told, by a printer that writes files, the file it wrote and the bytes that went in.
    std::function<void(const QString &path, const QByteArray &pdf)> written;
};

// Prints one finished PDF; false and a reason when it could not.
using VirtualPrinter = std::function<bool(const QString &pdfPath, const PrintJob &job, QString *error)>;
// The same for a PDF held in memory.
using VirtualDataPrinter = std::function<bool(const QByteArray &pdf, const PrintJob &job, QString *error)>;
// Asked on the window's thread while a job is being handed to a printer: true once the user
// called the job off.
using PrintCancelCheck = std::function<bool()>;

class PrinterSystem {
public:
    virtual ~PrinterSystem() = default;

    // Every installed printer in the print service's order, then the program's own printers.
    // When the print service cannot be asked, only the program's own printers, and an error
    // text.
    virtual QStringList printerNames(QString *error = nullptr) = 0;
    // The device name of the user's default printer; nullopt with an error text when there is
    // none or it cannot be read.
    virtual std::optional<QString> defaultPrinterName(QString *error = nullptr) = 0;
    // The print service's own default for this user, leaving the program's printers aside: what
    // other programs print on. nullopt with an error text when there is none.
    virtual std::optional<QString> printServiceDefaultName(QString *error = nullptr) = 0;
    // Makes `name` the user's default printer (it stays so after the program ends). One of the
    // program's own printers becomes the program's default only, leaving the print service's
    // default as it is; a print service printer becomes both.
    virtual bool setDefaultPrinter(const QString &name, QString *error = nullptr) = 0;
    // The PDF at pdfPath as `job`. Returns once the print service accepted the job (or the
    // program's own printer finished with it).
    virtual bool printPdf(const PrintJob &job, const QString &pdfPath, QString *error = nullptr) = 0;
    // printPdf, unless cancelRequested() turns true before the printer has the job: then a job
    // the print service already holds is cancelled there, a program's own printer is not
    // started, and the answer is false. This default only looks before it starts.
    virtual bool printPdfUnlessCancelled(const PrintJob &job, const QString &pdfPath,
                                         const PrintCancelCheck &cancelRequested, QString *error = nullptr);
    // printPdfUnlessCancelled for a PDF held in memory: the bytes go to the printer as they are.
    // This default, for printer systems that print files only, hands them over in a private
    // temporary file.
    virtual bool printPdfData(const PrintJob &job, const QByteArray &pdf, const PrintCancelCheck &cancelRequested,
                              QString *error = nullptr);

    // Adds one of the program's own printers; one of the same name is replaced.
    virtual void addVirtualPrinter(const QString &name, VirtualPrinter print) = 0;
    // The same with a way to print from memory too, which printPdfData then uses. This default
    // keeps the file way only.
    virtual void addVirtualPrinter(const QString &name, VirtualPrinter print, VirtualDataPrinter printData);

    // Notes the user's default printer as it is now, to be put back by restoreDefaults().
    virtual void rememberDefaults();
    // Puts back what rememberDefaults() noted (nothing when it was never called); false when
    // that failed. This default makes the noted printers the defaults again by name.
    virtual bool restoreDefaults();

private:
    bool m_remembered = false;
    std::optional<QString> m_rememberedDefault;
    std::optional<QString> m_rememberedServiceDefault;
};

// The reason a job called off by the user gives.
QString printCancelledText();

// Calls print(path) with `pdf` in a private temporary file that is removed afterwards, for a
// printer that takes files only.
bool printThroughFile(const QByteArray &pdf, const std::function<bool(const QString &path)> &print, QString *error);

// The printer system in force: the print service's unless a test installed another.
PrinterSystem &printerSystem();
void setPrinterSystem(PrinterSystem *replacement);  // not owned; nullptr restores the real one

}  // namespace platform
