// The preview window's "Print Selected" and "Print All".
//
// Print All renders each message into the page file, loads it into the hidden view WebBrowser2
// and prints it there. The next message overwrites the same page file and reloads the same
// view, so each job is waited for until the printer has really taken it (the PDF writer wrote
// the file, or the print service accepted the job). Loading and printing each have a limit; a
// message that fails is written to the error log and the run goes on, and the run's last box
// says how many failed instead of "Done.".

#include "print/Form3.h"

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

QString seconds(int ms)
{
    return QString::number(ms / 1000.0, 'g', 3);
}

}  // namespace

struct Form3::PrintAllRun {
    bool printed = false;
    bool cancelled = false;
    int savedPosition = 0;
    int failures = 0;
};

bool Form3::pdfWriterPicked() const
{
    return Combo1->currentText() == pdfWriterName();
}

// Hands the PDF writer the file name for the message at `position`; empty when the pattern
// gave no name (nothing is handed off then).
QString Form3::handOffPdfName(int position)
{
    const MessageEntry &entry = entryAt(position);
    PdfNameRequest request;
    request.pattern = lPDFFilename;
    request.folder = lPDFOutput;
    request.count = position;
    if (entry.ReceivedDateTime.isValid())
        request.receivedDateTime = entry.ReceivedDateTime;
    request.userName = getSetting(QStringLiteral("User"));  // the main window's user-name box
    return CreatePDF_File(request, entry);
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

void Form3::setPrintRunControls(bool running)
{
    // The run shares the page file with the stepping buttons: stepping, going back or printing
    // the visible page meanwhile would put another message under the running job.
    const QList<QWidget *> controls = {PushButton1, PushButton3, PushButton4, PushButton5,
                                       PushButton8, PushButton9, Combo1};
    for (QWidget *control : controls)
        control->setEnabled(!running);
}

void Form3::PushButton1_Click()
{
    if (PushButton1->text() == CancelCaption) {
        cancelPrintSelected();
        return;
    }
    Procedure p(QStringLiteral("Form3"), QStringLiteral("PushButton1_Click"));
    p(108, [&] { SetDefaultPrinter(Combo1->currentText(), false); });
    p(110, [&] { PushButton1->setText(CancelCaption); });
    p(112, [&] { ExportCanceled = false; });
    if (p.test(114, [&] { return WebBrowser1->Busy(); }))
        return;
    bool named = true;
    if (p.test(116, [&] { return pdfWriterPicked(); })) {
        p(118, [&] {
            Form5 options(*this, this);
            options.exec();
        });
        if (!ExportCanceled)
            p(120, [&] { named = !handOffPdfName(CurrentEntry).isEmpty(); });
    }
    p(122, [&] { setCursor(Qt::WaitCursor); });
    bool sent = false;
    if (!ExportCanceled && named) {
        p(124, [&] {
            WebBrowser1->ExecWB(platform::BrowserView::Print, platform::BrowserView::DoDefault);
            sent = true;
        });
    }
    // "Done." only once the printer has the page: a job that failed says why instead.
    QString failure;
    if (!named)
        failure = QStringLiteral("The file name pattern gives no name for this message; nothing was printed.");
    if (sent && !WebBrowser1->lastPrintCancelled()) {
        const platform::LifeToken life = m_life.token();
        const platform::WaitOutcome waited =
            waitForPrintView([this] { return !WebBrowser1->isPrinting(); });
        if (!life.ownerAlive())
            return;
        if (waited == platform::WaitOutcome::TimedOut) {
            WebBrowser1->Stop();
            failure = QStringLiteral("The print job did not finish within %1 seconds.").arg(seconds(PrintStepLimitMs));
        } else if (!WebBrowser1->lastPrintError().isEmpty()) {
            failure = WebBrowser1->lastPrintError();
        }
    }
    p(126, [&] { unsetCursor(); });
    p(128, [&] { PushButton1->setText(QStringLiteral("Print Selected")); });
    if (!failure.isEmpty()) {
        p(130, [&] {
            appendErrorLogRecord(QStringLiteral("Print Selected: \"%1\" was not printed: %2")
                                     .arg(entryAt(CurrentEntry).Subject, failure));
            showMessage(failure, platform::BoxButtons::Ok, platform::BoxIcon::Exclamation);
        });
    } else if (!ExportCanceled && !(sent && WebBrowser1->lastPrintCancelled())) {
        p(130, [&] { showMessage(QStringLiteral("Done.")); });
    }
}

void Form3::cancelPrintSelected()
{
    Procedure p(QStringLiteral("Form3"), QStringLiteral("PushButton1_Click"));
    p(132, [&] { ExportCanceled = true; });
    if (p.test(134, [&] { return WebBrowser1->QueryStatusWB(platform::BrowserView::Print) == 3; }))
        p(134, [&] { WebBrowser1->Stop(); });
    p(136, [&] { unsetCursor(); });
    p(138, [&] { PushButton1->setText(QStringLiteral("Print Selected")); });
}

void Form3::PushButton2_Click()
{
    Procedure p(QStringLiteral("Form3"), QStringLiteral("PushButton2_Click"));
    p(106, [&] { SetDefaultPrinter(Combo1->currentText(), false); });
    bool yes = false;
    p(108, [&] {
        const QString printer = platform::printerSystem().defaultPrinterName().value_or(QString());
        yes = showMessage(QStringLiteral("Do you want to print all with ") + printer + QStringLiteral("?"),
                          platform::BoxButtons::YesNo) == platform::BoxAnswer::Yes;
    });
    if (!yes)
        return;
    if (PushButton2->text() == CancelCaption) {
        cancelPrintAll();
        return;
    }
    PrintAllRun run;
    p(112, [&] { ExportCanceled = false; });
    p(114, [&] { PushButton2->setText(CancelCaption); });
    p(116, [&] { run.savedPosition = CurrentEntry; });
    if (p.test(120, [&] { return pdfWriterPicked(); })) {
        p(122, [&] {
            Form5 options(*this, this);
            options.exec();
        });
        if (p.test(124, [&] { return ExportCanceled; })) {
            p(126, [&] { PushButton2->setText(QStringLiteral("Print All")); });
            return;
        }
    }
    p(128, [&] { setCursor(Qt::WaitCursor); });
    const platform::LifeToken life = m_life.token();
    m_printAllRun = &run;
    setPrintRunControls(true);
    runPrintAll(run);
    if (!life.ownerAlive())
        return;  // the window was closed during the run
    m_printAllRun = nullptr;
    setPrintRunControls(false);
    endPrintAll(run);
}

void Form3::runPrintAll(PrintAllRun &run)
{
    const platform::LifeToken life = m_life.token();
    for (int k = 1; k <= LastEntry && !run.cancelled; ++k) {
        const QString failure = printOneOfRun(run, k);
        if (!life.ownerAlive())
            return;
        if (failure.isEmpty())
            continue;
        ++run.failures;
        appendErrorLogRecord(QStringLiteral("Print All: message %1 of %2 (\"%3\") was not printed: %4")
                                 .arg(k)
                                 .arg(LastEntry)
                                 .arg(entryAt(k).Subject, failure));
    }
}

QString Form3::printOneOfRun(PrintAllRun &run, int k)
{
    Procedure p(QStringLiteral("Form3"), QStringLiteral("PushButton2_Click"));
    p(132, [&] {
        ProgressBar1->setValue(qRound(double(k) / LastEntry * 100));
        ProgressBar1->setFormat(QStringLiteral("Printing %1 of %2").arg(k).arg(LastEntry));
    });
    p(134, [&] { CurrentEntry = k; });
    p(136, [&] { CreateHTMLFile(); });
    p(138, [&] { WebBrowser2->Navigate(HTMLFilePath); });
    const platform::WaitOutcome loaded = waitForPrintView([this] {
        return WebBrowser2->ReadyState() == platform::BrowserView::Complete && !WebBrowser2->Busy();
    });
    if (loaded == platform::WaitOutcome::Gone)
        return QStringLiteral("The preview window was closed.");
    if (loaded == platform::WaitOutcome::TimedOut) {
        WebBrowser2->Stop();
        return QStringLiteral("The page did not finish loading within %1 seconds.").arg(seconds(PrintStepLimitMs));
    }
    if (!WebBrowser2->lastLoadSucceeded())
        return QStringLiteral("The page could not be loaded.");
    if (pdfWriterPicked()) {
        QString path;
        p(146, [&] { path = handOffPdfName(k); });
        if (path.isEmpty())
            return QStringLiteral("The file name pattern gives no name for this message.");
    }
    bool sent = false;
    p(148, [&] {
        WebBrowser2->ExecWB(platform::BrowserView::Print, platform::BrowserView::DontPromptUser);
        sent = true;
    });
    if (!sent)
        return QStringLiteral("The page could not be sent to the printer.");
    p(150, [&] { run.printed = !run.cancelled; });
    const platform::WaitOutcome printed =
        waitForPrintView([this] { return !WebBrowser2->isPrinting(); });
    if (printed == platform::WaitOutcome::Gone)
        return QStringLiteral("The preview window was closed.");
    if (printed == platform::WaitOutcome::TimedOut) {
        WebBrowser2->Stop();
        return QStringLiteral("The print job did not finish within %1 seconds.").arg(seconds(PrintStepLimitMs));
    }
    return WebBrowser2->lastPrintError();
}

void Form3::endPrintAll(PrintAllRun &run)
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
        if (run.failures == 0) {
            p(176, [&] { showMessage(QStringLiteral("Done.")); });
        } else {
            p(176, [&] {
                showMessage(QStringLiteral("%1 of %2 messages could not be printed. The reason for each is "
                                           "in the error log:\n%3")
                                .arg(run.failures)
                                .arg(LastEntry)
                                .arg(errorLogPath()),
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
        if (m_printAllRun) {
            m_printAllRun->printed = false;
            m_printAllRun->cancelled = true;
        }
    });
    // Only a view that is idle is stopped: the message being printed is still finished.
    if (p.test(186, [&] { return WebBrowser2->QueryStatusWB(platform::BrowserView::Print) == 3; }))
        p(186, [&] { WebBrowser2->Stop(); });
    p(188, [&] { unsetCursor(); });
    p(190, [&] { PushButton2->setText(QStringLiteral("Print All")); });
}
