#include "mime/MimeLibrary.h"
#include "mime/MimeCharset.h"

#include <QSet>
#include <QStringDecoder>
#include <cerrno>
#include <optional>

namespace {

// Length of the valid UTF-8 sequence at data[i], or 0 when the byte starts no valid sequence
// (stray continuation byte, overlong form, surrogate, beyond U+10FFFF, truncated).
int validUtf8Length(const uchar *data, qsizetype size, qsizetype i, char32_t &codePoint)
{
    const uchar lead = data[i];
    int length;
    char32_t min;
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2;
        min = 0x80;
        codePoint = lead & 0x1f;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3;
        min = 0x800;
        codePoint = lead & 0x0f;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4;
        min = 0x10000;
        codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > size)
        return 0;
    for (int k = 1; k < length; ++k) {
        const uchar c = data[i + k];
        if ((c & 0xc0) != 0x80)
            return 0;
        codePoint = (codePoint << 6) | (c & 0x3f);
    }
    if (codePoint < min || codePoint > 0x10ffff || (codePoint >= 0xd800 && codePoint <= 0xdfff))
        return 0;
    return length;
}

// windows-1252's characters for 0x80-0x9f; the five bytes it leaves undefined keep their
// Latin-1 value, as browsers read them.
const char16_t kWindows1252High[32] = {
    0x20ac, 0x0081, 0x201a, 0x0192, 0x201e, 0x2026, 0x2020, 0x2021,
    0x02c6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008d, 0x017d, 0x008f,
    0x0090, 0x2018, 0x2019, 0x201c, 0x201d, 0x2022, 0x2013, 0x2014,
    0x02dc, 0x2122, 0x0161, 0x203a, 0x0153, 0x009d, 0x017e, 0x0178};

QChar windows1252Char(uchar c)
{
    return (c >= 0x80 && c <= 0x9f) ? QChar(kWindows1252High[c - 0x80]) : QChar(c);
}

QString decodeWindows1252(const QByteArray &bytes)
{
    QString out(bytes.size(), Qt::Uninitialized);
    QChar *dst = out.data();
    for (qsizetype i = 0; i < bytes.size(); ++i)
        dst[i] = windows1252Char(uchar(bytes[i]));
    return out;
}

// A charset name goes to iconv_open only when it looks like one.
bool isPlausibleCharsetName(const QByteArray &name)
{
    if (name.isEmpty() || name.size() > 40)
        return false;
    for (char c : name) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
                        || c == '-' || c == '_' || c == '.' || c == ':' || c == '+';
        if (!ok)
            return false;
    }
    return true;
}

bool isUtf8Family(const QByteArray &canonical)
{
    static const QSet<QByteArray> names = {"utf-8", "utf8", "us-ascii", "ascii", "us",
                                           "ansi_x3.4-1968", "iso646-us", "iso-ir-6", "cp367"};
    return names.contains(canonical);
}

bool isLatin1Family(const QByteArray &canonical)
{
    static const QSet<QByteArray> names = {"iso-8859-1", "iso8859-1", "iso_8859-1", "latin1",
                                           "l1", "cp819", "ibm819", "iso-ir-100", "cp1252",
                                           "windows-1252", "windows-cp1252", "x-cp1252"};
    return names.contains(canonical);
}

bool appendConverted(QByteArray &utf8, iconv_t cd, const char *&in, size_t &inLeft)
{
    char buffer[4096];
    char *out = buffer;
    size_t outLeft = sizeof buffer;
    const size_t result = iconv(cd, const_cast<char **>(&in), &inLeft, &out, &outLeft);
    const int error = errno;
    utf8.append(buffer, out - buffer);
    if (result != size_t(-1))
        return true;
    if (error == E2BIG)
        return true;
    if (error == EILSEQ || error == EINVAL) {
        // One byte the charset does not allow (or a sequence cut off at the end): mark it and
        // go on with the rest of the text.
        utf8.append("\xef\xbf\xbd");
        ++in;
        --inLeft;
        return true;
    }
    return false;
}

std::optional<QString> decodeWithIconv(const QByteArray &bytes, const QByteArray &charset)
{
    iconv_t cd = g_mime_iconv_open("UTF-8", charset.constData());
    if (cd == iconv_t(-1))
        return std::nullopt;
    QByteArray utf8;
    utf8.reserve(bytes.size() * 2);
    const char *in = bytes.constData();
    size_t inLeft = size_t(bytes.size());
    bool ok = true;
    while (inLeft > 0 && ok)
        ok = appendConverted(utf8, cd, in, inLeft);
    char buffer[64];
    char *out = buffer;
    size_t outLeft = sizeof buffer;
    iconv(cd, nullptr, nullptr, &out, &outLeft);
    utf8.append(buffer, out - buffer);
    g_mime_iconv_close(cd);
    if (!ok)
        return std::nullopt;
    return QString::fromUtf8(utf8);
}

} // namespace

QString decodeUtf8WithWindows1252Fallback(const QByteArray &bytes)
{
    // Nearly all text is valid UTF-8; Qt's decoder is much faster than the loop below.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString fast = utf8.decode(bytes);
    if (!utf8.hasError())
        return fast;

    QString out;
    out.reserve(bytes.size());
    const auto *data = reinterpret_cast<const uchar *>(bytes.constData());
    const qsizetype size = bytes.size();
    qsizetype i = 0;
    while (i < size) {
        if (data[i] < 0x80) {
            out.append(QChar(data[i++]));
            continue;
        }
        char32_t codePoint = 0;
        const int length = validUtf8Length(data, size, i, codePoint);
        if (length == 0) {
            out.append(windows1252Char(data[i++]));
        } else {
            if (QChar::requiresSurrogates(codePoint)) {
                out.append(QChar(QChar::highSurrogate(codePoint)));
                out.append(QChar(QChar::lowSurrogate(codePoint)));
            } else {
                out.append(QChar(char16_t(codePoint)));
            }
            i += length;
        }
    }
    return out;
}

QString decodeCharset(const QByteArray &bytes, const QByteArray &charset)
{
    mimeParserOptions(); // GMime's charset tables must be set up before g_mime_iconv_open
    const QByteArray name = charset.trimmed();
    if (!isPlausibleCharsetName(name))
        return decodeUtf8WithWindows1252Fallback(bytes);
    const QByteArray canonical = QByteArray(g_mime_charset_canon_name(name.constData())).toLower();
    if (isUtf8Family(canonical))
        return decodeUtf8WithWindows1252Fallback(bytes);
    if (isLatin1Family(canonical))
        return decodeWindows1252(bytes);
    if (auto text = decodeWithIconv(bytes, name))
        return *text;
    return decodeUtf8WithWindows1252Fallback(bytes);
}
