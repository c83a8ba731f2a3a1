#include "print/PictureSize.h"

#include "platform/PictureSignature.h"

#include <QBuffer>
#include <QImageReader>

namespace {

quint32 littleEndian(const QByteArray &bytes, int at, int count)
{
    quint32 value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = (value << 8) | uchar(bytes[at + i]);
    return value;
}

// This Qt has no WebP reader; the three WebP headers carry the size at fixed places.
std::optional<QSize> webpSize(const QByteArray &bytes)
{
    if (bytes.size() < 30)
        return std::nullopt;
    const QByteArray chunk = bytes.mid(12, 4);
    if (chunk == "VP8X")
        return QSize(int(littleEndian(bytes, 24, 3)) + 1, int(littleEndian(bytes, 27, 3)) + 1);
    if (chunk == "VP8L" && uchar(bytes[20]) == 0x2f) {
        const quint32 bits = littleEndian(bytes, 21, 4);
        return QSize(int(bits & 0x3fff) + 1, int((bits >> 14) & 0x3fff) + 1);
    }
    if (chunk == "VP8 " && bytes.mid(23, 3) == "\x9d\x01\x2a")
        return QSize(int(littleEndian(bytes, 26, 2) & 0x3fff), int(littleEndian(bytes, 28, 2) & 0x3fff));
    return std::nullopt;
}

}  // namespace

std::optional<QSize> pictureSize(const QByteArray &bytes)
{
    const QByteArray type = platform::pictureTypeOf(bytes);
    if (type.isEmpty())
        return std::nullopt;
    if (type == "image/webp")
        return webpSize(bytes);
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, type.mid(6));
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty())
        return std::nullopt;
    return size;
}
