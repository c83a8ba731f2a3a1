#pragma once
// Printing a page whose content is wider than the paper: Chromium lays a printed page out at the
// paper's printable width, shrinks it by only so much, and cuts off whatever is still wider (the
// last columns of a wide table). Here such a page is printed on a proportionally larger sheet,
// so that all of it fits across, and each sheet of the PDF is then scaled down to the paper:
// vector content, text and links scale with it.
//
// The width needed is what the loaded page reports as its contents' width in the view: a page
// that lets its content grow wider than the view instead of clipping it (the message page does)
// reports the width of its widest unbreakable content there.

#include <QByteArray>
#include <QPageLayout>
#include <QSizeF>
#include <functional>

class QWebEnginePage;

namespace platform {

// The factor (at most 1) that brings content `contentsSize` wide, laid out in a view
// `viewWidth` wide, within the printable width of `layout`. 1 when the content does not
// run past the view or already fits.
double widthFitScale(const QSizeF &contentsSize, int viewWidth, const QPageLayout &layout);

// Every page of `pdf` scaled by `scale` about its origin, boxes and link areas with it. Empty
// when `pdf` cannot be read.
QByteArray scalePdfPages(const QByteArray &pdf, double scale);

// QWebEnginePage::printToPdf(done, layout), with content wider than the printable width scaled
// to fit it.
void printToPdfFittingWidth(QWebEnginePage *page, int viewWidth, const QPageLayout &layout,
                            std::function<void(const QByteArray &)> done);

}  // namespace platform
