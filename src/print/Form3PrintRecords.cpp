// What Print All keeps with the PDFs it writes: each message's attached PDFs after its pages (on
// paper too), its attachments beside its PDF, a row per message in the folder's "index.csv" and
// one PDF of the whole run, each as the options window asks.
// The writer tells the job which file it really wrote ("name (2).pdf" when the name was taken)
// and the bytes that went in; everything here follows that file, not the name that was asked
// for. A message that failed gets its row with the reason; one the user cancelled before it
// was written gets none. An attachment or a row that cannot be written goes to the error log,
// and the run's end box then does not say "Done.".

#include "print/Form3PrintRun.h"

#include "core/ErrorLog.h"
#include "platform/PdfPageCount.h"
#include "print/AttachedPdfs.h"
#include "print/Form5.h"
#include "print/RunIndex.h"
#include "print/SavedAttachments.h"

#include <QFileInfo>

namespace {

QStringList attachmentNames(const QVector<MailAttachment> &attachments)
{
    QStringList names;
    for (const MailAttachment &attachment : attachments)
        names << attachment.fileName;
    return names;
}

// The attachments that are PDFs, by their declared type or, when a sender's program declared
// none that fits, by their name.
QVector<int> attachedPdfs(const QVector<MailAttachment> &attachments)
{
    QVector<int> pdfs;
    for (int i = 0; i < attachments.size(); ++i) {
        const MailAttachment &attachment = attachments[i];
        if (attachment.type == "application/pdf" || attachment.fileName.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
            pdfs << i;
    }
    return pdfs;
}

// `pdf` with the attached PDFs `pdfs` appended; those that cannot be read are left out and named
// in `notAppended`. False only when the message's own PDF cannot be read.
bool appendAttachedTo(QByteArray &pdf, const QVector<MailAttachment> &attachments, const QVector<int> &pdfs,
                      QVector<int> *notAppended, QString *error)
{
    QVector<QByteArray> bytes;
    QVector<int> sent;
    for (int i : pdfs) {
        bool read = false;
        const QByteArray attached = attachments[i].bytes ? attachments[i].bytes->read(&read) : QByteArray();
        if (read) {
            bytes << attached;
            sent << i;
        } else {
            *notAppended << i;
        }
    }
    const AppendedPdf appended = appendAttachedPdfs(pdf, bytes);
    if (appended.pdf.isEmpty()) {
        *error = QStringLiteral("The page's PDF could not be read to append the attached PDFs: %1").arg(appended.error);
        return false;
    }
    for (int k : appended.unreadable)
        *notAppended << sent[k];
    pdf = appended.pdf;
    return true;
}

// "date — sender — subject", as the list shows them.
QString combinedBookmark(const MessageEntry &entry)
{
    const QString sender = entry.FromName.isEmpty() ? entry.FromAddress : entry.FromName;
    return QStringList{entry.ReceivedDate, sender, entry.Subject}.join(QStringLiteral(" \u2014 "));
}

}  // namespace

void Form3::beginRunRecords(PrintRun &run)
{
    // Paper printers have no options window: they follow the last confirmed choice.
    run.appendPdfs = run.toWriter() ? AppendPdfs : rememberedAppendPdfs();
    if (run.toWriter() && CombinedPdf)
        run.combined = std::make_unique<::CombinedPdf>();
}

void Form3::setRunHooks(PrintRun &run, int position)
{
    // Shared, not the run itself: a job the writer finishes after the run gave up waiting must
    // not write into a run that has ended.
    auto written = std::make_shared<WrittenPdf>();
    run.written = written;
    if (run.toWriter()) {
        run.job.written = [written](const QString &path, const QByteArray &pdf) {
            written->path = path;
            written->pdf = pdf;
        };
    }
    run.job.prepare = nullptr;
    const QVector<MailAttachment> &attachments = entryAt(position).Attachments;
    const QVector<int> pdfs = attachedPdfs(attachments);
    if (run.appendPdfs && !pdfs.isEmpty()) {
        run.job.prepare = [written, attachments, pdfs](QByteArray &pdf, QString *error) {
            return appendAttachedTo(pdf, attachments, pdfs, &written->notAppended, error);
        };
    }
}

void Form3::keepRunRecords(PrintRun &run, int position, const QString &failure)
{
    const bool written = run.written && !run.written->path.isEmpty();
    if (!run.toWriter()) {
        if (failure.isEmpty() && run.written)
            noteUnprintedAttachments(run, position);
        return;
    }
    if (!written && run.cancelled)
        return;  // called off before its file was written: the run never got to it
    QString file;
    int pages = -1;
    if (written) {
        file = QFileInfo(run.written->path).fileName();
        pages = platform::pdfPageCount(run.written->pdf);
        saveAttachmentsOf(run, position, run.written->path);
        addToCombinedPdf(run, position);
    }
    QString result = failure;
    if (result.isEmpty())
        result = written ? indexPrintedResult() : QStringLiteral("No PDF was written.");
    appendIndexRow(run, position, file, pages, result);
}

void Form3::saveAttachmentsOf(PrintRun &run, int position, const QString &pdfPath)
{
    const MessageEntry &entry = entryAt(position);
    // Attached PDFs that could not be appended are saved as they came, whatever the option says.
    QVector<MailAttachment> toSave;
    QVector<int> sources;  // the index in the message of each one saved
    for (int i = 0; i < entry.Attachments.size(); ++i) {
        if (SaveAttachments || run.written->notAppended.contains(i)) {
            toSave << entry.Attachments[i];
            sources << i;
        }
    }
    const QVector<SavedAttachment> saved = saveAttachmentsBeside(pdfPath, toSave);
    for (int k = 0; k < saved.size(); ++k) {
        if (!saved[k].failure.isEmpty()) {
            ++run.recordFailures;
            appendErrorLogRecord(QStringLiteral("Print All: attachment \"%1\" of message %2 (\"%3\") was not saved: %4")
                                     .arg(saved[k].fileName)
                                     .arg(position)
                                     .arg(entry.Subject, saved[k].failure));
        } else if (run.written->notAppended.contains(sources[k])) {
            appendErrorLogRecord(QStringLiteral("Print All: the attached PDF \"%1\" of message %2 (\"%3\") could not be "
                                                "read to append it; it was saved beside the PDF as %4")
                                     .arg(saved[k].fileName)
                                     .arg(position)
                                     .arg(entry.Subject, saved[k].path));
        }
    }
}

// A paper printout without some attached PDF the user asked for is not the whole record.
void Form3::noteUnprintedAttachments(PrintRun &run, int position)
{
    const MessageEntry &entry = entryAt(position);
    for (int i : run.written->notAppended) {
        ++run.recordFailures;
        appendErrorLogRecord(QStringLiteral("Print All: the attached PDF \"%1\" of message %2 (\"%3\") could not be "
                                            "read; the message was printed without it.")
                                 .arg(entry.Attachments[i].fileName)
                                 .arg(position)
                                 .arg(entry.Subject));
    }
}

void Form3::addToCombinedPdf(PrintRun &run, int position)
{
    if (!run.combined)
        return;
    const MessageEntry &entry = entryAt(position);
    QString error;
    if (run.combined->add(run.written->pdf, combinedBookmark(entry), &error))
        return;
    ++run.recordFailures;
    appendErrorLogRecord(QStringLiteral("Print All: message %1 (\"%2\") is missing from the run's combined PDF: %3")
                             .arg(position)
                             .arg(entry.Subject, error));
}

void Form3::finishRunRecords(PrintRun &run)
{
    if (!run.combined || run.combined->messages() == 0)
        return;
    const QDateTime now = QDateTime::currentDateTime();
    const QString target = lPDFOutput + QStringLiteral("/Print All %1.pdf").arg(now.toString(QStringLiteral("yyyy-MM-dd HH.mm.ss")));
    const QString title = QStringLiteral("Print All of %1: %2 messages")
                              .arg(now.toString(QStringLiteral("yyyy-MM-dd HH:mm")))
                              .arg(run.combined->messages());
    QString written;
    QString error;
    if (!run.combined->finish(target, title, &written, &error)) {
        ++run.recordFailures;
        appendErrorLogRecord(QStringLiteral("Print All: the run's combined PDF was not written: %1").arg(error));
    }
    run.combined.reset();
}

void Form3::appendIndexRow(PrintRun &run, int position, const QString &file, int pages, const QString &result)
{
    const MessageEntry &entry = entryAt(position);
    RunIndexRow row;
    row.count = position;
    row.file = file;
    row.received = entry.ReceivedDateTime;
    row.from = entry.From;
    row.to = shownMailboxes(entry.To).join(QStringLiteral(", "));
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
