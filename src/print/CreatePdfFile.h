#pragma once
// The name of one message's PDF file, made from the confirmed pattern and folder, for that
// message's print job on the PDF writer.

#include <QDateTime>
#include <QString>

struct MessageEntry;

struct PdfNameRequest {
    QString pattern;  // the confirmed file-name pattern
    QString folder;   // the confirmed output folder
    int count = 0;    // "<Count>": the message's position among those being printed
    QString userName;                               // "<To>": the Gmail user name
    QDateTime now = QDateTime::currentDateTime();   // "<Current Date>", "<Current Time>"
};

// Fills the pattern's fields (any letter case, in one pass) for `message`, cleans and fits the
// name and returns the full path. Empty, with the reason in `whyNone`, when the name comes out
// empty. Failures are reported as the preview window's "CreatePDF_File" and the next step runs.
QString CreatePDF_File(const PdfNameRequest &request, const MessageEntry &message, QString *whyNone = nullptr);
