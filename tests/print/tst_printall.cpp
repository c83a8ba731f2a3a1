// "Print Selected" and "Print All" of the preview window after a real download, on the PDF
// writer (files read back with pdftotext and pdfinfo) and on a queue of the private CUPS: the
// question, the PDF options window, cancelling, limits, failures and the end box.

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
#include "platform/ScriptedDialogs.h"
#include "print/Form3.h"
#include "print/Form5.h"
#include "print/PdfFileName.h"
#include "print/PdfWriterHandOff.h"

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
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, owner, [pattern, folder] {
        auto *options = qobject_cast<Form5 *>(QApplication::activeModalWidget());
        if (!options || !options->isVisible())
            return;
        options->Text1->setText(pattern);
        options->Text2->setText(folder);
        options->PushButton1->click();
    });
    timer->start();
}

// Runs `act` once, at the first turn of the event loop at which `view` is printing.
void whilePrinting(platform::BrowserView *view, std::function<void()> act)
{
    auto *timer = new QTimer(view);
    timer->setInterval(0);
    QObject::connect(timer, &QTimer::timeout, view, [timer, view, act] {
        if (!view->isPrinting())
            return;
        timer->stop();
        timer->deleteLater();
        act();
    });
    timer->start();
}

int pdfPages(const QByteArray &pdf)
{
    QTemporaryFile file;
    if (!file.open() || file.write(pdf) != pdf.size() || !file.flush())
        return -1;
    const QRegularExpressionMatch pages =
        QRegularExpression("Pages:\\s+(\\d+)").match(run("pdfinfo", {file.fileName()}));
    return pages.hasMatch() ? pages.captured(1).toInt() : -1;
}

MessageEntry craftedMessage(const QString &subject, const QString &htmlBody)
{
    return MessageEntry{"Mallory <m@example.com>", "Mallory", "m@example.com", subject, "12/1/2026", "", htmlBody, {}};
}

}  // namespace

class TestPrintAll : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void printAllWritesOnePdfPerMessageInListOrder();
    void noAndCancelInTheOptionsWindowPrintNothing();
    void cancelDuringTheRunFinishesOnlyTheCurrentMessage();
    void failuresAreCountedNotAnnouncedAsDone();
    void printAllOnACupsQueueSendsOnePdfJobPerMessage();
    void printSelectedShowsThePrintDialog();
    void closingTheWindowDuringTheRunEndsIt();
    void clicksDuringACancelledRunStartNothing();
    void printSelectedLocksTheWindowAndCancelReallyCancels_data();
    void printSelectedLocksTheWindowAndCancelReallyCancels();
    void aPageThatWasNotWrittenIsNotPrinted();
    void aHandOffThatCannotBeWrittenSaysSo();
    void printSelectedOnTheWriterOffersNoPrinterChoice();
    void aMessageCannotBlankItsPageBeforeItPrints();
    void longPagesGoToAPrinterOnlyWhenTheUserSaysSo_data();
    void longPagesGoToAPrinterOnlyWhenTheUserSaysSo();
    void aTinyMessageOfThousandsOfPagesIsHeldBack();

private:
    Form3 *openPreview(const QStringList &shapes, const QString &printer);
    std::unique_ptr<Form3> openCrafted(const QVector<MessageEntry> &entries, const QString &printer);
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

std::unique_ptr<Form3> TestPrintAll::openCrafted(const QVector<MessageEntry> &entries, const QString &printer)
{
    auto preview = std::make_unique<Form3>(entries);
    preview->Form_Load();
    preview->show();
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
    QStringList subjects;
    for (int row = 0; row < m_form->ListView1->topLevelItemCount(); ++row)
        if (m_form->ListView1->topLevelItem(row)->checkState(0) == Qt::Checked)
            subjects << m_form->ListView1->topLevelItem(row)->text(messagelist::SubjectColumn);
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
    answer({platform::BoxAnswer::Yes, platform::BoxAnswer::Yes});
    answerOptions("<Count>", m_out.path());
    // The cancel click arrives while the first message is loading in the hidden view.
    bool clicked = false;
    connect(preview->WebBrowser2->page(), &QWebEnginePage::loadStarted, preview, [&] {
        if (!clicked) {
            clicked = true;
            QTimer::singleShot(0, preview, [preview] { preview->PushButton2->click(); });
        }
    });
    preview->PushButton2->click();
    QVERIFY(clicked);
    QCOMPARE(m_dialogs->messageTexts(), QStringList({"Do you want to print all with Tervane PDF Writer?",
                                                     "Do you want to print all with Tervane PDF Writer?"}));
    QCOMPARE(pdfFiles(m_out.path()), QStringList({"1.pdf"}));
    QCOMPARE(preview->PushButton2->text(), QStringLiteral("Print All"));
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
    QStringList subjects;
    for (int row = 0; row < m_form->ListView1->topLevelItemCount(); ++row)
        if (m_form->ListView1->topLevelItem(row)->checkState(0) == Qt::Checked)
            subjects << m_form->ListView1->topLevelItem(row)->text(messagelist::SubjectColumn);
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

void TestPrintAll::clicksDuringACancelledRunStartNothing()
{
    Form3 *preview = openPreview({"plain_only", "shift_jis", "from_no_name"}, "Tervane PDF Writer");
    const QStringList subjects = checkedSubjects();
    answer({platform::BoxAnswer::Yes, platform::BoxAnswer::Yes, platform::BoxAnswer::Yes});
    answerEveryOptionsWindow(preview, "<Count> - <Subject>", m_out.path());
    // While the first message loads: cancel, then at once Print All again.
    bool clicked = false;
    bool lockedAfterCancel = false;
    connect(preview->WebBrowser2->page(), &QWebEnginePage::loadStarted, preview, [&] {
        if (clicked)
            return;
        clicked = true;
        QTimer::singleShot(0, preview, [&, preview] {
            preview->PushButton2->click();
            lockedAfterCancel = !preview->PushButton2->isEnabled() && !preview->PushButton1->isEnabled();
            preview->PushButton2->click();
        });
    });
    preview->PushButton2->click();
    QVERIFY(clicked);
    // Each PDF holds the message its name says, and only the message being worked on printed.
    const QStringList files = pdfFiles(m_out.path());
    for (const QString &file : files) {
        const int count = file.section(' ', 0, 0).toInt();
        QVERIFY2(count >= 1 && count <= 3, qPrintable(file));
        QVERIFY2(pdfText(m_out.filePath(file)).contains(subjects[count - 1]), qPrintable(file));
    }
    QCOMPARE(files, QStringList({"1 - " + cleanPdfName(subjects[0]) + ".pdf"}));
    QVERIFY(!m_dialogs->messageTexts().contains("Done."));
    QVERIFY(lockedAfterCancel);
    QCOMPARE(preview->PushButton2->text(), QStringLiteral("Print All"));
    QVERIFY(preview->PushButton2->isEnabled() && preview->PushButton8->isEnabled());
}

void TestPrintAll::printSelectedLocksTheWindowAndCancelReallyCancels_data()
{
    QTest::addColumn<QString>("printer");
    QTest::newRow("PDF writer") << QStringLiteral("Tervane PDF Writer");
    QTest::newRow("print service queue") << QStringLiteral("Quorvale_Beta");
}

void TestPrintAll::printSelectedLocksTheWindowAndCancelReallyCancels()
{
    QFETCH(QString, printer);
    Form3 *preview = openPreview({"plain_only", "from_no_name"}, printer);
    QTRY_VERIFY(!preview->WebBrowser1->Busy());
    const int jobsBefore = m_printServer.jobs().size();
    answerEveryOptionsWindow(preview, "<Subject>", m_out.path());
    platform::BrowserView::setDialogRunner([](QDialog &) { return int(QDialog::Accepted); });
    answer({platform::BoxAnswer::Yes});  // for a Print All that must not start
    QStringList locked;
    whilePrinting(preview->WebBrowser1, [&] {
        for (QPushButton *button : {preview->PushButton2, preview->PushButton3, preview->PushButton4,
                                    preview->PushButton5, preview->PushButton8, preview->PushButton9})
            if (!button->isEnabled())
                locked << button->objectName();
        preview->PushButton8->click();  // "< Back" would delete the window under the job
        preview->PushButton5->click();
        preview->PushButton2->click();
        preview->PushButton1->click();  // cancel
        preview->PushButton1->click();  // and again, at once
    });
    QPointer<Form3> watched(preview);
    preview->PushButton1->click();
    platform::BrowserView::setDialogRunner(nullptr);
    QVERIFY(watched);
    QCOMPARE(locked, QStringList({"PushButton2", "PushButton3", "PushButton4", "PushButton5", "PushButton8",
                                  "PushButton9"}));
    QVERIFY2(m_dialogs->messageTexts().isEmpty(), qPrintable(m_dialogs->messageTexts().join(" | ")));
    QCOMPARE(preview->currentEntry(), 1);
    QCOMPARE(preview->PushButton1->text(), QStringLiteral("Print Selected"));
    QVERIFY(preview->PushButton1->isEnabled() && preview->PushButton8->isEnabled());
    QVERIFY(pdfFiles(m_out.path()).isEmpty());
    QCOMPARE(m_printServer.jobs().size(), jobsBefore);
}

void TestPrintAll::aPageThatWasNotWrittenIsNotPrinted()
{
    Form3 *preview = openPreview({"plain_only", "from_no_name"}, "Tervane PDF Writer");
    const QString pageTemplate = m_programDir.filePath("Base.tmp");
    QVERIFY(QFile::rename(pageTemplate, pageTemplate + ".away"));
    answer({platform::BoxAnswer::Yes});
    answerOptions("<Count>", m_out.path());
    preview->PushButton2->click();
    QVERIFY(QFile::rename(pageTemplate + ".away", pageTemplate));
    const QStringList boxes = m_dialogs->messageTexts();
    QVERIFY2(!boxes.contains("Done.") && boxes.last().startsWith("2 of 2 messages could not be printed"),
             qPrintable(boxes.join(" | ")));
    QVERIFY(pdfFiles(m_out.path()).isEmpty());
}

void TestPrintAll::aHandOffThatCannotBeWrittenSaysSo()
{
    Form3 *preview = openPreview({"plain_only"}, "Tervane PDF Writer");
    // A folder where the writer's settings file belongs: the hand-off cannot be written.
    const QString store = pdfWriterHandOffPath();
    QFile::remove(store);
    QVERIFY(QDir().mkpath(store));
    answer({platform::BoxAnswer::Yes});
    answerOptions("<Subject>", m_out.path());
    preview->PushButton2->click();
    QVERIFY(QDir(store).removeRecursively());
    const QString records = fileText(errorLogPath());
    const QString last = records.mid(records.lastIndexOf("Print All:"));
    QVERIFY2(last.contains(store) && !last.contains("gives no name"), qPrintable(last));
    QVERIFY(pdfFiles(m_out.path()).isEmpty());
    QVERIFY(!m_dialogs->messageTexts().contains("Done."));
}

void TestPrintAll::printSelectedOnTheWriterOffersNoPrinterChoice()
{
    Form3 *preview = openPreview({"plain_only"}, "Tervane PDF Writer");
    QTRY_VERIFY(!preview->WebBrowser1->Busy());
    int dialogs = 0;
    platform::BrowserView::setDialogRunner([&](QDialog &) {
        ++dialogs;
        return int(QDialog::Accepted);
    });
    answerOptions("<Subject>", m_out.path());
    preview->PushButton1->click();
    platform::BrowserView::setDialogRunner(nullptr);
    QCOMPARE(dialogs, 0);
    QCOMPARE(m_dialogs->messageTexts(), QStringList({"Done."}));
    QCOMPARE(pdfFiles(m_out.path()), QStringList({cleanPdfName(expected("plain_only").subject) + ".pdf"}));
}

void TestPrintAll::aMessageCannotBlankItsPageBeforeItPrints()
{
    auto preview = openCrafted({craftedMessage("Blanker", "<meta http-equiv=\"refresh\" content=\"0;url=about:blank\">"
                                                          "<p>Kept on paper</p>")},
                               "Tervane PDF Writer");
    answer({platform::BoxAnswer::Yes});
    answerOptions("<Subject>", m_out.path());
    preview->PushButton2->click();
    // Printed before the page blanked itself, or caught and counted; never a blank "Done.".
    const QString pdf = m_out.filePath("Blanker.pdf");
    const QString last = m_dialogs->messageTexts().last();
    if (QFile::exists(pdf)) {
        QCOMPARE(last, QStringLiteral("Done."));
        QVERIFY2(pdfText(pdf).contains("Kept on paper"), qPrintable(pdfText(pdf)));
    } else {
        QVERIFY2(last.startsWith("1 of 1 messages could not be printed"), qPrintable(last));
    }
}

void TestPrintAll::longPagesGoToAPrinterOnlyWhenTheUserSaysSo_data()
{
    QTest::addColumn<QList<platform::BoxAnswer>>("answers");
    QTest::addColumn<QStringList>("printed");
    QTest::addColumn<int>("questions");
    using A = platform::BoxAnswer;
    QTest::newRow("skip one, print the other") << QList<A>{A::Yes, A::No, A::Yes}
                                               << QStringList{"Short one", "Long B", "Short two"} << 2;
    QTest::newRow("skip all such") << QList<A>{A::Yes, A::Cancel} << QStringList{"Short one", "Short two"} << 1;
}

void TestPrintAll::longPagesGoToAPrinterOnlyWhenTheUserSaysSo()
{
    QFETCH(QList<platform::BoxAnswer>, answers);
    QFETCH(QStringList, printed);
    QFETCH(int, questions);
    saveSetting("PrinterPageLimit", "3");
    const QString sixPages = QString("<div style=\"break-after:page\">sheet</div>").repeated(6);
    auto preview = openCrafted({craftedMessage("Short one", "<p>one</p>"), craftedMessage("Long A", sixPages),
                                craftedMessage("Long B", sixPages), craftedMessage("Short two", "<p>two</p>")},
                               "Quorvale_Alpha");
    const int jobsBefore = m_printServer.jobs().size();
    m_dialogs->answers.clear();
    for (platform::BoxAnswer a : answers)
        m_dialogs->answers.enqueue(a);
    preview->PushButton2->click();
    saveSetting("PrinterPageLimit", "");
    const QStringList boxes = m_dialogs->messageTexts();
    QCOMPARE(boxes.filter("more than the 3 pages").size(), questions);
    QVERIFY2(boxes.last().startsWith(QString("%1 of 4 messages were skipped").arg(4 - printed.size())),
             qPrintable(boxes.join(" | ")));
    const auto jobs = m_printServer.jobs().mid(jobsBefore);
    QStringList titles;
    for (const auto &job : jobs) {
        titles << job.title;
        QCOMPARE(pdfPages(m_printServer.document(job.id)), job.title.startsWith("Long") ? 6 : 1);
    }
    QCOMPARE(titles, printed);
}

void TestPrintAll::aTinyMessageOfThousandsOfPagesIsHeldBack()
{
    // 57 bytes of body, thousands of blank pages; the default limit holds it back.
    auto preview = openCrafted({craftedMessage("Huge", "<div style=\"height:3000000px\"></div>"),
                                craftedMessage("Small", "<p>small</p>")},
                               "Quorvale_Alpha");
    const int jobsBefore = m_printServer.jobs().size();
    answer({platform::BoxAnswer::Yes, platform::BoxAnswer::No});
    preview->PushButton2->click();
    const QStringList boxes = m_dialogs->messageTexts();
    QCOMPARE(boxes.filter("more than the 50 pages").size(), 1);
    QVERIFY2(boxes.last().startsWith("1 of 2 messages were skipped"), qPrintable(boxes.last()));
    const auto jobs = m_printServer.jobs().mid(jobsBefore);
    QCOMPARE(jobs.size(), 1);
    QCOMPARE(jobs[0].title, QStringLiteral("Small"));
}

QTEST_MAIN(TestPrintAll)
#include "tst_printall.moc"
