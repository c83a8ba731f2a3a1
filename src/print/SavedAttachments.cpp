#include "print/SavedAttachments.h"

#include "print/PdfFileName.h"

#include <QFile>
#include <QFileInfo>
#include <optional>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

const QString PdfExtension = QStringLiteral(".pdf");
constexpr int MostCopies = 99999;
// Longer endings are more likely part of the name ("notes.final-version-2") than its type.
constexpr int LongestExtension = 10;

// The ending a file manager opens the file by ("." and up to ten characters), or empty.
QString extensionOf(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0 || name.size() - dot > LongestExtension + 1 || name.mid(dot + 1).contains(QLatin1Char(' ')))
        return QString();
    return name.mid(dot);
}

QString pdfStem(const QString &pdfPath)
{
    QString stem = QFileInfo(pdfPath).fileName();
    if (stem.endsWith(PdfExtension, Qt::CaseInsensitive))
        stem.chop(PdfExtension.size());
    return stem;
}

QString folderPrefix(const QString &pdfPath)
{
    const qsizetype slash = pdfPath.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : pdfPath.left(slash + 1);
}

// `path` with " (n)" before its extension, the name cut to fit one file name.
QString numberedPath(const QString &path, int n)
{
    if (n <= 1)
        return path;
    const QString name = QFileInfo(path).fileName();
    const QString extension = extensionOf(name);
    const QString suffix = QStringLiteral(" (%1)").arg(n) + extension;
    const QString stem = name.left(name.size() - extension.size());
    return folderPrefix(path) + cutToUtf8Bytes(stem, FileNameByteLimit - int(suffix.toUtf8().size())) + suffix;
}

bool taken(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();  // a dangling link still holds the name
}

// Writes `bytes` to `path`, which must not exist yet, with the permissions PDFs get; the reason
// when it could not. A half-written file is removed.
std::optional<QString> writeNewFile(const QString &path, const QByteArray &bytes, bool *nameTaken)
{
    *nameTaken = false;
    const QByteArray local = QFile::encodeName(path);
    const int fd = ::open(local.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        const int error = errno;
        *nameTaken = error == EEXIST;  // another writer got there between our look and the open
        return QString::fromLocal8Bit(strerror(error));
    }
    qsizetype done = 0;
    int error = 0;
    while (done < bytes.size() && error == 0) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0)
            done += n;
        else if (n == 0)
            error = EIO;
        else if (errno != EINTR)
            error = errno;
    }
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0)
        return std::nullopt;
    ::unlink(local.constData());
    return QString::fromLocal8Bit(strerror(error));
}

std::optional<QByteArray> attachmentBytes(const MailAttachment &attachment, QString *failure)
{
    if (!attachment.bytes) {
        *failure = QStringLiteral("its contents could not be kept when the message was downloaded.");
        return std::nullopt;
    }
    bool ok = false;
    QByteArray bytes = attachment.bytes->read(&ok);
    if (!ok) {
        *failure = QStringLiteral("its contents could not be read back from %1.").arg(attachment.bytes->path());
        return std::nullopt;
    }
    return bytes;
}

SavedAttachment saveOne(const QString &pdfPath, const MailAttachment &attachment)
{
    SavedAttachment saved;
    saved.fileName = attachment.fileName;
    const std::optional<QByteArray> bytes = attachmentBytes(attachment, &saved.failure);
    if (!bytes)
        return saved;
    const QString target = attachmentPathBeside(pdfPath, attachment.fileName);
    for (int n = 1; n <= MostCopies; ++n) {
        const QString candidate = numberedPath(target, n);
        if (taken(candidate))
            continue;
        bool nameTaken = false;
        const std::optional<QString> reason = writeNewFile(candidate, *bytes, &nameTaken);
        if (!reason) {
            saved.path = candidate;
            return saved;
        }
        if (!nameTaken) {
            saved.failure = QStringLiteral("%1 could not be written: %2").arg(candidate, *reason);
            return saved;
        }
    }
    saved.failure = QStringLiteral("%1 files named %2 exist already.").arg(MostCopies).arg(target);
    return saved;
}

}  // namespace

QString attachmentPathBeside(const QString &pdfPath, const QString &attachmentName)
{
    QString cleaned = cleanPdfName(attachmentName);
    if (cleaned.isEmpty())
        cleaned = QStringLiteral("attachment");
    const QString extension = extensionOf(cleaned);
    const QString name = pdfStem(pdfPath) + QStringLiteral(" - ") + cleaned.left(cleaned.size() - extension.size());
    const int room = FileNameByteLimit - CollisionSuffixReserve - int(extension.toUtf8().size());
    return folderPrefix(pdfPath) + cutToUtf8Bytes(name, room) + extension;
}

QVector<SavedAttachment> saveAttachmentsBeside(const QString &pdfPath, const QVector<MailAttachment> &attachments)
{
    QVector<SavedAttachment> saved;
    saved.reserve(attachments.size());
    for (const MailAttachment &attachment : attachments)
        saved.append(saveOne(pdfPath, attachment));
    return saved;
}
