// The preview window's "Print Selected" and "Print All".
//
// Print All renders each message into a page file of one of its hidden views, loads it there and
// turns it into a PDF, several messages side by side (Form3PrintAhead.cpp); the PDFs go to the
// printer one at a time in list order, each waited for until the printer has really taken it
// (the PDF writer wrote the file, or the print service accepted the job). Loading and printing
// each have a limit; a message that fails is written to the error log and the run goes on, and
// the run's last box says how many failed instead of "Done.".
//
// One run at a time: while Print Selected or Print All works, every control that could start
// or step a run (or go back, which deletes the window) is disabled; the running action's own
// button stays live as its cancel, until it is clicked. The caption and the controls come back
// only when the run has really ended. Even so, every wait hands the event loop turns, so after
// each wait the run checks that the view still shows the page it loaded before printing it.
//
// A page for a paper printer that comes out longer than the page limit (setting
// "PrinterPageLimit", 50 pages unless set) is sent only when the user says so; the PDF writer
// has no limit.

#include "print/Form3PrintRun.h"

#include "core/AppError.h"
#include "core/Conversions.h"
#include "core/ErrorLog.h"
#include "core/MessageBox.h"
#include "core/Procedure.h"
#include "core/SettingsStore.h"
#include "platform/BrowserView.h"
#include "platform/PrinterSystem.h"
#include "print/CreatePdfFile.h"
#include "print/Form5.h"
#include "print/Printers.h"

#include <QComboBox>
#include <QProgressBar>
#include <QPushButton>

namespace {

const QString CancelCaption = QStringLiteral("Cancel Print");

constexpr int DefaultPageLimit = 50;

// The most pages a job for a paper printer may have without asking; 0 or less: no limit.
int printerPageLimit()
{
    try {
        return toInteger(getSetting(QStringLiteral("PrinterPageLimit"), QString::number(DefaultPageLimit)));
    } catch (const AppError &) {
        return DefaultPageLimit;
    }
}

}  // namespace

platform::PrintJob Form3::pickedJob() const
{
    platform::PrintJob job;
    job.printer = Combo1->currentText();
    job.layout = platform::BrowserView::runPageLayout();
    return job;
}

QString Form3::nameJobFile(PrintRun &run, int position)
{
    const MessageEntry &entry = entryAt(position);
    PdfNameRequest request;
    request.pattern = lPDFFilename;
    request.folder = lPDFOutput;
    request.count = position;
    request.userName = m_userName;
    QString whyNone;
    run.job.targetFile = CreatePDF_File(request, entry, &whyNone);
    run.job.author = entry.From;
    return whyNone;
}

platform::WaitOutcome Form3::waitForPrintView(const std::function<bool()> &done)
{
    platform::Deadline limit(PrintStepLimitMs);
    platform::WaitPlan plan;
    plan.done = done;
    plan.life = m_life.token();
    plan.deadline = &limit;
    return platform::waitUntil(plan);
}

void Form3::beginRun(PrintRun &run)
{
    m_run = &run;
    updateRunControls();
}

void Form3::endRun()
{
    m_run = nullptr;
    WebBrowser1->setPageCountGate(nullptr);
    WebBrowser2->setPageCountGate(nullptr);
    for (platform::BrowserView *view : m_printViews)
        view->setPageCountGate(nullptr);
    updateRunControls();
}

void Form3::updateRunControls()
{
    // The run shares the page file and the views with these: stepping, going back (which
    // deletes the window under the running job), previewing or a second run meanwhile would
    // put another page under the running job.
    const bool running = m_run != nullptr;
    const QList<QWidget *> controls = {PushButton3, PushButton4, PushButton5, PushButton8, PushButton9, Combo1};
    for (QWidget *control : controls)
        control->setEnabled(!running);
    PushButton1->setEnabled(!running || (m_run->kind == PrintRun::Selected && !m_run->cancelled));
    PushButton2->setEnabled(!running || (m_run->kind == PrintRun::All && !m_run->cancelled));
}

// Asks whether a page of `pages` pages may go to a paper printer.
bool Form3::allowPageCount(PrintRun &run, int position, int pages)
{
    const int limit = printerPageLimit();
    if (limit <= 0 || pages <= limit)
        return true;
    if (run.skipEveryLongPage)
        return false;
    const QString question =
        QStringLiteral("\"%1\" comes out at %2 pages, more than the %3 pages a printer is sent without asking.")
            .arg(entryAt(position).Subject)
            .arg(pages)
            .arg(limit);
    if (run.kind == PrintRun::Selected) {
        return showMessage(question + QStringLiteral("\n\nPrint it anyway?"), platform::BoxButtons::YesNo,
                           platform::BoxIcon::Question)
            == platform::BoxAnswer::Yes;
    }
    const platform::BoxAnswer answer = showMessage(
        question + QStringLiteral("\n\nYes: print it.\nNo: skip it.\nCancel: skip it and every other message "
                                  "over the limit in this run."),
        platform::BoxButtons::YesNoCancel, platform::BoxIcon::Question);
    if (answer == platform::BoxAnswer::Cancel)
        run.skipEveryLongPage = true;
    return answer == platform::BoxAnswer::Yes;
}

void Form3::watchPageCount(platform::BrowserView *view, PrintRun &run, int position)
{
    // The PDF writer makes files, not paper: it has no limit.
    if (run.toWriter())
        view->setPageCountGate(nullptr);
    else
        view->setPageCountGate([this, &run, position](int pages) { return allowPageCount(run, position, pages); });
}

void Form3::PushButton1_Click()
{
    if (m_run) {
        if (m_run->kind == PrintRun::Selected && !m_run->cancelled)
            cancelPrintSelected();
        return;  // nothing starts while a run works
    }
    if (PushButton1->text() == CancelCaption) {
        cancelPrintSelected();  // the click that found the page still loading left this caption
        return;
    }
    Procedure p(QStringLiteral("Form3"), QStringLiteral("PushButton1_Click"));
    p(108, [&] { SetDefaultPrinter(Combo1->currentText(), false); });
    p(110, [&] { PushButton1->setText(CancelCaption); });
    p(112, [&] { ExportCanceled = false; });
    if (p.test(114, [&] { return WebBrowser1->Busy(); }))
        return;
    PrintRun run(PrintRun::Selected, pickedJob());
    const platform::LifeToken life = m_life.token();
    beginRun(run);
    const QString failure = printShownPage(run);
    if (!life.ownerAlive())
        return;
    endRun();
    p(126, [&] { unsetCursor(); });
    p(128, [&] { PushButton1->setText(QStringLiteral("Print Selected")); });
    if (run.cancelled || ExportCanceled)
        return;
    if (!failure.isEmpty()) {
        p(130, [&] {
            appendErrorLogRecord(QStringLiteral("Print Selected: \"%1\" was not printed: %2")
                                     .arg(entryAt(CurrentEntry).Subject, failure));
            showMessage(failure, platform::BoxButtons::Ok, platform::BoxIcon::Exclamation);
        });
    } else if (run.printed) {
        p(130, [&] { showMessage(QStringLiteral("Done.")); });
    }
}

// Prints the page WebBrowser1 shows; empty when it printed or nothing was asked for (the
// options window or the print dialog closed, cancelled, skipped), else why it did not print.
QString Form3::printShownPage(PrintRun &run)
{
    Procedure p(QStringLiteral("Form3"), QStringLiteral("PushButton1_Click"));
    const platform::LifeToken life = m_life.token();
    const quint64 shownPage = WebBrowser1->loadTicket();
    const bool toWriter = p.test(116, [&] { return run.toWriter(); });
    QString failure;
    if (toWriter) {
        p(118, [&] {
            Form5 options(*this, this);
            options.exec();
        });
        if (!life.ownerAlive() || ExportCanceled || run.cancelled)
            return QString();
        p(120, [&] { failure = nameJobFile(run, CurrentEntry); });
        if (!failure.isEmpty())
            return failure;
    }
    p(122, [&] { setCursor(Qt::WaitCursor); });
    if (!WebBrowser1->showsLoadedPage(shownPage))
        return pageLeftText();
    watchPageCount(WebBrowser1, run, CurrentEntry);
    // The PDF writer's file name was asked for in the options window; a print dialog would
    // offer a printer and a file that the job then could not honour.
    const platform::BrowserView::Option option =
        toWriter ? platform::BrowserView::DontPromptUser : platform::BrowserView::DoDefault;
    bool sent = false;
    p(124, [&] {
        WebBrowser1->printJob(run.job, option);
        sent = !WebBrowser1->lastPrintCancelled();
    });
    if (!sent)
        return QString();
    run.printed = true;
    // "Done." only once the printer has the page: a job that failed says why instead.
    const platform::WaitOutcome waited = waitForPrintView([this] { return !WebBrowser1->isPrinting(); });
    if (!life.ownerAlive() || run.cancelled)
        return QString();
    if (waited == platform::WaitOutcome::TimedOut) {
        WebBrowser1->Stop();
        return QStringLiteral("The print job did not finish within %1 seconds.").arg(stepSeconds(PrintStepLimitMs));
    }
    if (WebBrowser1->lastPrintSkipped()) {
        run.printed = false;  // the user chose to leave it
        return QString();
    }
    return WebBrowser1->lastPrintError();
}

void Form3::cancelPrintSelected()
{
    Procedure p(QStringLiteral("Form3"), QStringLiteral("PushButton1_Click"));
    p(132, [&] {
        ExportCanceled = true;
        if (m_run)
            m_run->cancelled = true;
    });
    // A page still being turned into a job is abandoned: no file is written, no job is sent.
    if (p.test(134, [&] {
            return WebBrowser1->isPrinting()
                || WebBrowser1->QueryStatusWB(platform::BrowserView::Print) == platform::BrowserView::SupportedAndEnabled;
        }))
        p(134, [&] { WebBrowser1->Stop(); });
    if (m_run) {
        updateRunControls();  // the run ends on its own and then puts the caption back
        return;
    }
    p(136, [&] { unsetCursor(); });
    p(138, [&] { PushButton1->setText(QStringLiteral("Print Selected")); });
}

void Form3::PushButton2_Click()
{
    // Nothing starts while a run works, and a cancelled run is only ending.
    if (m_run && (m_run->kind != PrintRun::All || m_run->cancelled))
        return;
    const bool cancelling = m_run != nullptr;
    Procedure p(QStringLiteral("Form3"), QStringLiteral("PushButton2_Click"));
    p(106, [&] { SetDefaultPrinter(Combo1->currentText(), false); });
    const platform::PrintJob job = pickedJob();
    bool yes = false;
    p(108, [&] {
        yes = showMessage(QStringLiteral("Do you want to print all with ") + job.printer + QStringLiteral("?"),
                          platform::BoxButtons::YesNo) == platform::BoxAnswer::Yes;
    });
    if (!yes)
        return;
    if (cancelling) {
        // The run may have ended while the question was open.
        if (m_run && !m_run->cancelled)
            cancelPrintAll();
        return;
    }
    PrintRun run(PrintRun::All, job);
    const platform::LifeToken life = m_life.token();
    beginRun(run);
    p(112, [&] { ExportCanceled = false; });
    p(114, [&] { PushButton2->setText(CancelCaption); });
    p(116, [&] { run.savedPosition = CurrentEntry; });
    if (p.test(120, [&] { return run.toWriter(); })) {
        p(122, [&] {
            Form5 options(*this, this);
            options.exec();
        });
        if (!life.ownerAlive())
            return;
        if (p.test(124, [&] { return ExportCanceled; })) {
            endRun();
            p(126, [&] { PushButton2->setText(QStringLiteral("Print All")); });
            return;
        }
    }
    p(128, [&] { setCursor(Qt::WaitCursor); });
    runPrintAll(run);
    if (!life.ownerAlive())
        return;  // the window was closed during the run
    endRun();
    endPrintAll(run);
}

void Form3::runPrintAll(PrintRun &run)
{
    const platform::LifeToken life = m_life.token();
    preparePrintViews(run);
    beginRunRecords(run);
    for (int k = 1; k <= LastEntry && !run.cancelled; ++k) {
        bool skipped = false;
        run.written.reset();
        const QString failure = printOneOfRun(run, k, &skipped);
        if (!life.ownerAlive())
            return;
        keepRunRecords(run, k, failure);
        if (failure.isEmpty())
            continue;
        ++(skipped ? run.skipped : run.failures);
        appendErrorLogRecord(QStringLiteral("Print All: message %1 of %2 (\"%3\") was %4: %5")
                                 .arg(k)
                                 .arg(LastEntry)
                                 .arg(entryAt(k).Subject, skipped ? QStringLiteral("skipped") : QStringLiteral("not printed"),
                                      failure));
    }
    // A cancelled run leaves pages loaded or rendered ahead: they are dropped, and the run ends
    // once the engine is done with them, so that the next run finds its views free.
    dropPrintedAhead(run, 0);
    platform::Deadline limit(PrintStepLimitMs);
    waitForPrintViews(run, [&run] {
        for (const PrintSlot &slot : run.viewSlots) {
            if (slot.view->isPrinting())
                return false;
        }
        return true;
    }, &limit);
    finishRunRecords(run);
}

QString Form3::printOneOfRun(PrintRun &run, int k, bool *skipped)
{
    Procedure p(QStringLiteral("Form3"), QStringLiteral("PushButton2_Click"));
    p(132, [&] {
        ProgressBar1->setValue(qRound(double(k) / LastEntry * 100));
        ProgressBar1->setFormat(QStringLiteral("Printing %1 of %2").arg(k).arg(LastEntry));
    });
    p(134, [&] { CurrentEntry = k; });
    const int ahead = int(run.viewSlots.size()) - 1;
    fillPrintViews(run, k + ahead);
    if (!slotOf(run, k)) {
        // Every view is still winding down a page it was told to drop.
        platform::Deadline limit(PrintStepLimitMs);
        const platform::WaitOutcome given =
            waitForPrintViews(run, [&] { return fillPrintViews(run, k) || slotOf(run, k); }, &limit);
        if (given == platform::WaitOutcome::Gone)
            return QStringLiteral("The preview window was closed.");
        if (!slotOf(run, k))
            return QStringLiteral("No view was free to load the page within %1 seconds.").arg(stepSeconds(PrintStepLimitMs));
    }
    PrintSlot &slot = *slotOf(run, k);
    if (waitForPrintViews(run, [&slot] { return slot.stage == PrintSlot::Ready; }, nullptr) == platform::WaitOutcome::Gone)
        return QStringLiteral("The preview window was closed.");
    const QString failure = slot.failure.isEmpty() ? handOver(run, slot, skipped) : slot.failure;
    if (!m_life.token().ownerAlive())
        return failure;
    if (slot.view->hasRenderedPdf())
        slot.view->Stop();  // a PDF that was not handed over goes with its message
    slot.stage = PrintSlot::Free;
    slot.position = 0;
    return failure;
}

QString Form3::handOver(PrintRun &run, PrintSlot &slot, bool *skipped)
{
    Procedure p(QStringLiteral("Form3"), QStringLiteral("PushButton2_Click"));
    const int k = slot.position;
    platform::BrowserView *view = slot.view;
    if (run.toWriter()) {
        QString failure;
        p(146, [&] { failure = nameJobFile(run, k); });
        if (!failure.isEmpty())
            return failure;
    }
    setRunHooks(run, k);
    // Waiting and naming the file gave the event loop turns: print only the page loaded for it.
    if (!view->showsLoadedPage(slot.page))
        return pageLeftText();
    watchPageCount(view, run, k);
    bool sent = false;
    p(148, [&] {
        view->printRendered(run.job);
        sent = true;
    });
    if (!sent)
        return QStringLiteral("The page could not be sent to the printer.");
    p(150, [&] { run.printed = !run.cancelled; });
    platform::Deadline limit(PrintStepLimitMs);
    const platform::WaitOutcome printed = waitForPrintViews(run, [view] { return !view->isPrinting(); }, &limit);
    if (printed == platform::WaitOutcome::Gone)
        return QStringLiteral("The preview window was closed.");
    if (printed == platform::WaitOutcome::TimedOut) {
        view->Stop();
        return QStringLiteral("The print job did not finish within %1 seconds.").arg(stepSeconds(PrintStepLimitMs));
    }
    *skipped = view->lastPrintSkipped();
    return view->lastPrintError();
}

void Form3::endPrintAll(PrintRun &run)
{
    Procedure p(QStringLiteral("Form3"), QStringLiteral("PushButton2_Click"));
    p(166, [&] { CurrentEntry = run.savedPosition; });
    p(168, [&] { unsetCursor(); });
    // A run where every message failed printed nothing, yet must not end in silence.
    if (!ExportCanceled && (run.printed || run.failures > 0)) {
        p(174, [&] {
            ProgressBar1->setValue(0);
            ProgressBar1->setFormat(QStringLiteral("Progress Bar"));
        });
        if (run.failures == 0 && run.skipped == 0 && run.recordFailures == 0) {
            p(176, [&] { showMessage(QStringLiteral("Done.")); });
        } else {
            QStringList what;
            if (run.failures > 0)
                what << QStringLiteral("%1 of %2 messages could not be printed.").arg(run.failures).arg(LastEntry);
            if (run.skipped > 0)
                what << QStringLiteral("%1 of %2 messages were skipped as longer than %3 pages.")
                            .arg(run.skipped)
                            .arg(LastEntry)
                            .arg(printerPageLimit());
            if (run.recordFailures > 0)
                what << QStringLiteral("%1 attachments or index rows could not be written.").arg(run.recordFailures);
            p(176, [&] {
                showMessage(what.join(QLatin1Char(' ')) + QStringLiteral(" The reason for each is in the error log:\n")
                                + errorLogPath(),
                            platform::BoxButtons::Ok, platform::BoxIcon::Exclamation);
            });
        }
    }
    p(178, [&] { PushButton2->setText(QStringLiteral("Print All")); });
}

void Form3::cancelPrintAll()
{
    Procedure p(QStringLiteral("Form3"), QStringLiteral("PushButton2_Click"));
    p(180, [&] { ExportCanceled = true; });
    p(182, [&] {
        m_run->printed = false;
        m_run->cancelled = true;
    });
    // The message being printed is still finished; the pages loaded or rendered after it are dropped.
    p(186, [&] { dropPrintedAhead(*m_run, CurrentEntry); });
    // The button stays "Cancel Print", disabled, until the run has ended and puts back "Print All".
    updateRunControls();
}
