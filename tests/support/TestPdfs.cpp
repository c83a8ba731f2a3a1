#include "TestPdfs.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryFile>

namespace {

QImage photoLike(quint32 seed)
{
    QImage image(320, 240, QImage::Format_RGB32);
    QRandomGenerator random(seed);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb((x + int(seed)) % 256, (y * 2) % 256, int(random.bounded(256))));
    return image;
}

QString runTool(const QString &tool, const QStringList &arguments)
{
    QProcess process;
    process.start(tool, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

}  // namespace

QByteArray pdfWithPages(const QStringList &pageTexts, bool picture)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(72);
        QPainter painter(&writer);
        QFont font = painter.font();
        font.setPixelSize(28);
        painter.setFont(font);
        for (int i = 0; i < pageTexts.size(); ++i) {
            if (i > 0)
                writer.newPage();
            if (picture)
                painter.drawImage(QRect(40, 120, 320, 240), photoLike(quint32(qHash(pageTexts.at(i)))));
            painter.drawText(QPoint(40, 80), pageTexts.at(i));
        }
    }
    return buffer.data();
}

QStringList pdfPageTexts(const QByteArray &pdf)
{
    QTemporaryFile file;
    if (!file.open() || file.write(pdf) != pdf.size() || !file.flush())
        return {};
    QStringList pages = runTool(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), file.fileName(),
                                                              QStringLiteral("-")})
                            .split(QLatin1Char('\f'));
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();  // the form feed after the last page
    for (QString &page : pages)
        page = page.trimmed();
    return pages;
}

QString pdfInfoField(const QString &pdfPath, const QString &field)
{
    const QStringList lines = runTool(QStringLiteral("pdfinfo"), {pdfPath}).split(QLatin1Char('\n'));
    for (const QString &line : lines)
        if (line.startsWith(field + QLatin1Char(':')))
            return line.mid(field.size() + 1).trimmed();
    return {};
}
