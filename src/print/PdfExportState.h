#pragma once
// What the PDF options window decides for a print run: whether the user cancelled, and the
// confirmed file-name pattern, output folder and extras. The preview window keeps these as its
// own public members and reads them after the options window closes.

#include <QString>

struct PdfExportState {
    bool ExportCanceled = false;
    QString lPDFFilename;  // the pattern, as confirmed with "OK"
    QString lPDFOutput;    // the folder, as confirmed with "OK"
    // The extras, as confirmed with "OK"; all off until the user turns them on.
    bool SaveAttachments = false;  // each message's attachments beside its PDF
    bool AppendPdfs = false;       // attached PDFs appended to the message's own PDF
    bool CombinedPdf = false;      // one more PDF holding the whole run
};
