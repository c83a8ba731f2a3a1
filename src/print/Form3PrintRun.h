#pragma once
// One print run of the preview window and, for Print All, the hidden views that load and render
// the next messages while an earlier one goes to the printer. Shared by Form3Print.cpp (the
// run) and Form3PrintAhead.cpp (the views).

#include "platform/PrinterSystem.h"
#include "print/CombinedPdf.h"
#include "print/Form3.h"
#include "print/PdfWriterName.h"

#include <QElapsedTimer>
#include <memory>
#include <vector>

inline QString stepSeconds(int ms)
{
    return QString::number(ms / 1000.0, 'g', 3);
}

inline QString pageLeftText()
{
    return QStringLiteral("The view no longer shows the message's page (it failed to load "
                          "or tried to leave it); nothing was printed.");
}

// One of Print All's views and the message it holds.
struct Form3::PrintSlot {
    enum Stage {
        Free,       // holds no message
        Loading,    // its page file is loading
        Rendering,  // the loaded page is being turned into a PDF
        Ready,      // the PDF is kept for the hand-over, or `failure` says why there is none
    };
    platform::BrowserView *view = nullptr;
    QString fileName;  // the view's own page file in the private folder
    int position = 0;  // the message it holds
    quint64 page = 0;  // the load ticket of that message's page
    Stage stage = Free;
    QString failure;
    QElapsedTimer stepClock;  // since the load or the rendering began
};

// What the PDF writer wrote for one message: it tells the job's `written` hook.
struct WrittenPdf {
    QString path;  // the file as written, "name (2).pdf" when the name was taken
    QByteArray pdf;
    // Attached PDFs that could not be appended (indexes into the message's attachments), with
    // the reason: they are saved beside the PDF as they came.
    QVector<int> notAppended;
};

struct Form3::PrintRun {
    enum Kind { Selected, All };
    PrintRun(Kind k, platform::PrintJob j) : kind(k), job(std::move(j)) {}
    bool toWriter() const { return job.printer == pdfWriterName(); }
    Kind kind;
    platform::PrintJob job;  // where the run prints, whatever the default printer is meanwhile
    bool cancelled = false;
    bool printed = false;
    int savedPosition = 0;
    int failures = 0;
    int skipped = 0;
    bool skipEveryLongPage = false;  // "skip all such" was answered
    std::vector<PrintSlot> viewSlots;    // Print All's views, WebBrowser2 first
    int nextToLoad = 1;              // the first message no view has been given yet
    // Print All: the file written for the message being handed over (null until its job is
    // made), and the attachments, index rows and combined pages that could not be written.
    std::shared_ptr<WrittenPdf> written;
    bool appendPdfs = false;                 // attached PDFs go after their message's pages
    std::unique_ptr<::CombinedPdf> combined;  // the run's one PDF, when asked for
    int recordFailures = 0;
};
