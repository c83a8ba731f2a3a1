#include "mime/HtmlCharset.h"

#include <QRegularExpression>
#include <QString>

namespace {

QByteArray charsetFromByteOrderMark(const QByteArray &bytes)
{
    if (bytes.startsWith("\xef\xbb\xbf"))
        return QByteArrayLiteral("utf-8");
    if (bytes.startsWith("\xfe\xff"))
        return QByteArrayLiteral("utf-16be");
    if (bytes.startsWith("\xff\xfe"))
        return QByteArrayLiteral("utf-16le");
    return QByteArray();
}

QByteArray charsetInMetaTag(const QByteArray &tag)
{
    // Both forms carry "charset=" inside the tag: as an attribute, or inside the content value.
    static const QRegularExpression charset(
        QStringLiteral("charset\\s*=\\s*[\"']?\\s*([a-z0-9_.:+-]+)"));
    const QRegularExpressionMatch match = charset.match(QString::fromLatin1(tag));
    return match.hasMatch() ? match.captured(1).toLatin1() : QByteArray();
}

}  // namespace

QByteArray htmlDeclaredCharset(const QByteArray &bytes)
{
    if (QByteArray fromMark = charsetFromByteOrderMark(bytes); !fromMark.isEmpty())
        return fromMark;
    const QByteArray lower = bytes.toLower();
    for (qsizetype at = lower.indexOf("<meta"); at >= 0; at = lower.indexOf("<meta", at + 5)) {
        const qsizetype end = lower.indexOf('>', at);
        const QByteArray declared = charsetInMetaTag(lower.mid(at, end < 0 ? -1 : end - at));
        if (declared.isEmpty())
            continue;
        if (declared.startsWith("utf-16") || declared.startsWith("utf-32") || declared.startsWith("utf16")
            || declared.startsWith("utf32"))
            return QByteArrayLiteral("utf-8");
        return declared;
    }
    return QByteArray();
}
