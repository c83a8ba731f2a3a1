#include "mime/MimeBodies.h"

#include "mime/HtmlCharset.h"
#include "mime/MimeCharset.h"

#include <cstring>

namespace {

// Deeper trees are not mail anyone wrote; stopping keeps a hostile message from exhausting
// the stack.
constexpr int kMaxDepth = 64;

bool isAttachment(GMimeObject *object)
{
    GMimeContentDisposition *disposition = g_mime_object_get_content_disposition(object);
    return disposition && g_mime_content_disposition_is_attachment(disposition);
}

// Every CR LF as LF, in place: the stretches between carriage returns (found by the fast
// search) are moved down whole. QString::replace searched for each line end anew.
void joinLineEnds(QString &text)
{
    qsizetype cr = text.indexOf(u'\r');
    if (cr < 0)
        return;
    QChar *chars = text.data();
    const qsizetype size = text.size();
    const QStringView view(chars, size);
    qsizetype to = cr;
    while (cr >= 0) {
        const qsizetype next = view.indexOf(u'\r', cr + 1);
        const qsizetype end = next < 0 ? size : next;
        const qsizetype keep = cr + 1 < size && chars[cr + 1] == u'\n' ? cr + 1 : cr;
        std::memmove(chars + to, chars + keep, size_t(end - keep) * sizeof(QChar));
        to += end - keep;
        cr = next;
    }
    text.truncate(to);
}

// An HTML part without a charset parameter is read in the charset its markup declares.
QString partText(GMimePart *part, bool isHtml)
{
    const char *parameter = g_mime_object_get_content_type_parameter(GMIME_OBJECT(part), "charset");
    QByteArray charset(parameter ? parameter : "");
    const QByteArray bytes = decodedContent(part);
    if (isHtml && charset.trimmed().isEmpty())
        charset = htmlDeclaredCharset(bytes);
    QString text = decodeCharset(bytes, charset);
    joinLineEnds(text);
    return text;
}

void takeIfText(GMimePart *part, MimeTextBodies &found)
{
    GMimeContentType *type = g_mime_object_get_content_type(GMIME_OBJECT(part));
    // A part without a Content-Type header is text/plain (GMime fills that in as well).
    const bool isPlain = !type || g_mime_content_type_is_type(type, "text", "plain");
    if (isPlain && !found.plain) {
        found.plain = partText(part, false);
        found.plainPart = part;
    } else if (type && g_mime_content_type_is_type(type, "text", "html") && !found.html) {
        found.html = partText(part, true);
        found.htmlPart = part;
    }
}

void walk(GMimeObject *object, MimeTextBodies &found, int depth)
{
    if (!object || depth > kMaxDepth || (found.plain && found.html))
        return;
    if (GMIME_IS_MULTIPART(object)) {
        GMimeMultipart *multipart = GMIME_MULTIPART(object);
        const int count = g_mime_multipart_get_count(multipart);
        for (int i = 0; i < count; ++i)
            walk(g_mime_multipart_get_part(multipart, i), found, depth + 1);
        return;
    }
    if (isAttachment(object))
        return;
    if (GMIME_IS_MESSAGE_PART(object)) {
        // A message shown inline (a forward without "attachment") is part of what is read.
        GMimeMessage *inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(object));
        if (inner)
            walk(g_mime_message_get_mime_part(inner), found, depth + 1);
        return;
    }
    if (GMIME_IS_PART(object))
        takeIfText(GMIME_PART(object), found);
}

} // namespace

QByteArray decodedContent(GMimePart *part)
{
    GMimeDataWrapper *content = g_mime_part_get_content(part);
    if (!content)
        return QByteArray();
    GObjectPtr<GMimeStream> sink(g_mime_stream_mem_new());
    if (g_mime_data_wrapper_write_to_stream(content, sink.get()) < 0)
        return QByteArray();
    GByteArray *bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(sink.get()));
    if (!bytes || bytes->len == 0)
        return QByteArray();
    return QByteArray(reinterpret_cast<const char *>(bytes->data), qsizetype(bytes->len));
}

std::optional<QByteArray> base64Content(GMimePart *part)
{
    GMimeDataWrapper *content = g_mime_part_get_content(part);
    if (!content || g_mime_data_wrapper_get_encoding(content) != GMIME_CONTENT_ENCODING_BASE64)
        return std::nullopt;
    GMimeStream *stream = g_mime_data_wrapper_get_stream(content);
    if (!stream || g_mime_stream_reset(stream) < 0)
        return std::nullopt;
    QByteArray text;
    const gint64 length = g_mime_stream_length(stream);
    if (length > 0)
        text.reserve(qsizetype(length));
    char piece[64 * 1024];
    for (;;) {
        const gssize got = g_mime_stream_read(stream, piece, sizeof piece);
        if (got <= 0)
            break;
        text.append(piece, qsizetype(got));
    }
    g_mime_stream_reset(stream);
    return text;
}

MimeTextBodies findTextBodies(GMimeObject *root)
{
    MimeTextBodies found;
    walk(root, found, 0);
    return found;
}
