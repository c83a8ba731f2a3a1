#include "print/CombinedPdf.h"

#include "platform/PrivateTempFolder.h"
#include "print/PdfFileName.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#ifndef POINTERHOLDER_TRANSITION
#define POINTERHOLDER_TRANSITION 4  // the current handle type, without the warning about the old one
#endif
#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <cerrno>
#include <fcntl.h>
#include <stdexcept>
#include <cstdio>
#include <cstring>
#include <exception>
#include <map>
#include <utility>
#include <vector>
#include <unistd.h>

namespace {

constexpr int MostCopies = 99999;
const QString PdfExtension = QStringLiteral(".pdf");

// `target` itself, then "stem (n).pdf", cut to fit one file name.
QString numberedPath(const QString &target, int n)
{
    const QFileInfo info(target);
    QString stem = info.fileName();
    QString extension;
    if (stem.endsWith(PdfExtension, Qt::CaseInsensitive)) {
        extension = stem.right(PdfExtension.size());
        stem.chop(PdfExtension.size());
    }
    const QString suffix = (n > 1 ? QStringLiteral(" (%1)").arg(n) : QString()) + extension;
    const QString name = cutToUtf8Bytes(stem, FileNameByteLimit - int(suffix.toUtf8().size())) + suffix;
    const qsizetype slash = target.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? name : target.left(slash + 1) + name;
}

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
    if (ascii)
        return text.toStdString();
    std::string bytes("\xFE\xFF", 2);
    for (const QChar c : text) {
        bytes.push_back(char(c.unicode() >> 8));
        bytes.push_back(char(c.unicode() & 0xFF));
    }
    return bytes;
}

namespace {

// Object numbers of the parts written at the end: the catalog and the root of the page tree.
constexpr int CatalogObject = 1;
constexpr int PagesObject = 2;
constexpr int NullObject = 0;  // an object left out (the source's catalog): written as null

// One message's objects in the form they take in the combined file: its pages and everything
// they refer to, renumbered after the objects written before.
class MessageObjects {
public:
    MessageObjects(QPDF &source, int firstNumber) : source_(source), next_(firstNumber) {}

    // The message's pages, numbered first so that the first is its bookmark's target.
    QVector<int> addPages(const std::vector<QPDFPageObjectHelper> &pages);
    // Writes every queued object; offsets relative to the start of `out`.
    void writeAll(QByteArray &out, QVector<qint64> &offsets);
    int nextNumber() const { return next_; }

private:
    int numberOf(QPDFObjectHandle object);
    void writeValue(QPDFObjectHandle value, QByteArray &out);
    void writeDictionary(QPDFObjectHandle dictionary, QByteArray &out, const char *skip = nullptr);
    void writeObject(QPDFObjectHandle object, bool page, QByteArray &out);

    QPDF &source_;
    int next_;
    std::map<QPDFObjGen, int> numbers_;
    std::vector<std::pair<QPDFObjGen, bool>> queue_;  // (object, is a page) in number order
};

QVector<int> MessageObjects::addPages(const std::vector<QPDFPageObjectHelper> &pages)
{
    QVector<int> numbers;
    for (QPDFPageObjectHelper page : pages) {
        QPDFObjectHandle object = page.getObjectHandle();
        QPDFObjectHandle parent = object.getKey("/Parent");
        if (parent.isIndirect())
            numbers_.emplace(parent.getObjGen(), PagesObject);  // the source's tree becomes ours
        numbers_.emplace(object.getObjGen(), next_);
        queue_.emplace_back(object.getObjGen(), true);
        numbers << next_++;
    }
    QPDFObjectHandle root = source_.getRoot();
    if (root.isIndirect())
        numbers_.emplace(root.getObjGen(), NullObject);
    return numbers;
}

int MessageObjects::numberOf(QPDFObjectHandle object)
{
    const auto [place, added] = numbers_.emplace(object.getObjGen(), next_);
    if (added) {
        queue_.emplace_back(object.getObjGen(), false);
        ++next_;
    }
    return place->second;
}

void MessageObjects::writeValue(QPDFObjectHandle value, QByteArray &out)
{
    if (value.isIndirect()) {
        const int number = numberOf(value);
        out += number == NullObject ? QByteArray("null") : QByteArray::number(number) + " 0 R";
    } else if (value.isDictionary()) {
        writeDictionary(value, out);
    } else if (value.isArray()) {
        out += '[';
        for (QPDFObjectHandle item : value.getArrayAsVector()) {
            out += ' ';
            writeValue(item, out);
        }
        out += " ]";
    } else {
        out += QByteArray::fromStdString(value.unparse());
    }
}

void MessageObjects::writeDictionary(QPDFObjectHandle dictionary, QByteArray &out, const char *skip)
{
    out += "<<";
    for (const std::string &key : dictionary.getKeys()) {
        if (skip && key == skip)
            continue;
        out += ' ' + QByteArray::fromStdString(QPDFObjectHandle::newName(key).unparse()) + ' ';
        writeValue(dictionary.getKey(key), out);
    }
    out += " >>";
}

void MessageObjects::writeObject(QPDFObjectHandle object, bool page, QByteArray &out)
{
    if (page) {
        out += "<< /Parent 2 0 R";
        QByteArray rest;
        writeDictionary(object, rest, "/Parent");
        out += rest.mid(2);
    } else if (object.isStream()) {
        // Stored data as it is (still compressed), one stream in memory at a time.
        const std::shared_ptr<Buffer> data = object.getRawStreamData();
        QPDFObjectHandle dictionary = object.getDict().shallowCopy();
        dictionary.replaceKey("/Length", QPDFObjectHandle::newInteger(qint64(data->getSize())));
        writeDictionary(dictionary, out);
        out += "\nstream\n";
        out.append(reinterpret_cast<const char *>(data->getBuffer()), qsizetype(data->getSize()));
        out += "\nendstream";
    } else {
        writeValue(object.isIndirect() ? object.shallowCopy() : object, out);
    }
}

void MessageObjects::writeAll(QByteArray &out, QVector<qint64> &offsets)
{
    for (size_t i = 0; i < queue_.size(); ++i) {  // the queue grows as references are met
        const auto [id, page] = queue_[i];
        const int number = numbers_.at(id);
        offsets << out.size();
        out += QByteArray::number(number) + " 0 obj\n";
        writeObject(source_.getObjectByObjGen(id), page, out);
        out += "\nendobj\n";
    }
}

}  // namespace

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
    qint64 writeObject(const QByteArray &content);
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
        MessageObjects objects(message, int(state_->offsets.size()) + 1);
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

// A new, empty file beside `target` to write into before it gets its name; empty with the
// reason when none could be made.
QString newPartFile(const QString &target, QString *reason)
{
    const QFileInfo info(target);
    for (int n = 0; n < 1000; ++n) {
        const QString path = info.absolutePath() + QStringLiteral("/.combined-%1-%2.part").arg(getpid()).arg(n);
        const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return path;
        }
        if (errno != EEXIST) {
            *reason = errno == ENOENT ? QStringLiteral("the folder %1 does not exist.").arg(info.absolutePath())
                                      : QString::fromLocal8Bit(strerror(errno));
            return {};
        }
    }
    *reason = QStringLiteral("no temporary file could be made beside it.");
    return {};
}

// Gives the written file at `part` the first free name for `target`: a hard link never
// replaces an existing file, so a name taken meanwhile by someone else is simply skipped.
QString claimName(const QString &part, const QString &target, QString *reason)
{
    const QByteArray from = QFile::encodeName(part);
    for (int n = 1; n <= MostCopies; ++n) {
        const QString candidate = numberedPath(target, n);
        const QByteArray to = QFile::encodeName(candidate);
        if (::link(from.constData(), to.constData()) == 0) {
            ::unlink(from.constData());
            return candidate;
        }
        if (errno == EEXIST)
            continue;
        if (errno != EPERM && errno != EOPNOTSUPP && errno != EMLINK) {
            *reason = QString::fromLocal8Bit(strerror(errno));
            return {};
        }
        // A file system without hard links: look, then rename.
        const QFileInfo info(candidate);
        if (info.exists() || info.isSymLink())
            continue;
        if (::rename(from.constData(), to.constData()) == 0)
            return candidate;
        *reason = QString::fromLocal8Bit(strerror(errno));
        return {};
    }
    *reason = QStringLiteral("%1 files of that name exist already.").arg(MostCopies);
    return {};
}

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
    const QString written = copied ? claimName(part, targetPath, &reason) : QString();
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
