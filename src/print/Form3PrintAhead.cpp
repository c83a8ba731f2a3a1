// Print All's hidden views. The message being handed to the printer is the only one that goes
// out, always in list order; meanwhile the other views load the next messages and turn them
// into PDFs, which wait in their views until their turn. A view has its own page file (and
// picture folder), so a page written ahead never replaces one still loading or printing.
//
// Each step of a view has the run's limit for one step. Everything a view does is looked at
// from the waits of the run (and when one of its loads ends), so that a page loaded ahead
// starts rendering at once whichever wait the run is in.

#include "print/Form3PrintRun.h"

#include "core/AppError.h"
#include "core/Conversions.h"
#include "core/Procedure.h"
#include "core/SettingsStore.h"
#include "platform/BrowserView.h"

#include <QThread>
#include <QWebEnginePage>

namespace {

constexpr int MostPrintViews = 4;

}  // namespace

int Form3::printAheadViewCount()
{
    try {
        const int chosen = toInteger(getSetting(QStringLiteral("PrintAheadViews"), QStringLiteral("0")));
        if (chosen > 0)
            return qMin(chosen, MostPrintViews);
    } catch (const AppError &) {
    }
    // A view that waits for its turn with its PDF ready costs memory, not processor time: one
    // more than the cores keeps every core busy while one PDF is being handed over.
    return qBound(1, QThread::idealThreadCount() + 1, MostPrintViews);
}

void Form3::preparePrintViews(PrintRun &run)
{
    const int count = qMin(printAheadViewCount(), qMax(1, LastEntry));
    while (m_printViews.size() < count) {
        platform::BrowserView *view = m_printViews.isEmpty() ? WebBrowser2 : new platform::BrowserView(Picture1);
        if (view != WebBrowser2) {
            view->setGeometry(WebBrowser2->geometry());
            view->setSilent(true);
            view->show();
        }
        // Queued: the view has taken in the end of its load by then.
        connect(view->page(), &QWebEnginePage::loadFinished, this, [this] {
            if (m_run && m_run->kind == PrintRun::All)
                advancePrintViews(*m_run);
        }, Qt::QueuedConnection);
        m_printViews << view;
    }
    run.viewSlots.clear();
    for (int i = 0; i < count; ++i) {
        PrintSlot slot;
        slot.view = m_printViews.at(i);
        slot.view->setRemoteImagesAllowed(PrintAsHTML);
        slot.fileName = QStringLiteral("print%1.tmp").arg(i + 1);
        run.viewSlots.push_back(slot);
    }
    run.nextToLoad = 1;
}

// Gives the next messages up to `upTo` to the views that are free; true when one was given.
bool Form3::fillPrintViews(PrintRun &run, int upTo)
{
    bool given = false;
    for (PrintSlot &slot : run.viewSlots) {
        // After a cancel only the message being printed may still need a view.
        const int last = run.cancelled ? qMin(upTo, CurrentEntry) : upTo;
        if (run.nextToLoad > qMin(last, LastEntry))
            break;
        if (slot.stage == PrintSlot::Free && !slot.view->isPrinting()) {
            startLoading(slot, run.nextToLoad++);
            given = true;
        }
    }
    return given;
}

Form3::PrintSlot *Form3::slotOf(PrintRun &run, int position)
{
    for (PrintSlot &slot : run.viewSlots) {
        if (slot.stage != PrintSlot::Free && slot.position == position)
            return &slot;
    }
    return nullptr;
}

void Form3::startLoading(PrintSlot &slot, int position)
{
    Procedure p(QStringLiteral("Form3"), QStringLiteral("PushButton2_Click"));
    slot.position = position;
    slot.stage = PrintSlot::Ready;
    slot.failure.clear();
    bool written = false;
    QString path;
    p(136, [&] { written = writePageFile(position, slot.fileName, &path); });
    if (!written) {
        slot.failure = QStringLiteral("The message's page could not be written (the error box shown for it says why).");
        return;
    }
    slot.stage = PrintSlot::Loading;
    slot.stepClock.start();
    p(138, [&] { slot.view->Navigate(path); });
    slot.page = slot.view->loadTicket();
}

void Form3::advancePrintViews(PrintRun &run)
{
    for (PrintSlot &slot : run.viewSlots)
        advanceSlot(run, slot);
}

void Form3::advanceSlot(PrintRun &run, PrintSlot &slot)
{
    platform::BrowserView *view = slot.view;
    const bool overLimit = slot.stepClock.isValid() && slot.stepClock.elapsed() >= PrintStepLimitMs;
    const auto fail = [&slot](const QString &why) {
        slot.failure = why;
        slot.stage = PrintSlot::Ready;
    };
    if (slot.stage == PrintSlot::Loading) {
        if (view->ReadyState() == platform::BrowserView::Complete && !view->Busy()) {
            if (!view->lastLoadSucceeded())
                return fail(QStringLiteral("The page could not be loaded."));
            if (!view->showsLoadedPage(slot.page))
                return fail(pageLeftText());
            view->renderPdf(run.job.layout);
            slot.stage = PrintSlot::Rendering;
            slot.stepClock.start();
        } else if (overLimit) {
            view->Stop();
            fail(QStringLiteral("The page did not finish loading within %1 seconds.").arg(stepSeconds(PrintStepLimitMs)));
        }
    } else if (slot.stage == PrintSlot::Rendering) {
        if (view->hasRenderedPdf()) {
            slot.stage = PrintSlot::Ready;
        } else if (!view->isPrinting()) {
            const QString error = view->lastPrintError();
            fail(error.isEmpty() ? QStringLiteral("The page could not be turned into a PDF.") : error);
        } else if (overLimit) {
            view->Stop();
            fail(QStringLiteral("The print job did not finish within %1 seconds.").arg(stepSeconds(PrintStepLimitMs)));
        }
    }
}

// Drops every message after `after` that a view loads or holds: no file, no job for it.
void Form3::dropPrintedAhead(PrintRun &run, int after)
{
    for (PrintSlot &slot : run.viewSlots) {
        if (slot.stage == PrintSlot::Free || slot.position <= after)
            continue;
        if (slot.stage == PrintSlot::Loading || slot.stage == PrintSlot::Rendering || slot.view->hasRenderedPdf())
            slot.view->Stop();
        slot.stage = PrintSlot::Free;
        slot.position = 0;
    }
}

platform::WaitOutcome Form3::waitForPrintViews(PrintRun &run, const std::function<bool()> &done,
                                               platform::Deadline *limit)
{
    platform::WaitPlan plan;
    plan.done = [this, &run, &done] {
        advancePrintViews(run);
        return done();
    };
    plan.life = m_life.token();
    plan.deadline = limit;
    return platform::waitUntil(plan);
}
