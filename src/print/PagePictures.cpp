#include "print/PagePictures.h"

#include "core/ErrorLog.h"
#include "mime/MimeInlineImages.h"
#include "platform/MessagePageScheme.h"
#include "platform/PictureSignature.h"
#include "print/PictureSize.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QUrl>

namespace {

// Relative to the page, as the logo is: the page's own address already names its folder, and a
// picture named a thousand times costs a thousand short names, not a thousand full paths.
QString pictureAddress(const QString &folder, const QString &file)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(QFileInfo(folder).fileName())) + QLatin1Char('/') + file;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QByteArray placeholderPicture()
{
    QImage image(260, 36, QImage::Format_RGB32);
    image.fill(QColor(0xee, 0xee, 0xee));
    QPainter painter(&image);
    painter.setPen(QColor(0x66, 0x66, 0x66));
    painter.drawRect(image.rect().adjusted(0, 0, -1, -1));
    // Text needs the fonts of a GUI application; without one the grey box alone stands in.
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        painter.drawText(image.rect(), Qt::AlignCenter, QStringLiteral("Picture too large to show"));
    painter.end();
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

// Decides, picture by picture, what one page may show, and writes what it shows.
class PagePictureWriter {
public:
    PagePictureWriter(const MessageEntry &entry, const QString &pagePath)
        : m_entry(entry), m_folder(platform::pagePicturesFolder(pagePath)), m_page(++pagesWritten())
    {
        QDir(m_folder).removeRecursively();
        m_ready = QDir().mkpath(m_folder);
    }

    // The address that shows the picture, or the placeholder's when the page may not show it.
    QString addressFor(const QByteArray &bytes, const QString &what)
    {
        const QString refusal = refusalOf(bytes);
        if (!refusal.isEmpty()) {
            logRefusal(what, refusal);
            return placeholderAddress();
        }
        return store(bytes);
    }

private:
    QString refusalOf(const QByteArray &bytes)
    {
        const std::optional<QSize> size = pictureSize(bytes);
        if (!size)
            return QStringLiteral("its size cannot be read");
        const qint64 pixels = qint64(size->width()) * size->height();
        const QString dimensions = QStringLiteral("%1 x %2 pixels").arg(size->width()).arg(size->height());
        if (pixels > kMostPicturePixels)
            return dimensions + QStringLiteral(", more than the %1 megapixels one picture may have")
                                    .arg(kMostPicturePixels / 1'000'000);
        if (m_pixels + pixels > kMostPagePixels)
            return dimensions + QStringLiteral(", beyond the %1 megapixels one page may show")
                                    .arg(kMostPagePixels / 1'000'000);
        m_pixels += pixels;
        return QString();
    }

    void logRefusal(const QString &what, const QString &refusal)
    {
        appendErrorLogRecord(QStringLiteral("Picture not shown: %1, %2. Message from %3, subject \"%4\", date %5.")
                                 .arg(what, refusal, m_entry.From, m_entry.Subject, m_entry.ReceivedDate));
    }

    QString store(const QByteArray &bytes)
    {
        // A view keeps its renderer from page to page, and the renderer keeps the pictures it
        // loaded by address: a picture of this page must never have the address of one of an
        // earlier page, or the earlier picture shows (and prints) in its place.
        const QString name = QStringLiteral("%1-%2").arg(m_page).arg(++m_stored);
        if (!m_ready || !writeFile(m_folder + QLatin1Char('/') + name, bytes))
            return QString();  // a picture that could not be written shows as missing
        return pictureAddress(m_folder, name);
    }

    QString placeholderAddress()
    {
        if (m_placeholder.isEmpty()) {
            const QString name = QStringLiteral("placeholder");
            if (m_ready && writeFile(m_folder + QLatin1Char('/') + name, placeholderPicture()))
                m_placeholder = pictureAddress(m_folder, name);
        }
        return m_placeholder;
    }

    const MessageEntry &m_entry;
    QString m_folder;
    bool m_ready = false;
    quint64 m_page;
    int m_stored = 0;

    static quint64 &pagesWritten()
    {
        static quint64 count = 0;
        return count;
    }
    qint64 m_pixels = 0;
    QString m_placeholder;
};

QString linkInlinePictures(const MessageEntry &entry, const QString &body, PagePictureWriter &writer)
{
    QHash<QString, QString> addresses;
    return replaceCidReferences(body, [&](const QString &id) -> std::optional<QString> {
        if (const auto known = addresses.constFind(id); known != addresses.constEnd())
            return *known;
        for (const InlinePicture &picture : entry.InlinePictures) {
            if (picture.contentId == id) {
                const QString address =
                    writer.addressFor(picture.bytes, QStringLiteral("inline picture <%1>").arg(id));
                addresses.insert(id, address);
                return address;
            }
        }
        return std::nullopt;
    });
}

// A data: picture written into the body reaches the browser without passing any part of the
// message: its header is read here like any other picture's.
QString boundDataPictures(const QString &body, PagePictureWriter &writer)
{
    if (!body.contains(QLatin1String("data:"), Qt::CaseInsensitive))
        return body;
    static const QRegularExpression dataPicture(
        QStringLiteral("data:([^;,\"'\\s]*);base64,([A-Za-z0-9+/=\\r\\n]*)"),
        QRegularExpression::CaseInsensitiveOption);
    QHash<QString, QString> replaced;
    QString out;
    qsizetype copiedTo = 0;
    for (auto it = dataPicture.globalMatch(body); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        const QString declared = match.captured(1).toLower();
        const QByteArray bytes = QByteArray::fromBase64(match.capturedView(2).toLatin1());
        const bool picture = !platform::pictureTypeOf(bytes).isEmpty();
        // A picture of a kind whose size this program cannot read is not passed on either;
        // vector pictures and anything that is no picture (fonts) stay as written.
        const bool otherPicture = declared.startsWith(QLatin1String("image/"))
                                  && declared != QLatin1String("image/svg+xml");
        if (!picture && !otherPicture)
            continue;
        const QString key = match.captured(0);
        auto address = replaced.constFind(key);
        if (address == replaced.constEnd()) {
            const QString shown =
                picture ? writer.addressFor(bytes, QStringLiteral("data: picture in the body"))
                        : writer.addressFor(QByteArray(), QStringLiteral("data: picture (%1) in the body").arg(declared));
            address = replaced.insert(key, shown);
        }
        out += QStringView(body).mid(copiedTo, match.capturedStart() - copiedTo);
        out += *address;
        copiedTo = match.capturedEnd();
    }
    if (copiedTo == 0)
        return body;
    out += QStringView(body).mid(copiedTo);
    return out;
}

}  // namespace

QString linkPagePictures(const MessageEntry &entry, const QString &body, const QString &pagePath)
{
    PagePictureWriter writer(entry, pagePath);
    return boundDataPictures(linkInlinePictures(entry, body, writer), writer);
}
