#pragma once
// Small real PDFs for tests and benchmarks, made by Qt's own PDF writer, and what poppler's
// tools read back from a PDF.

#include <QByteArray>
#include <QString>
#include <QStringList>

// One page per text, each page showing its text in large letters; with `picture`, a photo-like
// picture under the text as well.
QByteArray pdfWithPages(const QStringList &pageTexts, bool picture = false);

// The text of each page, as pdftotext reads it (blank-trimmed); empty when it cannot read it.
QStringList pdfPageTexts(const QByteArray &pdf);

// A field of pdfinfo ("Title", "Pages"); empty when absent.
QString pdfInfoField(const QString &pdfPath, const QString &field);
