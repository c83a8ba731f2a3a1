// The preview window opened from the main window's "3. Preview Selected Messages" after a real
// download: what is copied, stepping with beeps at the ends, "< Back" and opening again, the
// printer list and its preselection, closing by the frame, and a print service with no printers.

#include "TestPrintServer.h"
#include "WindowTests.h"
#include "TestServer.h"
#include "app/Form1.h"
#include "core/AppGlobals.h"
#include "core/MessageBox.h"
#include "core/ProgramFolder.h"
#include "core/SettingsStore.h"
#include "list/MessageList.h"
#include "list/MessageListView.h"
#include "platform/BrowserView.h"
#include "platform/CupsPrinterSystem.h"
#include "platform/ScriptedDialogs.h"
#include "platform/Wait.h"
#include "print/Form3.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QWebEnginePage>
#include <QtTest>
#include <cups/cups.h>

namespace {

QString shownText(Form3 *preview)
{
    platform::BrowserView *view = preview->WebBrowser1;
    platform::Deadline limit(30000);
    platform::WaitPlan loaded;
    loaded.done = [view] { return view->ReadyState() == 4 && !view->Busy(); };
    loaded.deadline = &limit;
    platform::waitUntil(loaded);
    QString text;
    bool got = false;
    view->page()->toPlainText([&](const QString &t) { text = t; got = true; });
    platform::WaitPlan answered;
    answered.done = [&] { return got; };
    answered.deadline = &limit;
    platform::waitUntil(answered);
    return text;
}

}  // namespace

class TestPreview : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void noneCheckedSaysSoAndStays();
    void oneCheckedBeepsAtBothEnds();
    void threeCheckedStepInTheListsSortedOrder();
    void backAndOpenAgainStartsAtTheFirstMessage();
    void printerListPreselectsTheStoredChoiceOrTheDefault();
    void closingByTheFrameEndsTheProgram();
    void noPrintersAtAll();
    void printServiceDownStillOffersTheWriter();

private:
    void download();
    void tick(const QList<int> &rows);
    TestPrintServer m_printServer;
    TestServer m_mailServer;
    QTemporaryDir m_programDir;
    std::unique_ptr<platform::ScriptedDialogs> m_dialogs;
    std::unique_ptr<Form1> m_form;
    int m_unloads = 0;
};

void TestPreview::initTestCase()
{
    m_printServer = TestPrintServer::fromFixture();
    m_mailServer = TestServer::fromFixture();
    m_mailServer.applyToEnvironment();
    prepareWindowTests(m_programDir.path(), PageResources::With, [this] { ++m_unloads; });
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    m_dialogs = std::make_unique<platform::ScriptedDialogs>();
    download();
}

void TestPreview::init()
{
    m_dialogs->clear();
    m_dialogs->beeps = 0;
    QFile::remove(QDir::homePath() + "/.cups/lpoptions");
    QFile::remove(platform::CupsPrinterSystem::ownDefaultFilePath());
    saveSetting("Combo1", "");
    m_form->show();
}

void TestPreview::cleanup()
{
    if (Form3 *preview = m_form->previewWindow())
        preview->PushButton8_Click();
}

// Every INBOX message of the test server, downloaded once by the real main window.
void TestPreview::download()
{
    m_form = windowWithInbox(m_mailServer);
    QVERIFY(m_form->ListView1->topLevelItemCount() >= 3);
}

void TestPreview::tick(const QList<int> &rows)
{
    m_form->PushButton6->click();  // uncheck all
    for (int row : rows)
        m_form->ListView1->topLevelItem(row)->setCheckState(0, Qt::Checked);
}

void TestPreview::noneCheckedSaysSoAndStays()
{
    tick({});
    m_form->PushButton4->click();
    QCOMPARE(m_dialogs->messageTexts(), QStringList({"Please select at least one message."}));
    QVERIFY(!m_form->previewWindow());
    QVERIFY(m_form->isVisible());
}

void TestPreview::oneCheckedBeepsAtBothEnds()
{
    tick({1});
    m_form->PushButton4->click();
    Form3 *preview = m_form->previewWindow();
    QVERIFY(preview && preview->isVisible());
    QVERIFY(!m_form->isVisible());
    QCOMPARE(preview->lastEntry(), 1);
    preview->PushButton4->click();
    preview->PushButton5->click();
    QCOMPARE(m_dialogs->beeps, 2);
    QCOMPARE(preview->currentEntry(), 1);
    const QString subject = m_form->ListView1->topLevelItem(1)->text(messagelist::SubjectColumn);
    QVERIFY(shownText(preview).contains(subject));
    QCOMPARE(preview->PushButton1->text(), QStringLiteral("Print Selected"));
    QCOMPARE(preview->PushButton2->text(), QStringLiteral("Print All"));
}

void TestPreview::threeCheckedStepInTheListsSortedOrder()
{
    // Rows in display order (newest first), not in the order of their entry numbers.
    tick({4, 0, 2});
    QStringList subjects;
    for (int row : {0, 2, 4})
        subjects << m_form->ListView1->topLevelItem(row)->text(messagelist::SubjectColumn);
    m_form->PushButton4->click();
    Form3 *preview = m_form->previewWindow();
    QCOMPARE(preview->lastEntry(), 3);
    preview->PushButton4->click();
    QCOMPARE(m_dialogs->beeps, 1);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(preview->currentEntry(), i + 1);
        QVERIFY2(shownText(preview).contains(subjects[i]), qPrintable(subjects[i]));
        preview->PushButton5->click();
    }
    QCOMPARE(preview->currentEntry(), 3);
    QCOMPARE(m_dialogs->beeps, 2);
}

void TestPreview::backAndOpenAgainStartsAtTheFirstMessage()
{
    tick({0, 1});
    m_form->PushButton4->click();
    Form3 *first = m_form->previewWindow();
    first->PushButton5->click();
    QCOMPARE(first->currentEntry(), 2);
    first->PushButton8->click();
    QVERIFY(m_form->isVisible());
    QCOMPARE(m_unloads, 0);
    QCOMPARE(m_form->ListView1->topLevelItem(1)->checkState(0), Qt::Checked);  // checks kept
    QTRY_VERIFY(!m_form->previewWindow());  // deleted on close

    m_form->PushButton4->click();
    QCOMPARE(m_form->previewWindow()->currentEntry(), 1);
    QVERIFY(shownText(m_form->previewWindow())
                .contains(m_form->ListView1->topLevelItem(0)->text(messagelist::SubjectColumn)));
}

void TestPreview::printerListPreselectsTheStoredChoiceOrTheDefault()
{
    tick({0});
    // Never stored: the default printer is chosen and its index stored.
    QVERIFY(platform::printerSystem().setDefaultPrinter("Quorvale_Alpha"));
    m_form->PushButton4->click();
    QComboBox *combo = m_form->previewWindow()->Combo1;
    QCOMPARE(combo->count(), 3);
    QCOMPARE(combo->itemText(2), QStringLiteral("Tervane PDF Writer"));
    QCOMPARE(combo->currentText(), QStringLiteral("Quorvale_Alpha"));
    QCOMPARE(getSetting("Combo1"), QStringLiteral("0"));
    // The user's pick is stored and wins over the default next time.
    combo->setCurrentIndex(2);
    QCOMPARE(getSetting("Combo1"), QStringLiteral("2"));
    m_form->previewWindow()->PushButton8->click();
    QTRY_VERIFY(!m_form->previewWindow());
    m_form->PushButton4->click();
    QCOMPARE(m_form->previewWindow()->Combo1->currentText(), QStringLiteral("Tervane PDF Writer"));
    m_form->previewWindow()->PushButton8->click();
    QTRY_VERIFY(!m_form->previewWindow());

    // A stored index past the list's end: reported, nothing selected.
    saveSetting("Combo1", "7");
    m_form->PushButton4->click();
    QCOMPARE(m_form->previewWindow()->Combo1->currentIndex(), -1);
    QCOMPARE(m_dialogs->shown.size(), 1);
    QVERIFY(m_dialogs->shown[0].request.text.contains("Form3.Form_Load"));
    QVERIFY(m_dialogs->shown[0].request.text.contains("at line 114"));
}

void TestPreview::closingByTheFrameEndsTheProgram()
{
    tick({0});
    QVERIFY(platform::printerSystem().setDefaultPrinter("Quorvale_Beta"));
    Form1 fresh;  // start-up remembers Beta as the start-up printer
    fresh.Form_Load();
    QVERIFY(platform::printerSystem().setDefaultPrinter("Quorvale_Alpha"));
    m_form->PushButton4->click();
    Form3 *preview = m_form->previewWindow();
    // This preview belongs to m_form: route its end through `fresh`, whose start-up it was.
    disconnect(preview, &Form3::endProgramRequested, nullptr, nullptr);
    connect(preview, &Form3::endProgramRequested, &fresh, &QWidget::close);
    const int before = m_unloads;
    preview->close();
    QCOMPARE(m_unloads, before + 1);
    QCOMPARE(m_printServer.lpstatDefault(), QStringLiteral("Quorvale_Beta"));
}

void TestPreview::noPrintersAtAll()
{
    // A second, empty print server for this case only.
    QTemporaryDir dir;
    QProcess start;
    start.start(QUORVALE_TEST_SOURCE_DIR "/fixtures/cups/start.sh", {dir.filePath("cups"), "--no-queues"});
    QVERIFY(start.waitForFinished(60000) && start.exitCode() == 0);
    const QByteArray previous = qgetenv("CUPS_SERVER");
    // libcups reads the server's name per call through cupsServer(); cupsSetServer switches it.
    qputenv("CUPS_SERVER", (dir.filePath("cups") + "/cups.sock").toUtf8());
    cupsSetServer(nullptr);

    Form1 empty;
    m_dialogs->clear();
    empty.Form_Load();
    const QStringList startupBoxes = m_dialogs->messageTexts().filter("not installed");
    tick({0});
    m_form->PushButton4->click();
    QComboBox *combo = m_form->previewWindow()->Combo1;
    const QStringList listed = {combo->itemText(0)};
    const int count = combo->count();
    const int index = combo->currentIndex();
    const QStringList boxes = m_dialogs->messageTexts();

    qputenv("CUPS_SERVER", previous);
    cupsSetServer(nullptr);
    QProcess::execute(QUORVALE_TEST_SOURCE_DIR "/fixtures/cups/stop.sh", {dir.filePath("cups")});

    // The PDF writer is still there, so start-up asks for nothing; no printer is preselected
    // and reading the default printer reports that there is none.
    QVERIFY(startupBoxes.isEmpty());
    QCOMPARE(count, 1);
    QCOMPARE(listed, QStringList({"Tervane PDF Writer"}));
    QCOMPARE(index, -1);
    QCOMPARE(boxes.size(), 1);
    QVERIFY2(boxes[0].startsWith("Error No: 484\r\n") && boxes[0].endsWith(
                 "\r\nHas occured in modPrinters.GetDefaultPrinter\r\nPlease contact Technical Support"),
             qPrintable(boxes[0]));
}

void TestPreview::printServiceDownStillOffersTheWriter()
{
    // A printer was picked last time; then the print service stopped answering. The writer is
    // then the first entry and is picked; the box says why the list is short.
    saveSetting(QStringLiteral("Combo1"), QStringLiteral("0"));
    const QByteArray previous = qgetenv("CUPS_SERVER");
    qputenv("CUPS_SERVER", "/nonexistent/cups.sock");
    cupsSetServer(nullptr);
    tick({0});
    m_dialogs->clear();
    m_form->PushButton4->click();
    QComboBox *combo = m_form->previewWindow()->Combo1;
    const QString picked = combo->currentText();
    const QStringList boxes = m_dialogs->messageTexts();
    qputenv("CUPS_SERVER", previous);
    cupsSetServer(nullptr);
    m_form->previewWindow()->PushButton8_Click();

    QCOMPARE(picked, QStringLiteral("Tervane PDF Writer"));
    QVERIFY(!boxes.isEmpty());
    QVERIFY2(boxes[0].contains("at line 114"), qPrintable(boxes[0]));
}

QTEST_MAIN(TestPreview)
#include "tst_preview.moc"
