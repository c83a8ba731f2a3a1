#include "mime/MimeAttachments.h"

#include <QHash>
#include <QSet>

#include <algorithm>

namespace {

// As deep as the body search goes; a deeper tree is not mail anyone wrote.
constexpr int kMaxDepth = 64;

struct Walk {
    const MimeTextBodies &bodies;
    QSet<QString> pictureIds;
    QVector<MailAttachment> found;
};

QByteArray lowerType(GMimeObject *object)
{
    GMimeContentType *type = g_mime_object_get_content_type(object);
    if (!type)
        return QByteArrayLiteral("application/octet-stream");
    GCharPtr text(g_mime_content_type_get_mime_type(type));
    return text ? QByteArray(text.get()).toLower() : QByteArrayLiteral("application/octet-stream");
}

bool markedAttachment(GMimeObject *object)
{
    GMimeContentDisposition *disposition = g_mime_object_get_content_disposition(object);
    return disposition && g_mime_content_disposition_is_attachment(disposition);
}

// The name the part gives itself: the disposition's "filename", else the type's "name" (GMime
// has undone RFC 2231 and RFC 2047 in both).
QString declaredName(GMimeObject *object)
{
    const char *name = g_mime_object_get_content_disposition_parameter(object, "filename");
    if (!name || !*name)
        name = g_mime_object_get_content_type_parameter(object, "name");
    return name ? QString::fromUtf8(name) : QString();
}

void keep(Walk &walk, const QString &declared, const QByteArray &type, const QByteArray &bytes,
          SpooledBytes::Form form = SpooledBytes::Form::AsIs)
{
    MailAttachment attachment;
    attachment.fileName = attachmentFileName(declared, type, walk.found.size() + 1);
    attachment.type = type;
    attachment.size = form == SpooledBytes::Form::Base64 ? SpooledBytes::base64DecodedSize(bytes) : bytes.size();
    attachment.bytes = SpooledBytes::store(bytes, form);
    walk.found.append(std::move(attachment));
}

// A file kept as the message carries it, mostly base64: decoding waits for a run that reads it.
void keepPart(Walk &walk, GMimePart *part)
{
    const char *name = g_mime_part_get_filename(part);
    const QString declared = name ? QString::fromUtf8(name) : QString();
    const QByteArray type = lowerType(GMIME_OBJECT(part));
    if (const std::optional<QByteArray> base64 = base64Content(part))
        keep(walk, declared, type, *base64, SpooledBytes::Form::Base64);
    else
        keep(walk, declared, type, decodedContent(part));
}

// An attached message goes as the message file it was, named after its subject when it has no
// file name of its own.
void keepMessage(Walk &walk, GMimeObject *object, GMimeMessage *inner)
{
    QString name = declaredName(object);
    if (name.trimmed().isEmpty() && inner) {
        const char *subject = g_mime_message_get_subject(inner);
        if (subject && *subject)
            name = QString::fromUtf8(subject).simplified() + QStringLiteral(".eml");
    }
    QByteArray bytes;
    if (inner) {
        GObjectPtr<GMimeStream> sink(g_mime_stream_mem_new());
        if (g_mime_object_write_to_stream(GMIME_OBJECT(inner), nullptr, sink.get()) >= 0) {
            GByteArray *written = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(sink.get()));
            if (written && written->len)
                bytes = QByteArray(reinterpret_cast<const char *>(written->data), qsizetype(written->len));
        }
    }
    keep(walk, name, QByteArrayLiteral("message/rfc822"), bytes);
}

bool isAttachedPart(Walk &walk, GMimePart *part)
{
    if (part == walk.bodies.plainPart || part == walk.bodies.htmlPart)
        return false;
    GMimeObject *object = GMIME_OBJECT(part);
    if (markedAttachment(object))
        return true;
    GMimeContentType *type = g_mime_object_get_content_type(object);
    if (type && g_mime_content_type_is_type(type, "text", "*"))
        return false;
    const char *id = g_mime_object_get_content_id(object);
    if (id && walk.pictureIds.contains(QString::fromUtf8(id)))
        return false;
    const char *name = g_mime_part_get_filename(part);
    return name && *name;
}

void visit(Walk &walk, GMimeObject *object, int depth)
{
    if (!object || depth > kMaxDepth)
        return;
    if (GMIME_IS_MULTIPART(object)) {
        GMimeMultipart *multipart = GMIME_MULTIPART(object);
        const int count = g_mime_multipart_get_count(multipart);
        for (int i = 0; i < count; ++i)
            visit(walk, g_mime_multipart_get_part(multipart, i), depth + 1);
        return;
    }
    if (GMIME_IS_MESSAGE_PART(object)) {
        GMimeMessage *inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(object));
        // A forward shown inline is read as part of this message, and so are its files.
        if (markedAttachment(object) || !declaredName(object).trimmed().isEmpty())
            keepMessage(walk, object, inner);
        else if (inner)
            visit(walk, g_mime_message_get_mime_part(inner), depth + 1);
        return;
    }
    if (GMIME_IS_PART(object) && isAttachedPart(walk, GMIME_PART(object)))
        keepPart(walk, GMIME_PART(object));
}

QString extensionFor(const QByteArray &type)
{
    static const QHash<QByteArray, QString> known{
        {"application/pdf", QStringLiteral(".pdf")},   {"application/zip", QStringLiteral(".zip")},
        {"image/png", QStringLiteral(".png")},         {"image/jpeg", QStringLiteral(".jpg")},
        {"image/gif", QStringLiteral(".gif")},         {"text/plain", QStringLiteral(".txt")},
        {"text/html", QStringLiteral(".html")},        {"text/calendar", QStringLiteral(".ics")},
        {"message/rfc822", QStringLiteral(".eml")},    {"text/csv", QStringLiteral(".csv")},
    };
    return known.value(type);
}

}  // namespace

QString attachmentFileName(const QString &declared, const QByteArray &type, int number)
{
    QString name = declared;
    const qsizetype cut = std::max(name.lastIndexOf(QLatin1Char('/')), name.lastIndexOf(QLatin1Char('\\')));
    name = name.mid(cut + 1);
    name.removeIf([](QChar c) { return c.category() == QChar::Other_Control; });
    name = name.trimmed();
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return QStringLiteral("attachment-%1").arg(number) + extensionFor(type);
    return name;
}

QVector<MailAttachment> findAttachments(GMimeObject *root, const MimeTextBodies &bodies,
                                        const InlinePictures &pictures)
{
    Walk walk{bodies, {}, {}};
    for (const InlinePicture &picture : pictures)
        walk.pictureIds.insert(picture.contentId);
    visit(walk, root, 0);
    return walk.found;
}
