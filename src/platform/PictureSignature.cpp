#include "platform/PictureSignature.h"

namespace platform {

namespace {

quint32 littleEndian32(const QByteArray &bytes, int at)
{
    quint32 value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | uchar(bytes[at + i]);
    return value;
}

// "BM" alone starts too many texts; a real bitmap also names one of the known info-header sizes.
bool isBitmap(const QByteArray &bytes)
{
    if (bytes.size() < 18 || !bytes.startsWith("BM"))
        return false;
    const quint32 infoSize = littleEndian32(bytes, 14);
    return infoSize == 12 || infoSize == 40 || infoSize == 52 || infoSize == 56 || infoSize == 64
           || infoSize == 108 || infoSize == 124;
}

}  // namespace

QByteArray pictureTypeOf(const QByteArray &bytes)
{
    if (bytes.startsWith("\x89PNG\r\n\x1a\n"))
        return QByteArrayLiteral("image/png");
    if (bytes.startsWith("\xff\xd8\xff"))
        return QByteArrayLiteral("image/jpeg");
    if (bytes.startsWith("GIF87a") || bytes.startsWith("GIF89a"))
        return QByteArrayLiteral("image/gif");
    if (bytes.size() >= 16 && bytes.startsWith("RIFF") && bytes.mid(8, 7) == "WEBPVP8")
        return QByteArrayLiteral("image/webp");
    if (isBitmap(bytes))
        return QByteArrayLiteral("image/bmp");
    return QByteArray();
}

}  // namespace platform
