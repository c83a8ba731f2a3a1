#pragma once
// The name of one message's PDF file, made from the confirmed pattern and folder, and handed to
// the PDF writer just before that message's print job.

#include <QDateTime>
#include <QString>
#include <optional>

struct MessageEntry;

struct PdfNameRequest {
    QString pattern;  // the confirmed file-name pattern
    QString folder;   // the confirmed output folder
    int count = 0;    // "<Count>": the message's position among those being printed
    // "<Received Date>": the message's date-time; without one its date text is read back.
    std::optional<QDateTime> receivedDateTime;
    QString userName;                               // "<To>": the Gmail user name
    QDateTime now = QDateTime::currentDateTime();   // "<Current Date>", "<Current Time>"
};

// Fills the pattern's fields (any letter case, in one pass) for `message`, cleans and fits the
// name, writes the path to the PDF writer's hand-off and returns it. Empty, with nothing
// handed off, when the name comes out empty or the hand-off cannot be written. Failures are
// reported as the preview window's "CreatePDF_File" and the next step runs.
QString CreatePDF_File(const PdfNameRequest &request, const MessageEntry &message);
