#include "platform/WidthFitPrint.h"

#include <QPointer>
#include <QRectF>
#include <QWebEnginePage>

// The current handle type of qpdf, without the warning about its older one.
#define POINTERHOLDER_TRANSITION 4
#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFAnnotationObjectHelper.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

namespace platform {

namespace {

constexpr double kCssPixelsPerPoint = 96.0 / 72.0;
// A page reports whole pixels; a little room keeps a rounded-down width from losing its last one.
constexpr double kSlackPixels = 2.0;

// `layout` enlarged by 1 / `scale`: the same shape, margins in proportion.
QPageLayout enlarged(const QPageLayout &layout, double scale)
{
    const QSizeF paper = layout.fullRect(QPageLayout::Point).size() / scale;
    const QMarginsF margins = layout.margins(QPageLayout::Point) / scale;
    return QPageLayout(QPageSize(paper, QPageSize::Point, QString(), QPageSize::ExactMatch),
                       QPageLayout::Portrait, margins, QPageLayout::Point);
}

// Replaces the rectangle under `key` by one scaled by `scale`; a new array, so that a rectangle
// shared with another page is scaled once only.
void scaleRectangle(QPDFObjectHandle dictionary, const char *key, QPDFObjectHandle rectangle, double scale)
{
    if (!rectangle.isRectangle())
        return;
    const QPDFObjectHandle::Rectangle r = rectangle.getArrayAsRectangle();
    dictionary.replaceKey(key, QPDFObjectHandle::newFromRectangle(QPDFObjectHandle::Rectangle(
                                   r.llx * scale, r.lly * scale, r.urx * scale, r.ury * scale)));
}

void scalePage(QPDF &doc, QPDFPageObjectHelper &page, double scale)
{
    const QByteArray factor = QByteArray::number(scale, 'f', 6);  // never the locale's comma
    page.addPageContents(QPDFObjectHandle::newStream(&doc, ("q " + factor + " 0 0 " + factor + " 0 0 cm\n").toStdString()),
                         true);
    page.addPageContents(QPDFObjectHandle::newStream(&doc, "\nQ\n"), false);
    QPDFObjectHandle object = page.getObjectHandle();
    scaleRectangle(object, "/MediaBox", page.getMediaBox(), scale);  // an inherited one too
    for (const char *key : {"/CropBox", "/BleedBox", "/TrimBox", "/ArtBox"})
        scaleRectangle(object, key, object.getKey(key), scale);
    for (QPDFAnnotationObjectHelper &annotation : page.getAnnotations()) {
        QPDFObjectHandle a = annotation.getObjectHandle();
        scaleRectangle(a, "/Rect", a.getKey("/Rect"), scale);
    }
}

void printScaled(QWebEnginePage *page, const QPageLayout &layout, double scale,
                 std::function<void(const QByteArray &)> done)
{
    page->printToPdf([done = std::move(done), scale](const QByteArray &pdf) {
        done(pdf.isEmpty() ? pdf : scalePdfPages(pdf, scale));
    }, enlarged(layout, scale));
}

}  // namespace

double widthFitScale(const QSizeF &contentsSize, int viewWidth, const QPageLayout &layout)
{
    const double printable = layout.paintRect(QPageLayout::Point).width() * kCssPixelsPerPoint;
    const double needed = contentsSize.width() + kSlackPixels;
    if (contentsSize.width() <= viewWidth || needed <= printable || printable <= 0)
        return 1.0;
    return printable / needed;
}

QByteArray scalePdfPages(const QByteArray &pdf, double scale)
{
    try {
        QPDF doc;
        doc.setSuppressWarnings(true);
        doc.processMemoryFile("printed page", pdf.constData(), size_t(pdf.size()));
        for (QPDFPageObjectHelper &page : QPDFPageDocumentHelper(doc).getAllPages())
            scalePage(doc, page, scale);
        QPDFWriter writer(doc);
        writer.setOutputMemory();
        writer.write();
        const std::shared_ptr<Buffer> out = writer.getBufferSharedPointer();
        return QByteArray(reinterpret_cast<const char *>(out->getBuffer()), qsizetype(out->getSize()));
    } catch (const std::exception &) {
        return {};
    }
}

void printToPdfFittingWidth(QWebEnginePage *page, int viewWidth, const QPageLayout &layout,
                            std::function<void(const QByteArray &)> done)
{
    const double scale = widthFitScale(page->contentsSize(), viewWidth, layout);
    if (scale < 1.0) {
        printScaled(page, layout, scale, std::move(done));
        return;
    }
    // A page reports its width with the first frame drawn after it loaded, which a print right
    // after the load overtakes; by the time that print is back, the width is there. Only a
    // page that turns out too wide is printed again.
    QPointer<QWebEnginePage> guarded(page);
    page->printToPdf([guarded, viewWidth, layout, done = std::move(done)](const QByteArray &pdf) {
        const double later = guarded && !pdf.isEmpty() ? widthFitScale(guarded->contentsSize(), viewWidth, layout) : 1.0;
        if (later < 1.0)
            printScaled(guarded, layout, later, done);
        else
            done(pdf);
    }, layout);
}

}  // namespace platform
