#pragma once
// What the PDF options window decides for a print run: whether the user cancelled, and the
// confirmed file-name pattern and output folder. The preview window keeps these as its own
// public members and reads them after the options window closes.

#include <QString>

struct PdfExportState {
    bool ExportCanceled = false;
    QString lPDFFilename;  // the pattern, as confirmed with "OK"
    QString lPDFOutput;    // the folder, as confirmed with "OK"
};
