#pragma once
// The embedded browser view the preview window shows messages in (WebBrowser1) and prints them
// through (WebBrowser2), over Qt WebEngine. It keeps the operations the windows use by their
// familiar names: Silent, Navigate, Busy, ReadyState, ExecWB, QueryStatusWB, Stop.
//
// A message is untrusted content, so every view: runs no JavaScript; loads no file but the page
// it was sent to and the logo beside it (see MessagePageScheme.h); follows no link, form or
// redirect; and loads remote pictures only after setRemoteImagesAllowed(true), never other
// remote content.
//
// Printing (printJob) turns the loaded page into a PDF with the job's page layout and hands it
// to the job's printer as one job. It finishes later: isPrinting() is true until then, and
// jobFinished reports the outcome. Wait for it with platform::waitUntil. With option 0 it first
// shows the print dialog, as a browser does: the printer and the page layout chosen there serve
// this one job, and closing the dialog prints nothing (lastPrintCancelled()). The program's own
// printers are not in the print service's list; for one of them the dialog serves for the page
// layout and the job stays on that printer.
//
// Print All turns pages into PDFs in several views side by side, yet hands them to the printer
// in order: renderPdf makes the PDF and keeps it, printRendered later hands it over. The print
// counts as running (isPrinting()) from renderPdf until the hand-over has ended.
//
// Every page file of the program has the same path and so the same address, yet each Navigate
// is its own load with its own ticket (carried in the address's query): the busy flag, the
// ready state and "the page shown" always belong to the latest Navigate, never to an older
// load that was still winding down. Once the page has loaded it cannot leave: the view refuses
// every navigation but the next Navigate, a refresh or a reload included. The one move the
// engine does not ask about, a page blanking itself (a refresh to about:blank), is caught
// instead: such a page no longer counts as shown and is not sent to a printer.

#include "platform/PrinterSystem.h"

#include <QPageLayout>
#include <QString>
#include <QUrl>
#include <QWebEngineView>
#include <functional>
#include <memory>

class QDialog;

namespace platform {

class MessagePage;

class BrowserView : public QWebEngineView {
    Q_OBJECT
public:
    // Command and option numbers of ExecWB and QueryStatusWB.
    enum Command { Print = 6, PrintPreview = 7, PageSetup = 8 };
    enum Option { DoDefault = 0, DontPromptUser = 2 };
    enum ReadyStateValue { Uninitialized = 0, Loading = 1, Complete = 4 };
    enum CommandStatus { Supported = 1, SupportedAndEnabled = 3 };

    explicit BrowserView(QWidget *parent = nullptr);
    ~BrowserView() override;

    // Silent: the view shows no message boxes of its own (print failures go to jobFinished only).
    void setSilent(bool silent) { m_silent = silent; }
    bool Silent() const { return m_silent; }
    void setRemoteImagesAllowed(bool allowed);

    // Starts loading "about:blank" or the file at `target` and returns at once.
    void Navigate(const QString &target);
    bool Busy() const { return m_busy; }
    int ReadyState() const { return m_readyState; }
    // False when the last load ended in an error (the view then shows an empty page).
    bool lastLoadSucceeded() const { return m_lastLoadOk; }
    // The ticket of the latest Navigate.
    quint64 loadTicket() const { return m_loadTicket; }
    // True while the view still shows the page that load `ticket` loaded without error.
    bool showsLoadedPage(quint64 ticket) const;

    // Print preview (7) or page setup (8); any other command raises an error.
    void ExecWB(int command, int option);
    // Prints the loaded page as `job` (Print, 6); raises an error when no page is loaded.
    void printJob(PrintJob job, Option option);
    // Turns the loaded page into a PDF with `layout` and keeps it for printRendered (raises an
    // error when no page is loaded). hasRenderedPdf() once it is kept; a page that could not be
    // turned into one ends the print with lastPrintError().
    void renderPdf(const QPageLayout &layout);
    bool hasRenderedPdf() const { return m_printing && m_rendered; }
    // Hands the kept PDF over as `job`, as printJob does once its PDF is made.
    void printRendered(PrintJob job);
    int QueryStatusWB(int command) const;
    // Stops a load in progress and abandons a print that has not reached the printer yet (it
    // still counts as printing until the engine is done with the page; nothing is sent). A kept
    // PDF is dropped at once.
    void Stop();

    bool isPrinting() const { return m_printing; }
    const QString &lastPrintError() const { return m_printError; }
    // True when the last print was closed in its print dialog: no job, no error.
    bool lastPrintCancelled() const { return m_printCancelled; }
    // Asked once a page has become a PDF and before it goes to a printer (not to a file): may a
    // job of `pageCount` pages be sent? No skips the job (lastPrintSkipped(), with a reason in
    // lastPrintError()). Without a gate every job is sent.
    using PageCountGate = std::function<bool(int pageCount)>;
    void setPageCountGate(PageCountGate gate) { m_pageGate = std::move(gate); }
    bool lastPrintSkipped() const { return m_printSkipped; }

    // The page layout every print and preview of the run uses; page setup changes it.
    static QPageLayout &runPageLayout();
    // Runs a modal dialog of the view (preview, page setup) and answers its result. Tests
    // replace it so that no dialog waits for a person; nullptr restores exec().
    using DialogRunner = std::function<int(QDialog &)>;
    static void setDialogRunner(DialogRunner runner);

signals:
    void jobFinished(bool ok);

private:
    static bool failedForNoReason(const class QWebEngineLoadingInfo &info);
    void onLoadingChanged(const class QWebEngineLoadingInfo &info);
    void loadTarget();
    bool askPrintTarget(PrintJob *job);
    void startPrint(const QPageLayout &layout, std::function<void(const QByteArray &)> done);
    bool acceptPdf(const QByteArray &pdf, quint64 printNumber);
    void handOver(const QByteArray &pdf, const PrintJob &job);
    bool passesPageGate(const QByteArray &pdf);
    void endPrint(bool ok, const QString &error);
    void showPrintPreview();
    void showPageSetup();
    QString jobTitle() const;

    MessagePage *m_page = nullptr;
    QUrl m_target;
    quint64 m_loadTicket = 0;
    bool m_loadEnded = false;  // the current load has reported its end; later reports are echoes
    bool m_loadHeardOf = false;  // the engine has reported anything of the current load
    bool m_loadRetried = false;  // the current load was started again after failing for no reason
    bool m_silent = false;
    bool m_busy = false;
    int m_readyState = Uninitialized;
    bool m_lastLoadOk = true;
    bool m_printing = false;
    quint64 m_printNumber = 0;
    bool m_printAbandoned = false;
    bool m_rendered = false;  // the PDF of renderPdf is kept in m_renderedPdf
    QByteArray m_renderedPdf;
    QString m_printError;
    bool m_printCancelled = false;
    bool m_printSkipped = false;
    PageCountGate m_pageGate;
    // Ends with the view, before its page: a print result the page delivers while it is being
    // destroyed finds it gone and touches nothing.
    std::shared_ptr<const char> m_alive = std::make_shared<const char>(0);
};

}  // namespace platform
