#include "print/SavedAttachments.h"

#include "print/NewFiles.h"
#include "print/PdfFileName.h"

#include <QFile>
#include <QFileInfo>
#include <optional>


namespace {

const QString PdfExtension = QStringLiteral(".pdf");
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
        const QString candidate = numberedPath(target, n, extensionOf(QFileInfo(target).fileName()));
        if (nameTaken(candidate))
            continue;
        bool lost = false;
        const std::optional<QString> reason = writeNewFile(candidate, *bytes, &lost);
        if (!reason) {
            saved.path = candidate;
            return saved;
        }
        if (!lost) {
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
