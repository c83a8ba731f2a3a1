#pragma once
// The preview window: the checked messages one at a time as printable pages, stepping through
// them, the print preview and page setup of the view, and the printer choice. It works on its
// own copy of the messages it was given. The main window stays in charge of the program: "<
// Back" asks it to show itself again, and closing this window any other way asks it to end the
// program with its own closing steps.

#include "mail/MessageEntry.h"
#include "platform/Wait.h"
#include "print/PdfExportState.h"

#include <QVector>
#include <QWidget>

class Procedure;
class QComboBox;
class QGroupBox;
class QProgressBar;
class QPushButton;
namespace platform {
class BrowserView;
struct PrintJob;
}

class Form3 : public QWidget, public PdfExportState {
    Q_OBJECT
public:
    // `userName`: the main window's user name, the "<To>" of PDF file names.
    explicit Form3(QVector<MessageEntry> selectedEntries, QString userName = QString(),
                   QWidget *parent = nullptr);
    ~Form3() override;

    // Set by the main window before Form_Load: true shows HTML bodies (and remote pictures).
    bool PrintAsHTML = true;
    // How long loading one message into the printing view, and one print job, may take
    // before that message is reported as not printed and the run goes on.
    int PrintStepLimitMs = 60000;

    // The load steps; the first message is shown at the end.
    void Form_Load();
    // Renders the message at the current position into the page file (see CreateHTMLFile.cpp);
    // false when the page file does not hold that message now.
    bool CreateHTMLFile();
    // Shows the page file in WebBrowser1 without waiting for it.
    void Navigate();

    // How many hidden views Print All loads and prints messages in side by side: setting
    // "PrintAheadViews" (1 to 4), else one more than the processor cores, at most 4.
    static int printAheadViewCount();

    // Handlers, public so that a test can run them as a click would.
    void PushButton1_Click();
    void PushButton2_Click();
    void PushButton3_Click();
    void PushButton4_Click();
    void PushButton5_Click();
    void PushButton8_Click();
    void PushButton9_Click();

    int currentEntry() const { return CurrentEntry; }
    int lastEntry() const { return LastEntry; }
    const QString &htmlFilePath() const { return HTMLFilePath; }
    bool isBusy() const;

signals:
    void backRequested();
    void endProgramRequested();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void createControls();
    QPushButton *makeButton(const char *name, const QString &caption, const QRect &geometry);
    void FillPrinterList();
    void Combo1_Click(int index);
    void step(const char *procedure, int direction);
    const MessageEntry &entryAt(int position) const;

    // Print Selected and Print All (Form3Print.cpp).
    struct PrintRun;
    void beginRun(PrintRun &run);
    void endRun();
    void updateRunControls();
    void cancelPrintSelected();
    QString printShownPage(PrintRun &run);
    void cancelPrintAll();
    void runPrintAll(PrintRun &run);
    // Print All's views, loading and rendering ahead of the message being printed (Form3PrintAhead.cpp).
    struct PrintSlot;
    void preparePrintViews(PrintRun &run);
    bool fillPrintViews(PrintRun &run, int upTo);
    PrintSlot *slotOf(PrintRun &run, int position);
    void startLoading(PrintSlot &slot, int position);
    void advancePrintViews(PrintRun &run);
    void advanceSlot(PrintRun &run, PrintSlot &slot);
    void dropPrintedAhead(PrintRun &run, int after);
    platform::WaitOutcome waitForPrintViews(PrintRun &run, const std::function<bool()> &done,
                                            platform::Deadline *limit);
    // What happened to one message of a run: empty when it printed, else why not (`skipped`
    // tells a page over the printer's page limit that was left out from a failure).
    QString printOneOfRun(PrintRun &run, int position, bool *skipped);
    QString handOver(PrintRun &run, PrintSlot &slot, bool *skipped);
    // Writes the page of the message at `position` as `fileName` in the private folder; the
    // path in *written. False when the file does not hold that message now.
    bool writePageFile(int position, const QString &fileName, QString *written);
    void endPrintAll(PrintRun &run);
    // What Print All keeps with what it prints (Form3PrintRecords.cpp): the hooks of a message's
    // job, then its attachments, its row in the folder's index and its pages in the run's PDF.
    void beginRunRecords(PrintRun &run);
    void setRunHooks(PrintRun &run, int position);
    void keepRunRecords(PrintRun &run, int position, const QString &failure);
    void saveAttachmentsOf(PrintRun &run, int position, const QString &pdfPath);
    void noteUnprintedAttachments(PrintRun &run, int position);
    void addToCombinedPdf(PrintRun &run, int position);
    void finishRunRecords(PrintRun &run);
    void appendIndexRow(PrintRun &run, int position, const QString &file, int pages, const QString &result);
    // The job for the printer picked in Combo1, in the run's page layout.
    platform::PrintJob pickedJob() const;
    // Names the PDF file of the message at `position` in the run's job: empty when done, else why not.
    QString nameJobFile(PrintRun &run, int position);
    bool allowPageCount(PrintRun &run, int position, int pages);
    void watchPageCount(platform::BrowserView *view, PrintRun &run, int position);
    platform::WaitOutcome waitForPrintView(const std::function<bool()> &done);

public:
    QPushButton *PushButton8 = nullptr;
    platform::BrowserView *WebBrowser1 = nullptr;
    QGroupBox *Frame3 = nullptr;
    QComboBox *Combo1 = nullptr;
    QPushButton *PushButton1 = nullptr;
    QPushButton *PushButton2 = nullptr;
    QPushButton *PushButton9 = nullptr;
    QPushButton *PushButton3 = nullptr;
    QPushButton *PushButton4 = nullptr;
    QPushButton *PushButton5 = nullptr;
    QProgressBar *ProgressBar1 = nullptr;
    QWidget *Picture1 = nullptr;
    platform::BrowserView *WebBrowser2 = nullptr;  // the first of Print All's views

private:
    QVector<platform::BrowserView *> m_printViews;  // WebBrowser2 and the others Print All made
    QVector<MessageEntry> m_selectedEntries;  // as handed over; copied by the load step
    QVector<MessageEntry> PreviewEntries;     // positions 1 to LastEntry are [0] to [LastEntry - 1]
    QString m_userName;
    QString HTMLFilePath;
    int CurrentEntry = 0;
    int LastEntry = 0;
    bool GoingBack = false;
    PrintRun *m_run = nullptr;             // the print run in progress: while set, no other starts
    platform::Lifetime m_life;             // ends every wait of a run when the window goes
};
