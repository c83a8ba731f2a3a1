#pragma once
// A message's PDF with the pages of the PDFs attached to it appended: the message's pages
// first, then each attachment's in the order given, in one document. Attachments come from
// strangers: one that cannot be read (damaged, locked with a password, not a PDF at all, or
// with an absurd number of pages) is left out and named, so the caller can save it as it came
// and say so; the message's own pages always stay.

#include <QByteArray>
#include <QString>
#include <QVector>

struct AppendedPdf {
    QByteArray pdf;               // empty when the message's PDF itself could not be read
    QVector<int> unreadable;      // indexes into the attachments left out
    QString error;                // why there is no PDF
};

// More pages than any real attachment has: such a file is refused rather than copied.
constexpr int MostAttachedPdfPages = 10000;

AppendedPdf appendAttachedPdfs(const QByteArray &messagePdf, const QVector<QByteArray> &attachedPdfs);
