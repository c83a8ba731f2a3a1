// What Print All on the PDF writer keeps beside the PDFs it writes: each message's attachments
// (when the options window asks for them) and a row per message in the folder's "index.csv".
// The writer tells the job which file it really wrote ("name (2).pdf" when the name was taken)
// and the bytes that went in; everything here follows that file, not the name that was asked
// for. A message that failed gets its row with the reason; one the user cancelled before it
// was written gets none. An attachment or a row that cannot be written goes to the error log,
// and the run's end box then does not say "Done.".

#include "print/Form3PrintRun.h"

#include "core/ErrorLog.h"
#include "platform/PdfPageCount.h"
#include "print/RunIndex.h"
#include "print/SavedAttachments.h"

#include <QFileInfo>

namespace {

QString addressList(const QVector<MailAddress> &addresses)
{
    QStringList shown;
    for (const MailAddress &address : addresses) {
        if (address.name.isEmpty())
            shown << address.address;
        else if (address.address.isEmpty())
            shown << address.name;
        else
            shown << QStringLiteral("%1 <%2>").arg(address.name, address.address);
    }
    return shown.join(QStringLiteral(", "));
}

QStringList attachmentNames(const QVector<MailAttachment> &attachments)
{
    QStringList names;
    for (const MailAttachment &attachment : attachments)
        names << attachment.fileName;
    return names;
}

}  // namespace

void Form3::setWriterHooks(PrintRun &run)
{
    // Shared, not the run itself: a job the writer finishes after the run gave up waiting must
    // not write into a run that has ended.
    auto written = std::make_shared<WrittenPdf>();
    run.written = written;
    run.job.written = [written](const QString &path, const QByteArray &pdf) {
        written->path = path;
        written->pdf = pdf;
    };
    // Appending the message's attached PDFs (AppendPdfs) sets run.job.prepare here.
}

void Form3::keepRunRecords(PrintRun &run, int position, const QString &failure)
{
    if (!run.toWriter())
        return;
    const bool written = run.written && !run.written->path.isEmpty();
    if (!written && run.cancelled)
        return;  // called off before its file was written: the run never got to it
    QString file;
    int pages = -1;
    if (written) {
        file = QFileInfo(run.written->path).fileName();
        pages = platform::pdfPageCount(run.written->pdf);
        run.writtenPaths << run.written->path;
        if (SaveAttachments)
            saveAttachmentsOf(run, position, run.written->path);
    }
    QString result = failure;
    if (result.isEmpty())
        result = written ? indexPrintedResult() : QStringLiteral("No PDF was written.");
    appendIndexRow(run, position, file, pages, result);
}

void Form3::saveAttachmentsOf(PrintRun &run, int position, const QString &pdfPath)
{
    const MessageEntry &entry = entryAt(position);
    for (const SavedAttachment &saved : saveAttachmentsBeside(pdfPath, entry.Attachments)) {
        if (saved.failure.isEmpty())
            continue;
        ++run.recordFailures;
        appendErrorLogRecord(QStringLiteral("Print All: attachment \"%1\" of message %2 (\"%3\") was not saved: %4")
                                 .arg(saved.fileName)
                                 .arg(position)
                                 .arg(entry.Subject, saved.failure));
    }
}

void Form3::appendIndexRow(PrintRun &run, int position, const QString &file, int pages, const QString &result)
{
    const MessageEntry &entry = entryAt(position);
    RunIndexRow row;
    row.count = position;
    row.file = file;
    row.received = entry.ReceivedDateTime;
    row.from = entry.From;
    row.to = addressList(entry.To);
    row.subject = entry.Subject;
    row.messageId = entry.MessageId;
    row.pages = pages;
    row.attachments = attachmentNames(entry.Attachments);
    row.result = result;
    QString error;
    if (RunIndex(lPDFOutput).append(row, &error))
        return;
    ++run.recordFailures;
    appendErrorLogRecord(QStringLiteral("Print All: message %1 (\"%2\") is missing from the index: %3")
                             .arg(position)
                             .arg(entry.Subject, error));
}
