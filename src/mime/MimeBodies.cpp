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

namespace {

// The content as the message carries it, transfer encoding still on; nothing when the part has
// no content or its stream cannot be read from the start.
std::optional<QByteArray> encodedContent(GMimeDataWrapper *content)
{
    GMimeStream *stream = content ? g_mime_data_wrapper_get_stream(content) : nullptr;
    if (!stream || g_mime_stream_reset(stream) < 0)
        return std::nullopt;
    // Read straight into place up to the length the stream gives, then whatever it still has.
    QByteArray text(qsizetype(qMax<gint64>(0, g_mime_stream_length(stream))), Qt::Uninitialized);
    qsizetype filled = 0;
    while (filled < text.size()) {
        const gssize got = g_mime_stream_read(stream, text.data() + filled, size_t(text.size() - filled));
        if (got <= 0)
            break;
        filled += got;
    }
    text.truncate(filled);
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

// The content written through GMime's decoding stream filter.
QByteArray decodedThroughFilter(GMimeDataWrapper *content)
{
    GObjectPtr<GMimeStream> sink(g_mime_stream_mem_new());
    if (g_mime_data_wrapper_write_to_stream(content, sink.get()) < 0)
        return QByteArray();
    GByteArray *bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(sink.get()));
    if (!bytes || bytes->len == 0)
        return QByteArray();
    return QByteArray(reinterpret_cast<const char *>(bytes->data), qsizetype(bytes->len));
}

// GMime's quoted-printable decoder, fed in pieces as a stream filter would feed it. Between
// escapes it copies every byte as it is, so those stretches (most of a text) are copied here
// whole, and only each escape with the two bytes after it goes through the decoder.
size_t decodeQuotedPrintable(GMimeEncoding &decoder, const QByteArray &text, char *out)
{
    const char *in = text.constData();
    const char *const end = in + text.size();
    char *const start = out;
    while (in < end) {
        if (decoder.state == 0) {
            const char *escape = static_cast<const char *>(std::memchr(in, '=', size_t(end - in)));
            const char *plainEnd = escape ? escape : end;
            std::memcpy(out, in, size_t(plainEnd - in));
            out += plainEnd - in;
            in = plainEnd;
            if (!escape)
                break;
        }
        const size_t piece = size_t(qMin<qptrdiff>(3, end - in));
        out += g_mime_encoding_step(&decoder, in, piece, out);
        in += piece;
    }
    return size_t(out - start);
}

}  // namespace

// Base64 and quoted-printable go through GMime's own decoder in one step over the whole text,
// without the filter's streams and their copies in between. The filter finds a uuencoded
// text's "begin" line itself, so that encoding still goes through it.
QByteArray decodedContent(GMimePart *part)
{
    GMimeDataWrapper *content = g_mime_part_get_content(part);
    if (!content)
        return QByteArray();
    const GMimeContentEncoding encoding = g_mime_data_wrapper_get_encoding(content);
    if (encoding == GMIME_CONTENT_ENCODING_UUENCODE)
        return decodedThroughFilter(content);
    std::optional<QByteArray> encoded = encodedContent(content);
    if (!encoded || encoded->isEmpty())
        return QByteArray();
    if (encoding != GMIME_CONTENT_ENCODING_BASE64 && encoding != GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE)
        return *encoded;
    GMimeEncoding decoder;
    g_mime_encoding_init_decode(&decoder, encoding);
    QByteArray out(qsizetype(g_mime_encoding_outlen(&decoder, size_t(encoded->size()))), Qt::Uninitialized);
    const size_t written = encoding == GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE
        ? decodeQuotedPrintable(decoder, *encoded, out.data())
        : g_mime_encoding_flush(&decoder, encoded->constData(), size_t(encoded->size()), out.data());
    out.truncate(qsizetype(written));
    return out;
}

std::optional<QByteArray> base64Content(GMimePart *part)
{
    GMimeDataWrapper *content = g_mime_part_get_content(part);
    if (!content || g_mime_data_wrapper_get_encoding(content) != GMIME_CONTENT_ENCODING_BASE64)
        return std::nullopt;
    return encodedContent(content);
}

MimeTextBodies findTextBodies(GMimeObject *root)
{
    MimeTextBodies found;
    walk(root, found, 0);
    return found;
}
