// "Print Selected" and "Print All" of the preview window after a real download, on the PDF
// writer (files read back with pdftotext and pdfinfo) and on a queue of the private CUPS: the
// question, the PDF options window, cancelling, limits, failures and the end box; and list order
// and cancelling while later messages are rendered ahead in other views.

#include "ModalWindows.h"
#include "WindowTests.h"
#include "TestPrintServer.h"
#include "TestServer.h"
#include "app/Form1.h"
#include "core/ErrorLog.h"
#include "core/ProgramFolder.h"
#include "core/SettingsStore.h"
#include "list/MessageList.h"
#include "list/MessageListView.h"
#include "platform/BrowserView.h"
#include "platform/CupsPrinterSystem.h"
#include "platform/PdfPageCount.h"
#include "platform/ScriptedDialogs.h"
#include "print/Form3.h"
#include "print/Form5.h"
#include "print/PdfFileName.h"
#include "print/PdfWriterName.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QProgressBar>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTimer>
#include <QTreeWidget>
#include <QWebEnginePage>
#include <QtTest>
#include <csignal>

Q_DECLARE_METATYPE(QList<platform::BoxAnswer>)

namespace {

QString run(const QString &program, const QStringList &arguments)
{
    QProcess p;
    p.start(program, arguments);
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return QStringLiteral("<%1 failed>").arg(program);
    return QString::fromUtf8(p.readAllStandardOutput());
}

QString pdfText(const QString &pdf)
{
    return run(QStringLiteral("pdftotext"), {"-enc", "UTF-8", pdf, "-"});
}

QString fileText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QStringList pdfFiles(const QString &folder)
{
    return QDir(folder).entryList({"*.pdf"}, QDir::Files, QDir::Name);
}

// Answers the PDF options window with `pattern` and `folder`, or cancels it when both are empty.
void answerOptions(const QString &pattern, const QString &folder)
{
    whenOpen<Form5>([pattern, folder](Form5 *options) {
        if (pattern.isEmpty()) {
            options->PushButton2->click();
            return;
        }
        options->Text1->setText(pattern);
        options->Text2->setText(folder);
        options->PushButton1->click();
    });
}

// Answers every PDF options window that opens while `owner` lives.
void answerEveryOptionsWindow(QObject *owner, const QString &pattern, const QString &folder)
{
    auto *timer = new QTimer(owner);
    QObject::connect(timer, &QTimer::timeout, owner, [pattern, folder] {
        if (auto *options = qobject_cast<Form5 *>(QApplication::activeModalWidget()); options && options->isVisible()) {
            options->Text1->setText(pattern);
            options->Text2->setText(folder);
            options->PushButton1->click();
        }
    });
    timer->start(5);
}

}  // namespace

class TestPrintAll : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void printAllWritesOnePdfPerMessageInListOrder();
    void pdfNamesTakeTheUserNameTheMainWindowHandsOver();
    void noAndCancelInTheOptionsWindowPrintNothing();
    void cancelDuringTheRunFinishesOnlyTheCurrentMessage();
    void failuresAreCountedNotAnnouncedAsDone();
    void printAllOnACupsQueueSendsOnePdfJobPerMessage();
    void printSelectedShowsThePrintDialog();
    void closingTheWindowDuringTheRunEndsIt();
    void printSelectedLocksTheWindowAndCancelReallyCancels_data();
    void printSelectedLocksTheWindowAndCancelReallyCancels();
    void cancelWhileTheServerHoldsTheJobCancelsItThere();
    void failuresBeforeThePrintAreCounted_data();
    void failuresBeforeThePrintAreCounted();
    void jobsGoToThePickedPrinterWhateverTheDefaultBecomes_data();
    void jobsGoToThePickedPrinterWhateverTheDefaultBecomes();
    void longPagesGoToAPrinterOnlyWhenTheUserSaysSo_data();
    void longPagesGoToAPrinterOnlyWhenTheUserSaysSo();
    void aSlowMessageAmongFastOnesKeepsListOrder_data();
    void aSlowMessageAmongFastOnesKeepsListOrder();
    void theShownPageKeepsItsFileWhilePrintAllRuns();

private:
    QStringList printedTexts(const QString &printer, int jobsBefore);
    Form3 *openPreview(const QStringList &shapes, const QString &printer);
    QStringList checkedSubjects() const;
    TestServer::ExpectedMessage expected(const QString &shape) const;
    void answer(std::initializer_list<platform::BoxAnswer> answers);
    TestPrintServer m_printServer;
    TestServer m_mailServer;
    QTemporaryDir m_programDir;
    QTemporaryDir m_out;
    std::unique_ptr<platform::ScriptedDialogs> m_dialogs;
    std::unique_ptr<Form1> m_form;
};

void TestPrintAll::initTestCase()
{
    m_printServer = TestPrintServer::fromFixture();
    m_mailServer = TestServer::fromFixture();
    m_mailServer.applyToEnvironment();
    prepareWindowTests(m_programDir.path(), PageResources::With);
    m_dialogs = std::make_unique<platform::ScriptedDialogs>();
    m_form = windowWithInbox(m_mailServer);
    QVERIFY(m_form->ListView1->topLevelItemCount() >= 10);
}

void TestPrintAll::init()
{
    m_dialogs->clear();
    m_dialogs->answers.clear();
    saveSetting("Combo1", "");
    saveSetting("PrinterPageLimit", "");
    saveSetting("PrintAheadViews", "");
    QDir(m_out.path()).removeRecursively();
    QDir().mkpath(m_out.path());
    m_form->show();
}

void TestPrintAll::cleanup()
{
    if (Form3 *preview = m_form->previewWindow()) {
        preview->PushButton8_Click();
        QTRY_VERIFY(!m_form->previewWindow());
    }
}

TestServer::ExpectedMessage TestPrintAll::expected(const QString &shape) const
{
    return m_mailServer.message(m_mailServer.user, "INBOX", shape);
}

void TestPrintAll::answer(std::initializer_list<platform::BoxAnswer> answers)
{
    m_dialogs->answers.clear();
    for (platform::BoxAnswer a : answers)
        m_dialogs->answers.enqueue(a);
}

// Ticks the rows of the messages of `shapes` and opens the preview with `printer` picked.
Form3 *TestPrintAll::openPreview(const QStringList &shapes, const QString &printer)
{
    m_form->PushButton6->click();  // uncheck all
    for (const QString &shape : shapes) {
        const QString subject = expected(shape).subject;
        for (int row = 0; row < m_form->ListView1->topLevelItemCount(); ++row) {
            QTreeWidgetItem *item = m_form->ListView1->topLevelItem(row);
            if (item->text(messagelist::SubjectColumn) == subject)
                item->setCheckState(0, Qt::Checked);
        }
    }
    m_form->PushButton4->click();
    Form3 *preview = m_form->previewWindow();
    if (preview)
        preview->Combo1->setCurrentText(printer);
    return preview;
}

QStringList TestPrintAll::checkedSubjects() const
{
    QStringList subjects;
    for (int row = 0; row < m_form->ListView1->topLevelItemCount(); ++row)
        if (m_form->ListView1->topLevelItem(row)->checkState(0) == Qt::Checked)
            subjects << m_form->ListView1->topLevelItem(row)->text(messagelist::SubjectColumn);
    return subjects;
}

void TestPrintAll::printAllWritesOnePdfPerMessageInListOrder()
{
    const QStringList shapes = {"plain_only", "shift_jis", "from_no_name"};
    Form3 *preview = openPreview(shapes, "Tervane PDF Writer");
    QVERIFY(preview);
    QCOMPARE(preview->lastEntry(), 3);
    // The rows in list order, as the preview holds them.
    const QStringList subjects = checkedSubjects();
    preview->PushButton5->click();  // the visible page is message 2 and stays so
    QTRY_VERIFY(!preview->WebBrowser1->Busy());
    const QString shownUrl = preview->WebBrowser1->url().toString();

    for (int pass = 1; pass <= 2; ++pass) {
        answer({platform::BoxAnswer::Yes});
        answerOptions("<Count> - <Subject>", m_out.path());
        preview->PushButton2->click();
        QCOMPARE(m_dialogs->shown[0].request.text, QStringLiteral("Do you want to print all with Tervane PDF Writer?"));
        QCOMPARE(m_dialogs->messageTexts().last(), QStringLiteral("Done."));
        m_dialogs->clear();
    }
    QCOMPARE(preview->currentEntry(), 2);
    QCOMPARE(preview->WebBrowser1->url().toString(), shownUrl);
    QCOMPARE(preview->PushButton2->text(), QStringLiteral("Print All"));
    QCOMPARE(preview->ProgressBar1->value(), 0);
    QCOMPARE(preview->ProgressBar1->format(), QStringLiteral("Progress Bar"));
    QCOMPARE(platform::printerSystem().defaultPrinterName().value_or(""), QStringLiteral("Tervane PDF Writer"));

    // The second run into the same folder kept the first run's files.
    QStringList names;
    for (int i = 0; i < 3; ++i) {
        const QString stem = QStringLiteral("%1 - %2").arg(i + 1).arg(cleanPdfName(subjects[i]));
        names << stem + ".pdf" << stem + " (2).pdf";
    }
    QStringList sortedNames = names;
    sortedNames.sort();
    QCOMPARE(pdfFiles(m_out.path()), sortedNames);
    QVERIFY(!pdfFiles(m_out.path()).filter(expected("shift_jis").subject).isEmpty());
    for (int i = 0; i < 3; ++i) {
        const TestServer::ExpectedMessage message = expected(shapes[i]);
        const int position = subjects.indexOf(message.subject);
        QVERIFY2(position >= 0, qPrintable(message.subject));
        const QString pdf = m_out.filePath(names[2 * position]);
        const QString text = pdfText(pdf);
        QVERIFY2(text.contains(message.subject) && text.contains(message.plainSnippet), qPrintable(text));
        const QString info = run("pdfinfo", {pdf});
        QVERIFY2(info.contains(QRegularExpression("Title:\\s+" + QRegularExpression::escape(message.subject) + "\n")),
                 qPrintable(info));
        // Vector text, not a picture of the page.
        QVERIFY2(QFileInfo(pdf).size() < 200 * 1024, qPrintable(pdf));
    }
}

void TestPrintAll::pdfNamesTakeTheUserNameTheMainWindowHandsOver()
{
    // The store holds another name than the box (another instance wrote it meanwhile): "<To>" is
    // the name the user sees in the main window.
    saveSetting("User", "stored.elsewhere@example.com");
    const auto restore = qScopeGuard([this] { saveSetting("User", m_form->Text1->text()); });
    Form3 *preview = openPreview({"plain_only"}, "Tervane PDF Writer");
    QVERIFY(preview);
    answer({platform::BoxAnswer::Yes});
    answerOptions("<To> <Count>", m_out.path());
    preview->PushButton2->click();
    QCOMPARE(m_dialogs->messageTexts().last(), QStringLiteral("Done."));
    QCOMPARE(pdfFiles(m_out.path()), QStringList{m_mailServer.user + " 1.pdf"});
}

void TestPrintAll::noAndCancelInTheOptionsWindowPrintNothing()
{
    Form3 *preview = openPreview({"plain_only", "from_no_name"}, "Tervane PDF Writer");
    QVERIFY(platform::printerSystem().setDefaultPrinter("Quorvale_Beta"));
    answer({platform::BoxAnswer::No});
    preview->PushButton2->click();
    // "No" still leaves the picked printer the default, and opens no options window.
    QCOMPARE(platform::printerSystem().defaultPrinterName().value_or(""), QStringLiteral("Tervane PDF Writer"));
    QCOMPARE(m_dialogs->messageTexts().size(), 1);
    QCOMPARE(preview->PushButton2->text(), QStringLiteral("Print All"));

    m_dialogs->clear();
    answer({platform::BoxAnswer::Yes});
    answerOptions("", "");
    preview->PushButton2->click();
    QCOMPARE(m_dialogs->messageTexts().size(), 1);  // the question only, no "Done."
    QCOMPARE(preview->PushButton2->text(), QStringLiteral("Print All"));
    QVERIFY(preview->ExportCanceled);

    // Print Selected cancelled in the options window prints nothing either.
    QTRY_VERIFY(!preview->WebBrowser1->Busy());
    m_dialogs->clear();
    answerOptions("", "");
    preview->PushButton1->click();
    QVERIFY(m_dialogs->messageTexts().isEmpty());
    QCOMPARE(preview->PushButton1->text(), QStringLiteral("Print Selected"));
    QVERIFY(pdfFiles(m_out.path()).isEmpty());
}

void TestPrintAll::cancelDuringTheRunFinishesOnlyTheCurrentMessage()
{
    Form3 *preview = openPreview({"plain_only", "shift_jis", "from_no_name"}, "Tervane PDF Writer");
    const QStringList subjects = checkedSubjects();
    answer({platform::BoxAnswer::Yes, platform::BoxAnswer::Yes, platform::BoxAnswer::Yes});
    answerEveryOptionsWindow(preview, "<Count>", m_out.path());
    // The cancel click arrives while the first message is loading in the hidden view, and a
    // click to start again right after it.
    bool clicked = false, lockedAfterCancel = false;
    connect(preview->WebBrowser2->page(), &QWebEnginePage::loadStarted, preview, [&] {
        if (!clicked) {
            clicked = true;
            QTimer::singleShot(0, preview, [&, preview] {
                preview->PushButton2->click();
                lockedAfterCancel = !preview->PushButton2->isEnabled() && !preview->PushButton1->isEnabled();
                preview->PushButton2->click();
            });
        }
    });
    preview->PushButton2->click();
    QVERIFY(clicked);
    for (const QString &file : pdfFiles(m_out.path()))  // each holds the message its name says
        QVERIFY2(pdfText(m_out.filePath(file)).contains(subjects.value(file.section(QRegularExpression("[ .]"), 0, 0).toInt() - 1, "?")),
                 qPrintable(file));
    QCOMPARE(m_dialogs->messageTexts(), QStringList({"Do you want to print all with Tervane PDF Writer?",
                                                     "Do you want to print all with Tervane PDF Writer?"}));
    QCOMPARE(pdfFiles(m_out.path()), QStringList({"1.pdf"}));
    QVERIFY(lockedAfterCancel);
    QCOMPARE(preview->PushButton2->text(), QStringLiteral("Print All"));
    QVERIFY(preview->PushButton2->isEnabled());
    QCOMPARE(preview->currentEntry(), 1);
}

void TestPrintAll::failuresAreCountedNotAnnouncedAsDone()
{
    Form3 *preview = openPreview({"plain_only", "from_no_name"}, "Tervane PDF Writer");
    const QString log = errorLogPath();
    const int recordsBefore = fileText(log).count(QStringLiteral("was not printed"));

    // The chosen folder vanishes between the options window and the jobs.
    const QString folder = m_out.filePath("gone");
    QVERIFY(QDir().mkpath(folder));
    whenOpen<Form5>([folder](Form5 *options) {
        options->Text1->setText("<Subject>");
        options->Text2->setText(folder);
        options->PushButton1->click();
        QDir(folder).removeRecursively();
    });
    answer({platform::BoxAnswer::Yes});
    preview->PushButton2->click();
    QStringList boxes = m_dialogs->messageTexts();
    QVERIFY2(!boxes.contains("Done.") && boxes.last().startsWith("2 of 2 messages could not be printed")
                 && boxes.last().contains(log),
             qPrintable(boxes.join(" | ")));
    const QString records = fileText(log);
    QCOMPARE(records.count(QStringLiteral("was not printed")), recordsBefore + 2);
    QVERIFY2(records.contains("does not exist"), qPrintable(records));

    // A page that may not load in time is reported and the run goes on to the next one.
    QVERIFY(QDir().mkpath(folder));
    preview->PrintStepLimitMs = 1;
    m_dialogs->clear();
    answer({platform::BoxAnswer::Yes});
    answerOptions("<Subject>", folder);
    preview->PushButton2->click();
    boxes = m_dialogs->messageTexts();
    QVERIFY2(boxes.last().startsWith("2 of 2 messages"), qPrintable(boxes.join(" | ")));
    QVERIFY(fileText(log).contains("did not finish loading within"));

    // With the usual limit the same view prints again.
    preview->PrintStepLimitMs = 60000;
    m_dialogs->clear();
    answer({platform::BoxAnswer::Yes});
    answerOptions("<Subject>", folder);
    preview->PushButton2->click();
    QCOMPARE(m_dialogs->messageTexts().last(), QStringLiteral("Done."));
    QCOMPARE(pdfFiles(folder).size(), 2);
}

void TestPrintAll::closingTheWindowDuringTheRunEndsIt()
{
    Form3 *preview = openPreview({"plain_only", "from_no_name"}, "Tervane PDF Writer");
    answer({platform::BoxAnswer::Yes});
    answerOptions("<Count>", m_out.path());
    connect(preview->WebBrowser2->page(), &QWebEnginePage::loadStarted, preview,
            [preview] { QTimer::singleShot(0, preview, [preview] { preview->close(); }); });
    QPointer<Form3> watched(preview);
    preview->PushButton2->click();
    QTRY_VERIFY(!watched);
    QVERIFY(!m_dialogs->messageTexts().contains("Done."));
    QVERIFY(pdfFiles(m_out.path()).size() <= 1);
}

void TestPrintAll::printAllOnACupsQueueSendsOnePdfJobPerMessage()
{
    const QStringList shapes = {"plain_only", "shift_jis", "from_no_name"};
    Form3 *preview = openPreview(shapes, "Quorvale_Alpha");
    const int before = m_printServer.jobs().size();
    answer({platform::BoxAnswer::Yes});
    preview->PushButton2->click();
    QCOMPARE(m_dialogs->messageTexts(), QStringList({"Do you want to print all with Quorvale_Alpha?", "Done."}));
    const auto jobs = m_printServer.jobs().mid(before);
    QCOMPARE(jobs.size(), 3);
    const QStringList subjects = checkedSubjects();
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(jobs[i].printer, QStringLiteral("Quorvale_Alpha"));
        QCOMPARE(jobs[i].title, subjects[i]);
        const QByteArray document = m_printServer.document(jobs[i].id);
        QVERIFY(document.startsWith("%PDF-"));
        QTemporaryFile file;
        QVERIFY(file.open());
        file.write(document);
        file.flush();
        QVERIFY2(pdfText(file.fileName()).contains(subjects[i]), qPrintable(subjects[i]));
    }
}

void TestPrintAll::printSelectedShowsThePrintDialog()
{
    Form3 *preview = openPreview({"plain_only"}, "Quorvale_Beta");
    QTRY_VERIFY(!preview->WebBrowser1->Busy());
    const int before = m_printServer.jobs().size();
    QString offered;
    bool accept = false;
    platform::BrowserView::setDialogRunner([&](QDialog &dialog) {
        auto *print = qobject_cast<QPrintDialog *>(&dialog);
        offered = print ? print->printer()->printerName() : QStringLiteral("<not a print dialog>");
        return accept ? QDialog::Accepted : QDialog::Rejected;
    });
    preview->PushButton1->click();  // closed in the dialog: nothing printed, no "Done."
    QCOMPARE(offered, QStringLiteral("Quorvale_Beta"));
    QVERIFY(m_dialogs->messageTexts().isEmpty());
    accept = true;
    preview->PushButton1->click();
    platform::BrowserView::setDialogRunner(nullptr);
    QCOMPARE(m_dialogs->messageTexts(), QStringList({"Done."}));
    QCOMPARE(preview->PushButton1->text(), QStringLiteral("Print Selected"));
    const auto jobs = m_printServer.jobs().mid(before);
    QCOMPARE(jobs.size(), 1);
    QCOMPARE(jobs[0].printer, QStringLiteral("Quorvale_Beta"));
    QCOMPARE(jobs[0].title, expected("plain_only").subject);
}

void TestPrintAll::printSelectedLocksTheWindowAndCancelReallyCancels_data()
{
    QTest::addColumn<QString>("printer");
    QTest::addColumn<int>("printDialogs");  // the PDF writer's choice is made in its options window
    QTest::newRow("PDF writer") << QStringLiteral("Tervane PDF Writer") << 0;
    QTest::newRow("print service queue") << QStringLiteral("Quorvale_Beta") << 1;
}

void TestPrintAll::printSelectedLocksTheWindowAndCancelReallyCancels()
{
    QFETCH(QString, printer);
    QFETCH(int, printDialogs);
    Form3 *preview = openPreview({"plain_only", "from_no_name"}, printer);
    QTRY_VERIFY(!preview->WebBrowser1->Busy());
    const int jobsBefore = m_printServer.jobs().size();
    answerEveryOptionsWindow(preview, "<Subject>", m_out.path());
    int dialogs = 0;
    platform::BrowserView::setDialogRunner([&](QDialog &) { return ++dialogs, int(QDialog::Accepted); });
    answer({platform::BoxAnswer::Yes});  // for a Print All that must not start
    auto *inside = new QTimer(preview);  // acts at the first turn of the wait for the job
    connect(inside, &QTimer::timeout, preview, [&, inside] {
        if (!preview->WebBrowser1->isPrinting())
            return;
        inside->stop();
        for (QPushButton *button : {preview->PushButton8, preview->PushButton5, preview->PushButton2,
                                    preview->PushButton1, preview->PushButton1})  // back, next, all, cancel twice
            button->click();
    });
    inside->start(0);
    QPointer<Form3> watched(preview);
    preview->PushButton1->click();
    platform::BrowserView::setDialogRunner(nullptr);
    QVERIFY(watched);
    QCOMPARE(dialogs, printDialogs);
    QVERIFY2(m_dialogs->messageTexts().isEmpty(), qPrintable(m_dialogs->messageTexts().join(" | ")));
    QCOMPARE(preview->currentEntry(), 1);
    QVERIFY(preview->PushButton1->text() == "Print Selected" && preview->PushButton8->isEnabled());
    QVERIFY(pdfFiles(m_out.path()).isEmpty());
    QCOMPARE(m_printServer.jobs().size(), jobsBefore);
}

void TestPrintAll::cancelWhileTheServerHoldsTheJobCancelsItThere()
{
    saveSetting("PrinterPageLimit", "1");
    const QString twoPages = QString("<div style=\"break-after:page\">sheet</div>").repeated(2);
    Form3 preview(QVector<MessageEntry>{{"M <m@example.com>", "M", "m@example.com", "Called off", "", "", twoPages, {}}});
    preview.Form_Load();
    preview.show();
    preview.Combo1->setCurrentText("Quorvale_Alpha");
    QTRY_VERIFY(preview.WebBrowser1->ReadyState() == platform::BrowserView::Complete && !preview.WebBrowser1->Busy());
    const int jobsBefore = m_printServer.jobs().size();
    const qint64 cupsd = m_printServer.pid();
    QVERIFY(cupsd > 0);
    const auto resume = qScopeGuard([this, cupsd] {
        ::kill(pid_t(cupsd), SIGCONT);
        m_dialogs->onMessageBox = nullptr;
        platform::BrowserView::setDialogRunner(nullptr);
    });
    platform::BrowserView::setDialogRunner([](QDialog &) { return int(QDialog::Accepted); });
    // The page-count question is the last step before the job goes to the server: the server
    // is held from there, so the cancel (clicked twice) lands while the job waits for it. The
    // server resumes only after the wait has had its turns to see the cancel.
    m_dialogs->answers.enqueue(platform::BoxAnswer::Yes);
    m_dialogs->onMessageBox = [&preview, cupsd](const platform::MessageBoxRequest &) {
        ::kill(pid_t(cupsd), SIGSTOP);
        QTimer::singleShot(0, &preview, [&preview, cupsd] {
            preview.PushButton1->click();
            preview.PushButton1->click();
            QTimer::singleShot(300, &preview, [cupsd] { ::kill(pid_t(cupsd), SIGCONT); });
        });
    };
    preview.PushButton1->click();
    ::kill(pid_t(cupsd), SIGCONT);
    QCOMPARE(m_dialogs->messageTexts().size(), 1);  // the question only: no "Done.", no failure
    QCOMPARE(preview.PushButton1->text(), QStringLiteral("Print Selected"));
    for (const TestPrintServer::Job &job : m_printServer.jobs().mid(jobsBefore))
        QCOMPARE(m_printServer.jobAttribute(job.id, "job-state"), QStringLiteral("canceled"));
}

void TestPrintAll::failuresBeforeThePrintAreCounted_data()
{
    QTest::addColumn<QString>("broken");  // a file that the step needs, made unusable
    QTest::addColumn<QString>("logged");
    QTest::newRow("page template missing") << m_programDir.filePath("Base.tmp") << "page could not be written";
}

void TestPrintAll::failuresBeforeThePrintAreCounted()
{
    QFETCH(QString, broken);
    QFETCH(QString, logged);
    Form3 *preview = openPreview({"plain_only", "from_no_name"}, "Tervane PDF Writer");
    QFile::rename(broken, broken + ".away");
    QVERIFY(QDir().mkpath(broken));  // a folder where the file belongs
    answer({platform::BoxAnswer::Yes});
    answerOptions("<Count>", m_out.path());
    preview->PushButton2->click();
    QVERIFY(QDir(broken).removeRecursively());
    QFile::rename(broken + ".away", broken);
    const QStringList boxes = m_dialogs->messageTexts();
    QVERIFY2(!boxes.contains("Done.") && boxes.last().startsWith("2 of 2 messages could not be printed"),
             qPrintable(boxes.join(" | ")));
    const QString log = fileText(errorLogPath());
    QVERIFY2(log.mid(log.lastIndexOf("Print All: message 2")).contains(logged), qPrintable(log.right(300)));
    QVERIFY(pdfFiles(m_out.path()).isEmpty());
}

void TestPrintAll::jobsGoToThePickedPrinterWhateverTheDefaultBecomes_data()
{
    QTest::addColumn<QString>("picked");
    QTest::newRow("print queue") << "Quorvale_Alpha";
    QTest::newRow("PDF writer") << "Tervane PDF Writer";
}

void TestPrintAll::jobsGoToThePickedPrinterWhateverTheDefaultBecomes()
{
    QFETCH(QString, picked);
    const bool toWriter = picked == "Tervane PDF Writer";
    Form3 *preview = openPreview({"plain_only", "from_no_name"}, picked);
    // The PDF writer's settings file of older versions, now a folder that cannot be written.
    const QString oldSettings = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
                                + "/Tervane PDF Writer.conf";
    QFile::remove(oldSettings);  // the file itself, left by an older version
    QVERIFY(QDir().mkpath(oldSettings));
    const auto removeOldSettings = qScopeGuard([oldSettings] { QDir(oldSettings).removeRecursively(); });
    // Another program makes Beta the default while each message loads for its job.
    connect(preview->WebBrowser2->page(), &QWebEnginePage::loadStarted, preview,
            [] { platform::printerSystem().setDefaultPrinter("Quorvale_Beta"); });
    const int before = m_printServer.jobs().size();
    answer({platform::BoxAnswer::Yes});
    if (toWriter)  // only the writer asks for the PDF options
        answerOptions("<Count>", m_out.path());
    preview->PushButton2->click();
    QCOMPARE(m_dialogs->messageTexts().last(), QStringLiteral("Done."));
    QStringList printers;
    for (const TestPrintServer::Job &job : m_printServer.jobs().mid(before))
        printers << job.printer;
    QCOMPARE(printers, toWriter ? QStringList() : QStringList({picked, picked}));
    QCOMPARE(pdfFiles(m_out.path()), toWriter ? QStringList({"1.pdf", "2.pdf"}) : QStringList());
    QCOMPARE(platform::printerSystem().defaultPrinterName().value_or(""), QStringLiteral("Quorvale_Beta"));
}

void TestPrintAll::longPagesGoToAPrinterOnlyWhenTheUserSaysSo_data()
{
    QTest::addColumn<QList<platform::BoxAnswer>>("answers");
    QTest::addColumn<QStringList>("printed");  // after "Yes" to the run, one answer per question
    using A = platform::BoxAnswer;
    QTest::newRow("skip one, print the other") << QList<A>{A::Yes, A::No, A::Yes}
                                               << QStringList{"Short one", "Long B", "Short two"};
    QTest::newRow("skip all such") << QList<A>{A::Yes, A::Cancel} << QStringList{"Short one", "Short two"};
}

void TestPrintAll::longPagesGoToAPrinterOnlyWhenTheUserSaysSo()
{
    QFETCH(QList<platform::BoxAnswer>, answers);
    QFETCH(QStringList, printed);
    saveSetting("PrinterPageLimit", "3");
    const QString sixPages = QString("<div style=\"break-after:page\">sheet</div>").repeated(6);
    QVector<MessageEntry> entries;
    for (const QString &subject : {"Short one", "Long A", "Long B", "Short two"})
        entries.append({"M <m@example.com>", "M", "m@example.com", subject, "", "", subject.startsWith("Long") ? sixPages : "<p>x</p>", {}});
    Form3 preview(entries);
    preview.Form_Load();
    preview.show();
    preview.Combo1->setCurrentText("Quorvale_Alpha");
    const int jobsBefore = m_printServer.jobs().size();
    for (platform::BoxAnswer a : answers)
        m_dialogs->answers.enqueue(a);
    preview.PushButton2->click();
    const QStringList boxes = m_dialogs->messageTexts();
    QCOMPARE(boxes.filter("more than the 3 pages").size(), answers.size() - 1);
    QVERIFY2(boxes.last().startsWith(QString("%1 of 4 messages were skipped").arg(4 - printed.size())),
             qPrintable(boxes.join(" | ")));
    QStringList titles;
    for (const auto &job : m_printServer.jobs().mid(jobsBefore)) {
        titles << job.title;
        QCOMPARE(platform::pdfPageCount(m_printServer.document(job.id)), job.title.startsWith("Long") ? 6 : 1);
    }
    QCOMPARE(titles, printed);
}

namespace {

// A first message of many pages, which takes far longer to become a PDF than the short ones
// after it, all under one subject.
QVector<MessageEntry> slowFirstMessages(int count)
{
    QVector<MessageEntry> entries;
    const QString manyPages = QString("<div style=\"break-after:page\">sheet</div>").repeated(60);
    for (int i = 1; i <= count; ++i)
        entries.append({"M <m@example.com>", "M", "m@example.com", "Order", "", "",
                        QStringLiteral("<p>Message %1</p>").arg(i) + (i == 1 ? manyPages : QString()), {}});
    return entries;
}

QString bodyLine(const QString &text)
{
    return QRegularExpression("Message \\d+").match(text).captured();
}

}  // namespace

// The text of every PDF the run made, in the order of the files' names or of the jobs.
QStringList TestPrintAll::printedTexts(const QString &printer, int jobsBefore)
{
    QStringList texts;
    if (printer == "Tervane PDF Writer") {
        QStringList files = pdfFiles(m_out.path());  // "Order.pdf" sorts after "Order (n).pdf"
        if (files.removeOne("Order.pdf"))
            files.prepend("Order.pdf");
        for (const QString &file : files)
            texts << file + ": " + bodyLine(pdfText(m_out.filePath(file)));
        return texts;
    }
    for (const TestPrintServer::Job &job : m_printServer.jobs().mid(jobsBefore)) {
        QTemporaryFile file;
        if (file.open() && file.write(m_printServer.document(job.id)) > 0 && file.flush())
            texts << job.printer + ": " + bodyLine(pdfText(file.fileName()));
    }
    return texts;
}

void TestPrintAll::aSlowMessageAmongFastOnesKeepsListOrder_data()
{
    QTest::addColumn<QString>("printer");
    QTest::addColumn<bool>("cancel");  // once a later message's PDF waits while the first is made
    QTest::addColumn<QStringList>("printed");  // what each file (by its name's order) or job holds
    QTest::newRow("PDF writer") << "Tervane PDF Writer" << false
                                << QStringList{"Order.pdf: Message 1", "Order (2).pdf: Message 2",
                                               "Order (3).pdf: Message 3", "Order (4).pdf: Message 4"};
    QTest::newRow("print queue") << "Quorvale_Alpha" << false
                                 << QStringList{"Quorvale_Alpha: Message 1", "Quorvale_Alpha: Message 2",
                                                "Quorvale_Alpha: Message 3", "Quorvale_Alpha: Message 4"};
    QTest::newRow("PDF writer, cancel drops pages rendered ahead") << "Tervane PDF Writer" << true
                                                                   << QStringList{"Order.pdf: Message 1"};
    QTest::newRow("print queue, cancel drops pages rendered ahead") << "Quorvale_Alpha" << true
                                                                    << QStringList{"Quorvale_Alpha: Message 1"};
}

void TestPrintAll::aSlowMessageAmongFastOnesKeepsListOrder()
{
    QFETCH(QString, printer);
    QFETCH(bool, cancel);
    QFETCH(QStringList, printed);
    saveSetting("PrintAheadViews", "3");
    saveSetting("PrinterPageLimit", "0");
    Form3 preview(slowFirstMessages(4));
    preview.Form_Load();
    preview.show();
    preview.Combo1->setCurrentText(printer);
    const int jobsBefore = m_printServer.jobs().size();
    answer({platform::BoxAnswer::Yes, platform::BoxAnswer::Yes});
    if (printer == pdfWriterName())  // only the PDF writer asks for its options
        answerOptions("<Subject>", m_out.path());
    bool cancelled = false;
    QTimer watch;
    connect(&watch, &QTimer::timeout, &preview, [&] {
        for (auto *view : preview.Picture1->findChildren<platform::BrowserView *>()) {
            if (cancel && !cancelled && view != preview.WebBrowser2 && view->hasRenderedPdf()) {
                cancelled = true;
                preview.PushButton2->click();
            }
        }
    });
    watch.start(1);
    preview.PushButton2->click();
    QCOMPARE(cancelled, cancel);
    // A cancelled run shows the question twice and no "Done.".
    QCOMPARE(m_dialogs->messageTexts().last(), cancel ? m_dialogs->messageTexts().first() : QStringLiteral("Done."));
    QCOMPARE(printedTexts(printer, jobsBefore), printed);
    QCOMPARE(preview.PushButton2->text(), QStringLiteral("Print All"));
}

void TestPrintAll::theShownPageKeepsItsFileWhilePrintAllRuns()
{
    Form3 preview(slowFirstMessages(3));
    preview.Form_Load();
    preview.show();
    preview.Combo1->setCurrentText("Tervane PDF Writer");
    preview.PushButton5->click();
    QTRY_VERIFY(preview.WebBrowser1->ReadyState() == platform::BrowserView::Complete && !preview.WebBrowser1->Busy());
    const QString shown = fileText(preview.htmlFilePath());
    QVERIFY(shown.contains("Message 2"));
    answer({platform::BoxAnswer::Yes});
    answerOptions("<Count>", m_out.path());
    preview.PushButton2->click();
    QCOMPARE(m_dialogs->messageTexts().last(), QStringLiteral("Done."));
    QCOMPARE(pdfFiles(m_out.path()).size(), 3);
    QCOMPARE(fileText(preview.htmlFilePath()), shown);
}

QTEST_MAIN(TestPrintAll)
#include "tst_printall.moc"
