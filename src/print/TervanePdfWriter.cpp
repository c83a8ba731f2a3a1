#include "print/TervanePdfWriter.h"

#include "platform/Dialogs.h"
#include "platform/InvisibleCharacters.h"
#include "print/NewFiles.h"
#include "print/PdfFileName.h"
#include "print/PdfTitle.h"
#include "print/PdfWriterName.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <optional>


namespace {

const QString PdfExtension = QStringLiteral(".pdf");
QString folderOf(const QString &path)
{
    return QFileInfo(path).absolutePath();
}

QString failure(const QString &path, const QString &reason)
{
    return QStringLiteral("The PDF file %1 could not be written: %2").arg(path, reason);
}

// The folder of the file the writer wrote last in this run: the next save dialog starts there.
QString &lastFolder()
{
    static QString folder;
    return folder;
}

// Asks for the file when the job names none: a name from the job's title, in the folder of the
// last file written (or the home folder).
QString askForTarget(const QString &title)
{
    QString folder = lastFolder();
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::homePath();
    QString name = cleanPdfName(title);
    if (name.isEmpty())
        name = QStringLiteral("Untitled");
    QString chosen = platform::dialogs().saveFileName(
        nullptr, QStringLiteral("Save PDF File As"), folder + QLatin1Char('/') + name + PdfExtension,
        QStringLiteral("PDF files (*.pdf)"));
    if (!chosen.isEmpty() && !chosen.endsWith(PdfExtension, Qt::CaseInsensitive))
        chosen += PdfExtension;
    return chosen;
}

}  // namespace

PdfWriteResult writeNewPdf(const QByteArray &pdf, const QString &targetPath)
{
    PdfWriteResult result;
    for (int n = 1; n <= MostCopies; ++n) {
        const QString candidate = numberedPdfPath(targetPath, n);
        if (nameTaken(candidate))
            continue;
        bool lost = false;
        const std::optional<QString> reason = writeNewFile(candidate, pdf, &lost);
        if (!reason) {
            result.written = true;
            result.path = candidate;
            return result;
        }
        if (!lost) {
            result.error = failure(candidate, *reason);
            return result;
        }
    }
    result.error = failure(targetPath, QStringLiteral("%1 files of that name exist already.")
                                           .arg(MostCopies));
    return result;
}

namespace {

std::optional<QByteArray> readPrintedDocument(const QString &sourcePdf, const QString &targetPath, QString *error)
{
    QFile source(sourcePdf);
    if (source.open(QIODevice::ReadOnly))
        return source.readAll();
    *error = failure(targetPath, QStringLiteral("the printed document %1 cannot be read "
                                                "(%2).")
                                     .arg(sourcePdf, source.errorString()));
    return std::nullopt;
}

// The file a job goes to: its own, or one the user picks; empty with a reason when none.
QString targetOf(const platform::PrintJob &job, QString *error)
{
    const QString target = job.targetFile.isEmpty() ? askForTarget(job.title) : job.targetFile;
    if (target.isEmpty() && error)
        *error = QStringLiteral("No file name was chosen for \"%1\"; no PDF was written.").arg(job.title);
    return target;
}

bool writeJob(const QByteArray &pdf, const platform::PrintJob &job, const QString &target, QString *error)
{
    // The engine leaves the document title and author empty; a reader's caption and search show
    // the job's title (the message's subject) and author (its sender). A PDF they cannot be put in
    // is written without them. Each is one line, in stored order.
    const QByteArray titled = pdfWithInfo(pdf, platform::oneShownLine(job.title),
                                          platform::oneShownLine(job.author));
    const PdfWriteResult result = writeNewPdf(titled.isEmpty() ? pdf : titled, target);
    if (!result.written) {
        if (error)
            *error = result.error;
        return false;
    }
    lastFolder() = folderOf(result.path);
    if (job.written)
        job.written(result.path, titled.isEmpty() ? pdf : titled);
    return true;
}

}  // namespace

PdfWriteResult writePdfWithoutOverwriting(const QString &sourcePdf, const QString &targetPath)
{
    PdfWriteResult result;
    if (const std::optional<QByteArray> pdf = readPrintedDocument(sourcePdf, targetPath, &result.error))
        return writeNewPdf(*pdf, targetPath);
    return result;
}

bool printOnPdfWriter(const QString &pdfPath, const platform::PrintJob &job, QString *error)
{
    const QString target = targetOf(job, error);
    if (target.isEmpty())
        return false;
    QString unreadable;
    const std::optional<QByteArray> pdf = readPrintedDocument(pdfPath, target, &unreadable);
    if (!pdf && error)
        *error = unreadable;
    return pdf && writeJob(*pdf, job, target, error);
}

bool printDataOnPdfWriter(const QByteArray &pdf, const platform::PrintJob &job, QString *error)
{
    const QString target = targetOf(job, error);
    return !target.isEmpty() && writeJob(pdf, job, target, error);
}

void registerPdfWriter(platform::PrinterSystem &system)
{
    system.addVirtualPrinter(pdfWriterName(), printOnPdfWriter, printDataOnPdfWriter);
}
