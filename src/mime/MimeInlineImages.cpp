#include "mime/MimeInlineImages.h"

#include "mime/MimeBodies.h"

#include <QHash>
#include <QRegularExpression>
#include <QUrl>

namespace {

// As deep as the body search goes; a deeper tree is not mail anyone wrote.
constexpr int kMaxDepth = 64;

// Content-ID (without its angle brackets) -> data: URI, for every picture part.
void collectPictures(GMimeObject *object, QHash<QString, QString> &pictures, int depth)
{
    if (!object || depth > kMaxDepth)
        return;
    if (GMIME_IS_MULTIPART(object)) {
        GMimeMultipart *multipart = GMIME_MULTIPART(object);
        for (int i = 0; i < g_mime_multipart_get_count(multipart); ++i)
            collectPictures(g_mime_multipart_get_part(multipart, i), pictures, depth + 1);
        return;
    }
    if (!GMIME_IS_PART(object))
        return;
    const char *id = g_mime_object_get_content_id(object);
    GMimeContentType *type = g_mime_object_get_content_type(object);
    if (!id || !*id || !type || !g_mime_content_type_is_type(type, "image", "*"))
        return;
    const QString key = QString::fromUtf8(id);
    if (pictures.contains(key))
        return;  // the first part with an id wins, as in a mail reader
    GCharPtr mime(g_mime_content_type_get_mime_type(type));
    pictures.insert(key, QStringLiteral("data:%1;base64,%2")
                             .arg(QString::fromUtf8(mime.get()).toLower(),
                                  QString::fromLatin1(decodedContent(GMIME_PART(object)).toBase64())));
}

}  // namespace

QString inlineCidImages(GMimeObject *root, const QString &html)
{
    if (!html.contains(QLatin1String("cid:"), Qt::CaseInsensitive))
        return html;
    QHash<QString, QString> pictures;
    collectPictures(root, pictures, 0);
    if (pictures.isEmpty())
        return html;
    static const QRegularExpression reference(QStringLiteral("cid:([^\"'\\s)>]+)"),
                                              QRegularExpression::CaseInsensitiveOption);
    QString out;
    qsizetype copiedTo = 0;
    for (auto it = reference.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        // The id may be written percent-encoded in the URL.
        const QString id = QUrl::fromPercentEncoding(match.captured(1).toUtf8());
        const auto picture = pictures.constFind(id);
        if (picture == pictures.constEnd())
            continue;
        out += QStringView(html).mid(copiedTo, match.capturedStart() - copiedTo);
        out += *picture;
        copiedTo = match.capturedEnd();
    }
    out += QStringView(html).mid(copiedTo);
    return out;
}
