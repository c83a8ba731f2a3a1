#include "platform/BrowserView.h"

#include "platform/MessagePage.h"
#include "platform/MessagePageScheme.h"
#include "platform/PdfPageCount.h"
#include "platform/PrinterSystem.h"
#include "platform/Wait.h"
#include "platform/WidthFitPrint.h"

#include <QFile>
#include <QTimer>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QWebEngineLoadingInfo>
#include <stdexcept>

namespace platform {

namespace {

const QString StoppedText = QStringLiteral("Printing was stopped.");

BrowserView::DialogRunner &dialogRunner()
{
    static BrowserView::DialogRunner runner;
    return runner;
}

int runDialog(QDialog &dialog)
{
    return dialogRunner() ? dialogRunner()(dialog) : dialog.exec();
}

// The engine reports a load's start at once. A stop of the page before, still on its way, can
// swallow the load that follows it without a word; a load not heard of by then is asked again.
constexpr int UnheardLoadMs = 10000;

// Long enough for a very long message; a page that takes longer is not worth a frozen window.
constexpr qint64 kPreviewRenderLimitMs = 120000;

}  // namespace

QPageLayout &BrowserView::runPageLayout()
{
    static QPageLayout layout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                              QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
    return layout;
}

void BrowserView::setDialogRunner(DialogRunner runner)
{
    dialogRunner() = std::move(runner);
}

BrowserView::BrowserView(QWidget *parent) : QWebEngineView(parent)
{
    m_page = new MessagePage(this);
    setPage(m_page);
    setContextMenuPolicy(Qt::NoContextMenu);
    connect(m_page, &QWebEnginePage::loadingChanged, this, &BrowserView::onLoadingChanged);
}

BrowserView::~BrowserView() = default;

void BrowserView::setRemoteImagesAllowed(bool allowed)
{
    m_page->guard.remoteImagesAllowed = allowed;
}

void BrowserView::Navigate(const QString &target)
{
    ++m_loadTicket;
    if (target == QLatin1String("about:blank")) {
        m_target = QUrl(target);
    } else {
        MessagePage::schemeHandler().allowPage(target);
        m_target = messagePageUrl(target);
        // The file is served by its path; the query only tells this load from the others.
        m_target.setQuery(QStringLiteral("load=%1").arg(m_loadTicket));
    }
    m_busy = true;
    m_loadEnded = false;
    m_loadHeardOf = false;
    m_loadRetried = false;
    m_readyState = Loading;
    loadTarget();
    QTimer::singleShot(UnheardLoadMs, this, [this, ticket = m_loadTicket] {
        if (ticket == m_loadTicket && m_busy && !m_loadHeardOf)
            loadTarget();
    });
}

void BrowserView::onLoadingChanged(const QWebEngineLoadingInfo &info)
{
    if (info.url() == m_target)
        m_loadHeardOf = true;
    if (info.url() != m_target || m_loadEnded || info.status() == QWebEngineLoadingInfo::LoadStartedStatus)
        return;
    if (failedForNoReason(info) && !m_loadRetried) {
        m_loadRetried = true;
        loadTarget();
        return;
    }
    m_busy = false;
    if (info.status() == QWebEngineLoadingInfo::LoadStoppedStatus)
        return;
    m_loadEnded = true;
    m_lastLoadOk = info.status() == QWebEngineLoadingInfo::LoadSucceededStatus;
    m_readyState = Complete;
}

// A load the engine ends as failed without any error. It happens to the load that follows a
// page whose refresh was refused, when the engine has not yet let go of that refresh; the same
// load started again goes through. A load that really fails says why (a refused request, a
// missing file), and is not tried again.
bool BrowserView::failedForNoReason(const QWebEngineLoadingInfo &info)
{
    return info.status() == QWebEngineLoadingInfo::LoadFailedStatus
        && info.errorDomain() == QWebEngineLoadingInfo::NoErrorDomain && info.errorCode() == 0;
}

// The page lets this one navigation through, once.
void BrowserView::loadTarget()
{
    m_page->expect(m_target);
    m_page->load(m_target);
}

bool BrowserView::showsLoadedPage(quint64 ticket) const
{
    return ticket == m_loadTicket && m_readyState == Complete && !m_busy && m_lastLoadOk
        && m_page->url() == m_target;
}

void BrowserView::Stop()
{
    // A page being turned into a PDF is not stopped in the engine (which does not survive its
    // page being deleted meanwhile): the print is marked abandoned and still counts as running
    // until the engine hands back the PDF, which is then dropped: no file, no job.
    if (m_printing && m_rendered) {
        m_rendered = false;
        m_renderedPdf.clear();
        endPrint(false, StoppedText);
        return;
    }
    if (m_printing) {
        m_printAbandoned = true;
        return;
    }
    m_page->triggerAction(QWebEnginePage::Stop);
    m_busy = false;
}

int BrowserView::QueryStatusWB(int command) const
{
    const bool known = command == Print || command == PrintPreview || command == PageSetup;
    if (!known)
        return 0;
    const bool ready = m_readyState == Complete && !m_busy && !m_printing;
    return (command == PageSetup || ready) ? SupportedAndEnabled : Supported;
}

void BrowserView::ExecWB(int command, int /*option: both commands always ask*/)
{
    switch (command) {
    case PrintPreview:
        showPrintPreview();
        return;
    case PageSetup:
        showPageSetup();
        return;
    default:
        throw std::invalid_argument("The browser view has no command " + std::to_string(command) + ".");
    }
}

QString BrowserView::jobTitle() const
{
    const QString title = m_page->title();
    // The engine names a page without a title by its URL, which says nothing to a person.
    if (title.isEmpty() || title.startsWith(QLatin1String(kMessagePageScheme)))
        return QStringLiteral("Quorvale message");
    return title;
}

void BrowserView::printJob(PrintJob job, Option option)
{
    if (m_printing)
        throw std::runtime_error("The browser view is still printing the last page.");
    if (m_readyState != Complete || m_busy)
        throw std::runtime_error("The page is not loaded yet; it cannot be printed.");
    m_printError.clear();
    m_printCancelled = false;
    m_printSkipped = false;
    if (job.title.isEmpty())
        job.title = jobTitle();
    if (!job.layout.isValid())
        job.layout = runPageLayout();
    if (option == DoDefault && !askPrintTarget(&job)) {
        m_printCancelled = true;
        return;
    }
    const quint64 number = m_printNumber + 1;
    startPrint(job.layout, [this, number, job](const QByteArray &pdf) {
        if (acceptPdf(pdf, number))
            handOver(pdf, job);
    });
}

void BrowserView::renderPdf(const QPageLayout &layout)
{
    if (m_printing)
        throw std::runtime_error("The browser view is still printing the last page.");
    if (m_readyState != Complete || m_busy)
        throw std::runtime_error("The page is not loaded yet; it cannot be printed.");
    m_printCancelled = false;
    const quint64 number = m_printNumber + 1;
    startPrint(layout.isValid() ? layout : runPageLayout(), [this, number](const QByteArray &pdf) {
        if (!acceptPdf(pdf, number))
            return;
        m_renderedPdf = pdf;
        m_rendered = true;
    });
}

void BrowserView::printRendered(PrintJob job)
{
    if (!hasRenderedPdf())
        throw std::runtime_error("The browser view holds no PDF to print.");
    const QByteArray pdf = m_renderedPdf;
    m_renderedPdf.clear();
    m_rendered = false;
    if (m_page->url() != m_target) {
        endPrint(false, QStringLiteral("The page replaced itself before it was printed; nothing was sent."));
        return;
    }
    if (job.title.isEmpty())
        job.title = jobTitle();
    handOver(pdf, job);
}

// Starts turning the page into a PDF; `done` gets it unless the view is gone by then.
void BrowserView::startPrint(const QPageLayout &layout, std::function<void(const QByteArray &)> done)
{
    m_printError.clear();
    m_printSkipped = false;
    m_printAbandoned = false;
    m_rendered = false;
    m_renderedPdf.clear();
    m_printing = true;
    ++m_printNumber;
    const std::weak_ptr<const char> alive = m_alive;
    printToPdfFittingWidth(m_page, width(), layout, [alive, done = std::move(done)](const QByteArray &pdf) {
        if (!alive.expired())
            done(pdf);
    });
}

bool BrowserView::askPrintTarget(PrintJob *job)
{
    // The dialog knows only the print service's printers: for any other it would put the print
    // service's default in place of the job's printer.
    const bool ownPrinter = QPrinterInfo::printerInfo(job->printer).isNull();
    QPrinter printer(QPrinter::HighResolution);
    if (ownPrinter)
        printer.setOutputFormat(QPrinter::PdfFormat);
    else
        printer.setPrinterName(job->printer);
    printer.setPageLayout(job->layout);
    printer.setDocName(job->title);
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle(QStringLiteral("Print"));
    if (runDialog(dialog) != QDialog::Accepted)
        return false;
    job->layout = printer.pageLayout();
    if (ownPrinter)
        return true;
    // "Print to file" in the dialog: the view writes that file itself, for no printer.
    const bool toFile = printer.outputFormat() == QPrinter::PdfFormat;
    job->printer = toFile ? QString() : printer.printerName();
    job->targetFile = toFile ? printer.outputFileName() : QString();
    return true;
}

// True when `pdf` is the page of the print in progress and fit to hand over; otherwise the print
// has ended, or a newer one runs.
bool BrowserView::acceptPdf(const QByteArray &pdf, quint64 printNumber)
{
    if (printNumber != m_printNumber || !m_printing)
        return false;
    if (m_printAbandoned) {
        endPrint(false, StoppedText);
        return false;
    }
    if (pdf.isEmpty()) {
        endPrint(false, QStringLiteral("The page could not be turned into a PDF."));
        return false;
    }
    // The renderer lets a page replace itself with about:blank without asking (a refresh); what
    // was printed then is not the page that was loaded.
    if (m_page->url() != m_target) {
        endPrint(false, QStringLiteral("The page replaced itself while it was being printed; nothing was sent."));
        return false;
    }
    return true;
}

void BrowserView::handOver(const QByteArray &pagePdf, const PrintJob &job)
{
    QByteArray pdf = pagePdf;
    QString prepareError;
    if (job.prepare && !job.prepare(pdf, &prepareError)) {
        endPrint(false, prepareError);
        return;
    }
    if (job.printer.isEmpty() && job.targetFile.isEmpty()) {
        endPrint(false, QStringLiteral("No printer was picked; nothing was printed."));
        return;
    }
    if (job.printer.isEmpty()) {
        QFile file(job.targetFile);
        const bool ok = file.open(QIODevice::WriteOnly) && file.write(pdf) == pdf.size() && file.flush();
        endPrint(ok, ok ? QString() : QStringLiteral("Cannot write %1: %2").arg(job.targetFile, file.errorString()));
        return;
    }
    if (m_pageGate && !passesPageGate(pdf))
        return;
    QString error;
    // Stop() during the hand-over calls the job off: a job the print service holds already is
    // cancelled there.
    const std::weak_ptr<const char> alive = m_alive;
    const auto stopped = [this, alive] { return alive.expired() || m_printAbandoned; };
    const bool ok = printerSystem().printPdfData(job, pdf, stopped, &error);
    if (alive.expired())
        return;
    if (m_printAbandoned)
        endPrint(false, StoppedText);
    else
        endPrint(ok, ok ? QString() : error);
}

bool BrowserView::passesPageGate(const QByteArray &pdf)
{
    const int pages = pdfPageCount(pdf);
    if (pages < 0) {
        endPrint(false, QStringLiteral("The page's PDF could not be read to count its pages."));
        return false;
    }
    const quint64 number = m_printNumber;
    const std::weak_ptr<const char> alive = m_alive;
    const bool allowed = m_pageGate(pages);
    // The question gave the event loop turns: the view may be gone or its print stopped.
    if (alive.expired() || number != m_printNumber || !m_printing)
        return false;
    if (m_printAbandoned) {
        endPrint(false, StoppedText);
        return false;
    }
    if (allowed)
        return true;
    m_printSkipped = true;
    endPrint(false, QStringLiteral("The page came out at %1 pages, more than the limit for a printer; "
                                   "it was not sent.").arg(pages));
    return false;
}

void BrowserView::endPrint(bool ok, const QString &error)
{
    m_printing = false;
    m_printError = error;
    emit jobFinished(ok);
}

void BrowserView::showPrintPreview()
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);  // a preview never talks to a print queue
    printer.setPageLayout(runPageLayout());
    QPrintPreviewDialog dialog(&printer, this);
    dialog.setWindowTitle(QStringLiteral("Print Preview"));
    connect(&dialog, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter *target) {
        bool finished = false;
        auto done = connect(this, &QWebEngineView::printFinished, this, [&finished] { finished = true; });
        print(target);
        Deadline limit(kPreviewRenderLimitMs);
        WaitPlan plan;
        plan.done = [&finished] { return finished; };
        plan.deadline = &limit;
        waitUntil(plan);
        disconnect(done);
    });
    runDialog(dialog);
}

void BrowserView::showPageSetup()
{
    // The page setup dialog works only on a print service printer; the layout chosen serves
    // every printer, the PDF writer included.
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(runPageLayout());
    QPageSetupDialog dialog(&printer, this);
    if (runDialog(dialog) == QDialog::Accepted)
        runPageLayout() = printer.pageLayout();
}

}  // namespace platform
