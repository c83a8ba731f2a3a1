#pragma once
// The program's own printer "Tervane PDF Writer". A job is a finished PDF; the writer puts it
// in the job's target file or, for a job without one, in a file the user picks in a save
// dialog. It never replaces a file: when the name is taken it writes "name (2).pdf",
// "name (3).pdf" … instead, and it says whether the file was really written.

#include "platform/PrinterSystem.h"

#include <QString>

struct PdfWriteResult {
    bool written = false;
    QString path;   // the file written
    QString error;  // why nothing was written
};

// Writes `pdf` to `targetPath`, or to the first free "target (n).pdf" beside it, in one write.
// A half-written file is removed.
PdfWriteResult writeNewPdf(const QByteArray &pdf, const QString &targetPath);
// writeNewPdf with the PDF at `sourcePdf`.
PdfWriteResult writePdfWithoutOverwriting(const QString &sourcePdf, const QString &targetPath);

// One job of the writer, in the forms of the printer system's own printers: the job's title
// goes into the PDF before its one write.
bool printOnPdfWriter(const QString &pdfPath, const platform::PrintJob &job, QString *error);
bool printDataOnPdfWriter(const QByteArray &pdf, const platform::PrintJob &job, QString *error);

// Offers the writer among the system's printers; the program calls this once at start-up.
void registerPdfWriter(platform::PrinterSystem &system = platform::printerSystem());
