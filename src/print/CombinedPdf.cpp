#include "print/CombinedPdf.h"

#include "platform/PrivateTempFolder.h"
#include "print/PdfFileName.h"
#include "print/ReopeningFileSource.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <qpdf/Pl_Discard.hh>
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
#include <unistd.h>

namespace {

// Files open at once while the combined document is written.
constexpr int OpenSpoolFiles = 16;
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

// Reads every object and stream of `pdf` once, throwing at the first that cannot be read: the
// pages' streams are otherwise read only when the whole document is written, where one broken
// message would cost every other.
void readThrough(QPDF &pdf)
{
    Pl_Discard discard;
    QPDFWriter trial(pdf);
    trial.setDecodeLevel(qpdf_dl_none);
    trial.setOutputPipeline(&discard);
    trial.write();
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

struct CombinedPdf::State {
    // Declared first, so it outlives the sources the document's streams still refer to.
    OpenFileBudget budget{OpenSpoolFiles};
    QPDF document;
    QPDFObjectHandle outlines;
    QPDFObjectHandle lastItem;
    QStringList spoolFiles;
    int messages = 0;

    State()
    {
        document.emptyPDF();
        document.setSuppressWarnings(true);
    }

    ~State()
    {
        for (const QString &path : spoolFiles)
            QFile::remove(path);
    }

    QString spool(const QByteArray &pdf, QString *error);
    void addBookmark(const QString &title, QPDFObjectHandle page);
};

QString CombinedPdf::State::spool(const QByteArray &pdf, QString *error)
{
    const QString folder = platform::privateTempFolder();
    if (folder.isEmpty()) {
        *error = QStringLiteral("no private temporary folder could be made.");
        return {};
    }
    QTemporaryFile file(folder + QStringLiteral("/combined-XXXXXX.pdf"));
    file.setAutoRemove(false);
    if (!file.open()) {
        *error = file.errorString();
        return {};
    }
    if (file.write(pdf) != pdf.size() || !file.flush()) {
        *error = file.errorString();
        file.remove();
        return {};
    }
    spoolFiles.append(file.fileName());
    return file.fileName();
}

void CombinedPdf::State::addBookmark(const QString &title, QPDFObjectHandle page)
{
    if (!outlines.isInitialized()) {
        outlines = document.makeIndirectObject(QPDFObjectHandle::parse("<< /Type /Outlines /Count 0 >>"));
        document.getRoot().replaceKey("/Outlines", outlines);
        document.getRoot().replaceKey("/PageMode", QPDFObjectHandle::newName("/UseOutlines"));
    }
    QPDFObjectHandle item = document.makeIndirectObject(QPDFObjectHandle::newDictionary());
    item.replaceKey("/Title", textString(title));
    item.replaceKey("/Parent", outlines);
    QPDFObjectHandle destination = QPDFObjectHandle::newArray();
    destination.appendItem(page);
    destination.appendItem(QPDFObjectHandle::newName("/Fit"));
    item.replaceKey("/Dest", destination);
    if (!lastItem.isInitialized()) {
        outlines.replaceKey("/First", item);
    } else {
        lastItem.replaceKey("/Next", item);
        item.replaceKey("/Prev", lastItem);
    }
    outlines.replaceKey("/Last", item);
    outlines.replaceKey("/Count", QPDFObjectHandle::newInteger(messages + 1));
    lastItem = item;
}

CombinedPdf::CombinedPdf() : state_(std::make_unique<State>()) {}

CombinedPdf::~CombinedPdf() = default;

int CombinedPdf::messages() const
{
    return state_->messages;
}

bool CombinedPdf::add(const QByteArray &pdf, const QString &bookmark, QString *error)
{
    QString reason;
    const QString spooled = state_->spool(pdf, &reason);
    if (spooled.isEmpty()) {
        if (error)
            *error = QStringLiteral("The message's PDF could not be kept for the combined file: %1").arg(reason);
        return false;
    }
    QPDF &document = state_->document;
    const size_t before = document.getAllPages().size();
    try {
        // Only the source's file must stay: the QPDF that read it can go once its pages are in.
        auto source = std::make_shared<ReopeningFileSource>(QFile::encodeName(spooled).toStdString(),
                                                            &state_->budget);
        QPDF message;
        message.setSuppressWarnings(true);
        message.processInputSource(source, "");
        const std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(message).getAllPages();
        if (pages.empty())
            throw std::runtime_error("it has no pages");
        readThrough(message);
        QPDFPageDocumentHelper target(document);
        for (const QPDFPageObjectHelper &page : pages)
            target.addPage(page, false);
        state_->addBookmark(bookmark, document.getAllPages().at(before));
        ++state_->messages;
        source->close();
        return true;
    } catch (const std::exception &e) {
        while (document.getAllPages().size() > before)
            document.removePage(document.getAllPages().back());
        state_->budget.closeAll();
        state_->spoolFiles.removeLast();
        QFile::remove(spooled);
        if (error)
            *error = QStringLiteral("The message's PDF could not be read: %1").arg(QString::fromUtf8(e.what()));
        return false;
    }
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

}  // namespace

bool CombinedPdf::finish(const QString &targetPath, const QString &title, QString *writtenPath, QString *error)
{
    QString reason;
    const QString part = newPartFile(targetPath, &reason);
    if (part.isEmpty()) {
        if (error)
            *error = failure(targetPath, reason);
        return false;
    }
    QPDF &document = state_->document;
    try {
        QPDFObjectHandle trailer = document.getTrailer();
        QPDFObjectHandle info = trailer.getKey("/Info");
        if (!info.isDictionary()) {
            info = document.makeIndirectObject(QPDFObjectHandle::newDictionary());
            trailer.replaceKey("/Info", info);
        }
        info.replaceKey("/Title", textString(title));
        const QByteArray local = QFile::encodeName(part);
        QPDFWriter writer(document, local.constData());
        writer.setDecodeLevel(qpdf_dl_none);  // stream data goes across as it was stored
        writer.write();
    } catch (const std::exception &e) {
        QFile::remove(part);
        state_->budget.closeAll();
        if (error)
            *error = failure(targetPath, QString::fromUtf8(e.what()));
        return false;
    }
    state_->budget.closeAll();
    const QString written = claimName(part, targetPath, &reason);
    if (written.isEmpty()) {
        QFile::remove(part);
        if (error)
            *error = failure(targetPath, reason);
        return false;
    }
    if (writtenPath)
        *writtenPath = written;
    return true;
}
