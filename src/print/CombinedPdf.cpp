#include "print/CombinedPdf.h"

#include "platform/PrivateTempFolder.h"
#include "print/FreePdfName.h"
#include "print/PdfTitle.h"
#include "print/RenumberedObjects.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryFile>

#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

#include <exception>
#include <stdexcept>
#include <unistd.h>

namespace {

QString failure(const QString &path, const QString &reason)
{
    return QStringLiteral("The PDF file %1 could not be written: %2").arg(path, reason);
}

QPDFObjectHandle textString(const QString &text)
{
    return QPDFObjectHandle::newString(pdfTextString(text));
}

}  // namespace

std::string pdfTextString(const QString &text)
{
    bool ascii = true;
    for (const QChar c : text)
        ascii = ascii && c.unicode() < 0x80;
    return ascii ? text.toStdString() : pdfUtf16Text(text).toStdString();
}

struct CombinedPdf::State {
    struct Bookmark {
        QString title;
        int page;
    };

    QTemporaryFile body;  // the objects written so far, in the private temporary folder
    QVector<qint64> offsets{0, 0};  // of objects 1, 2 …; the first two are written last
    QVector<int> pages;
    QVector<Bookmark> bookmarks;
    bool finished = false;

    bool open(QString *error);
    bool append(const QByteArray &bytes, QString *error);
    QByteArray ending(const QString &title);
};

bool CombinedPdf::State::open(QString *error)
{
    if (body.isOpen())
        return true;
    const QString folder = platform::privateTempFolder();
    if (folder.isEmpty()) {
        *error = QStringLiteral("no private temporary folder could be made.");
        return false;
    }
    body.setFileTemplate(folder + QStringLiteral("/combined-XXXXXX.pdf"));
    if (!body.open()) {
        *error = body.errorString();
        return false;
    }
    return append("%PDF-1.7\n%\xE2\xE3\xCF\xD3\n", error);
}

bool CombinedPdf::State::append(const QByteArray &bytes, QString *error)
{
    if (body.write(bytes) == bytes.size())
        return true;
    *error = body.errorString();
    return false;
}

// The page tree, the bookmarks, the catalog, the document information, the cross-reference
// table and the trailer: everything after the messages' objects.
QByteArray CombinedPdf::State::ending(const QString &title)
{
    QByteArray out;
    const qint64 start = body.pos();
    auto object = [&](int number, const QByteArray &content) {
        offsets[number - 1] = start + out.size();
        out += QByteArray::number(number) + " 0 obj\n" + content + "\nendobj\n";
    };
    auto reserve = [&] {
        offsets << 0;
        return int(offsets.size());
    };
    QByteArray kids;
    for (int page : std::as_const(pages))
        kids += ' ' + QByteArray::number(page) + " 0 R";
    object(PagesObject, "<< /Type /Pages /Count " + QByteArray::number(pages.size()) + " /Kids [" + kids + " ] >>");

    const int outlines = reserve();
    QVector<int> items;
    for (int i = 0; i < bookmarks.size(); ++i)
        items << reserve();
    for (int i = 0; i < bookmarks.size(); ++i) {
        QByteArray item = "<< /Title " + QByteArray::fromStdString(textString(bookmarks.at(i).title).unparse())
            + " /Parent " + QByteArray::number(outlines) + " 0 R /Dest [ "
            + QByteArray::number(bookmarks.at(i).page) + " 0 R /Fit ]";
        if (i > 0)
            item += " /Prev " + QByteArray::number(items.at(i - 1)) + " 0 R";
        if (i + 1 < items.size())
            item += " /Next " + QByteArray::number(items.at(i + 1)) + " 0 R";
        object(items.at(i), item + " >>");
    }
    QByteArray outlineRoot = "<< /Type /Outlines /Count " + QByteArray::number(items.size());
    if (!items.isEmpty())
        outlineRoot += " /First " + QByteArray::number(items.first()) + " 0 R /Last "
            + QByteArray::number(items.last()) + " 0 R";
    object(outlines, outlineRoot + " >>");
    object(CatalogObject, "<< /Type /Catalog /Pages 2 0 R /Outlines " + QByteArray::number(outlines)
                              + " 0 R /PageMode /UseOutlines >>");
    const int info = reserve();
    object(info, "<< /Title " + QByteArray::fromStdString(textString(title).unparse()) + " >>");

    const qint64 xref = start + out.size();
    out += "xref\n0 " + QByteArray::number(offsets.size() + 1) + "\n0000000000 65535 f \n";
    for (qint64 offset : std::as_const(offsets))
        out += QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
    out += "trailer\n<< /Size " + QByteArray::number(offsets.size() + 1) + " /Root 1 0 R /Info "
        + QByteArray::number(info) + " 0 R >>\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
    return out;
}

CombinedPdf::CombinedPdf() : state_(std::make_unique<State>()) {}

CombinedPdf::~CombinedPdf() = default;

int CombinedPdf::messages() const
{
    return int(state_->bookmarks.size());
}

bool CombinedPdf::add(const QByteArray &pdf, const QString &bookmark, QString *error)
{
    QString reason;
    if (state_->finished) {
        if (error)
            *error = QStringLiteral("The combined PDF was written already; no message can be added to it.");
        return false;
    }
    if (!state_->open(&reason)) {
        if (error)
            *error = QStringLiteral("The combined PDF could not be started: %1").arg(reason);
        return false;
    }
    // The message's objects are put together in memory and go to the file only when all of
    // them could be read: a broken message leaves nothing behind.
    QByteArray out;
    QVector<qint64> offsets;
    QVector<int> pageNumbers;
    try {
        QPDF message;
        message.setSuppressWarnings(true);
        message.processMemoryFile("message", pdf.constData(), size_t(pdf.size()), "");
        message.pushInheritedAttributesToPage();
        const std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(message).getAllPages();
        if (pages.empty())
            throw std::runtime_error("it has no pages");
        RenumberedObjects objects(message, int(state_->offsets.size()) + 1);
        pageNumbers = objects.addPages(pages);
        objects.writeAll(out, offsets);
    } catch (const std::exception &e) {
        if (error)
            *error = QStringLiteral("The message's PDF could not be read: %1").arg(QString::fromUtf8(e.what()));
        return false;
    }
    const qint64 start = state_->body.pos();
    if (!state_->append(out, &reason)) {
        state_->body.resize(start);
        state_->body.seek(start);
        if (error)
            *error = QStringLiteral("The combined PDF could not be written: %1").arg(reason);
        return false;
    }
    for (qint64 offset : std::as_const(offsets))
        state_->offsets << start + offset;
    state_->pages << pageNumbers;
    state_->bookmarks.append({bookmark, pageNumbers.first()});
    return true;
}
namespace {

// Copies the finished document into the new file `part`.
bool copyInto(QFile &body, const QString &part, QString *reason)
{
    QFile target(part);
    if (!target.open(QIODevice::WriteOnly) || !body.seek(0)) {
        *reason = target.errorString();
        return false;
    }
    constexpr qint64 Chunk = 1 << 20;
    while (!body.atEnd()) {
        const QByteArray chunk = body.read(Chunk);
        if (chunk.isEmpty() || target.write(chunk) != chunk.size()) {
            *reason = chunk.isEmpty() ? body.errorString() : target.errorString();
            return false;
        }
    }
    if (!target.flush() || ::fsync(target.handle()) != 0) {
        *reason = target.errorString();
        return false;
    }
    return true;
}

}  // namespace

bool CombinedPdf::finish(const QString &targetPath, const QString &title, QString *writtenPath, QString *error)
{
    QString reason;
    if (state_->bookmarks.isEmpty() || state_->finished) {
        reason = state_->finished ? QStringLiteral("it was written already.")
                                  : QStringLiteral("no message's PDF was added to it.");
    } else {
        const qint64 end = state_->body.pos();
        state_->finished = state_->append(state_->ending(title), &reason) && state_->body.flush();
        if (!state_->finished) {
            state_->body.resize(end);
            state_->body.seek(end);
        }
    }
    const QString part = state_->finished ? newPartFile(targetPath, &reason) : QString();
    const bool copied = !part.isEmpty() && copyInto(state_->body, part, &reason);
    const QString written = copied ? claimFreePdfName(part, targetPath, &reason) : QString();
    if (written.isEmpty()) {
        if (!part.isEmpty())
            QFile::remove(part);
        if (error)
            *error = failure(targetPath, reason);
        return false;
    }
    if (writtenPath)
        *writtenPath = written;
    return true;
}
