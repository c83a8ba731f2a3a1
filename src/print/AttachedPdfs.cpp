#include "print/AttachedPdfs.h"

#ifndef POINTERHOLDER_TRANSITION
#define POINTERHOLDER_TRANSITION 4
#endif
#include <qpdf/Buffer.hh>
#include <qpdf/Pl_Discard.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <exception>
#include <memory>
#include <vector>

namespace {

std::unique_ptr<QPDF> openPdf(const char *name, const QByteArray &bytes)
{
    auto pdf = std::make_unique<QPDF>();
    pdf->setSuppressWarnings(true);
    // An empty password: a file locked with a real one throws here.
    pdf->processMemoryFile(name, bytes.constData(), size_t(bytes.size()), "");
    return pdf;
}

// Stream data is copied as it is stored, never decoded: a small stream that inflates to
// gigabytes costs no more than its stored size, and nothing is re-encoded.
void configure(QPDFWriter &writer)
{
    writer.setDecodeLevel(qpdf_dl_none);
}

// The attachment opened, its page tree read and every stream readable from start to end (a
// stream's data is only read at the final write, where one broken attachment would sink the
// whole document); null when any of that fails.
std::unique_ptr<QPDF> readableAttachment(const QByteArray &bytes)
{
    try {
        std::unique_ptr<QPDF> pdf = openPdf("attachment", bytes);
        const size_t pages = QPDFPageDocumentHelper(*pdf).getAllPages().size();
        if (pages == 0 || pages > size_t(MostAttachedPdfPages))
            return nullptr;
        Pl_Discard discard;
        QPDFWriter trial(*pdf);
        configure(trial);
        trial.setOutputPipeline(&discard);
        trial.write();
        return pdf;
    } catch (const std::exception &) {
        return nullptr;
    }
}

void appendPages(QPDFPageDocumentHelper &target, QPDF &source)
{
    for (QPDFPageObjectHelper &page : QPDFPageDocumentHelper(source).getAllPages())
        target.addPage(page, false);  // a foreign page is copied, with all it refers to
}

QByteArray written(QPDF &pdf)
{
    QPDFWriter writer(pdf);
    configure(writer);
    writer.setOutputMemory();
    writer.write();
    std::shared_ptr<Buffer> buffer = writer.getBufferSharedPointer();
    return QByteArray(reinterpret_cast<const char *>(buffer->getBuffer()), qsizetype(buffer->getSize()));
}

}  // namespace

AppendedPdf appendAttachedPdfs(const QByteArray &messagePdf, const QVector<QByteArray> &attachedPdfs)
{
    AppendedPdf result;
    std::unique_ptr<QPDF> message;
    try {
        message = openPdf("message", messagePdf);
        QPDFPageDocumentHelper(*message).getAllPages();
    } catch (const std::exception &e) {
        result.error = QStringLiteral("The message's PDF could not be read: %1").arg(QString::fromUtf8(e.what()));
        return result;
    }
    // The attachments' files are read while the result is written, so they live until then.
    std::vector<std::unique_ptr<QPDF>> sources;
    QPDFPageDocumentHelper pages(*message);
    for (int i = 0; i < attachedPdfs.size(); ++i) {
        std::unique_ptr<QPDF> attachment = readableAttachment(attachedPdfs.at(i));
        const size_t before = message->getAllPages().size();
        try {
            if (attachment)
                appendPages(pages, *attachment);
        } catch (const std::exception &) {
            // Some pages may have gone in before the failure: take them out again.
            while (message->getAllPages().size() > before)
                message->removePage(message->getAllPages().back());
            attachment.reset();
        }
        if (!attachment) {
            result.unreadable.append(i);
            continue;
        }
        sources.push_back(std::move(attachment));
    }
    try {
        result.pdf = written(*message);
    } catch (const std::exception &e) {
        result.error = QStringLiteral("The message's PDF could not be written with its attachments: %1")
                           .arg(QString::fromUtf8(e.what()));
    }
    return result;
}
