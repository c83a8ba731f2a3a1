// A message rendered into the page file and shown in the real browser view: the template's
// markers, the body choice, escaping, charsets, inline pictures, the logo copy, what a hostile
// page cannot do, and printing, preview and page setup of the view.

#include "TestPrintServer.h"
#include "TestServer.h"
#include "core/MessageBox.h"
#include "core/ProgramFolder.h"
#include "core/SettingsStore.h"
#include "mime/MailMessage.h"
#include "platform/BrowserView.h"
#include "platform/CupsPrinterSystem.h"
#include "platform/PrivateTempFolder.h"
#include "platform/ScriptedDialogs.h"
#include "platform/Wait.h"
#include "print/Form3.h"
#include "print/PdfWriterHandOff.h"
#include "print/TervanePdfWriter.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QWebEnginePage>
#include <QtTest>

namespace {

const QByteArray bom = "\xEF\xBB\xBF";

bool waitFor(const std::function<bool()> &done, qint64 ms = 30000)
{
    platform::Deadline limit(ms);
    platform::WaitPlan plan;
    plan.done = done;
    plan.deadline = &limit;
    return platform::waitUntil(plan) == platform::WaitOutcome::Done;
}

bool loaded(platform::BrowserView *view)
{
    return waitFor([view] { return view->ReadyState() == 4 && !view->Busy(); });
}

QString renderedText(platform::BrowserView *view)
{
    QString text;
    bool got = false;
    view->page()->toPlainText([&](const QString &t) { text = t; got = true; });
    waitFor([&] { return got; });
    return text;
}

QByteArray renderedPdf(platform::BrowserView *view)
{
    QByteArray pdf;
    bool got = false;
    view->page()->printToPdf([&](const QByteArray &b) { pdf = b; got = true; });
    waitFor([&] { return got; });
    return pdf;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

MessageEntry entryFrom(const TestServer::ExpectedMessage &expected)
{
    const MailMessage m = parseMailMessage(readAll(expected.emlPath), expected.internalDate);
    return {m.from, m.fromName, m.fromAddress, m.subject, QStringLiteral("1/2/2021"), m.plainTextBody, m.htmlBody,
            {}, m.inlinePictures};
}

// Answers HTTP requests with a small GIF and counts them.
struct PictureServer : QTcpServer {
    int requests = 0;
    PictureServer()
    {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = nextPendingConnection()) {
                connect(s, &QTcpSocket::readyRead, s, [this, s] {
                    ++requests;
                    const QByteArray gif = QByteArray::fromBase64("R0lGODlhAQABAIAAAP8AAAAAACwAAAAAAQABAAACAkQBADs=");
                    s->write("HTTP/1.1 200 OK\r\nContent-Type: image/gif\r\nConnection: close\r\nContent-Length: "
                             + QByteArray::number(gif.size()) + "\r\n\r\n" + gif);
                    s->disconnectFromHost();
                });
            }
        });
    }
};

}  // namespace

class TestRendering : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void markersAreFilledOnceAndFieldsEscaped();
    void missingTemplateGivesAnEmptyPageAndAReport();
    void bodyChoiceAndPlainTextLayout();
    void charsetsShowCorrectly_data();
    void charsetsShowCorrectly();
    void inlinePictureShowsOnlyWithHtml();
    void hostilePageRunsNoScriptAndReadsNoFile();
    void logoIsCopiedOnceIntoAPrivateFolder();
    void printPreviewAndPageSetup();

private:
    std::unique_ptr<Form3> show(const QVector<MessageEntry> &entries, bool html);
    void writeTemplate(const QByteArray &text);
    TestPrintServer m_printServer;
    TestServer m_mailServer;
    QTemporaryDir m_programDir;
    QTemporaryDir m_temp;
    std::unique_ptr<platform::ScriptedDialogs> m_dialogs;
};

void TestRendering::initTestCase()
{
    m_printServer = TestPrintServer::fromFixture();
    m_mailServer = TestServer::fromFixture();
    qputenv("TEMP", m_temp.path().toUtf8());
    setProgramFolder(m_programDir.path());
    registerPdfWriter();
}

void TestRendering::init()
{
    m_dialogs = std::make_unique<platform::ScriptedDialogs>();
    QFile::remove(m_programDir.filePath("Base.tmp"));
    QFile::remove(m_programDir.filePath("gmail_logo.gif"));
    QFile::remove(platform::privateTempFolder() + "/gmail_logo.gif");
    QVERIFY(QFile::copy(QUORVALE_TEST_SOURCE_DIR "/../resources/Base.tmp", m_programDir.filePath("Base.tmp")));
    QVERIFY(QFile::copy(QUORVALE_TEST_SOURCE_DIR "/../resources/gmail_logo.gif", m_programDir.filePath("gmail_logo.gif")));
    QFile::remove(settingsFilePath());
}

void TestRendering::cleanup()
{
    platform::BrowserView::setDialogRunner(nullptr);
    m_dialogs.reset();
}

void TestRendering::writeTemplate(const QByteArray &text)
{
    QFile f(m_programDir.filePath("Base.tmp"));
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
}

std::unique_ptr<Form3> TestRendering::show(const QVector<MessageEntry> &entries, bool html)
{
    auto form = std::make_unique<Form3>(entries);
    form->PrintAsHTML = html;
    form->Form_Load();
    form->show();
    if (!loaded(form->WebBrowser1))
        qWarning("the page did not load");
    return form;
}

void TestRendering::markersAreFilledOnceAndFieldsEscaped()
{
    writeTemplate("<p>%Subject%|%Subject%|%Date%|%From%|%Name%|%Address%</p>charset=UTF-8 %subject%");
    MessageEntry e{"Ann <ann@example.com>", "Ann & Bob", "ann@example.com", "%Date% %Message% <b>",
                   "3/4/2021 10:00:00", "plain", "<i>html</i>"};
    auto form = show({e}, true);
    const QByteArray page = readAll(form->htmlFilePath());
    QCOMPARE(page, bom + "<p>%Date% %Message% &lt;b&gt;|%Date% %Message% &lt;b&gt;|3/4/2021 10:00:00|"
                         "Ann &lt;ann@example.com&gt;|Ann &amp; Bob|ann@example.com</p>charset=UTF-8 %subject%\r\n");
    QVERIFY(renderedText(form->WebBrowser1).contains("Ann <ann@example.com>"));
    QVERIFY(m_dialogs->shown.isEmpty());
}

void TestRendering::missingTemplateGivesAnEmptyPageAndAReport()
{
    QFile::remove(m_programDir.filePath("Base.tmp"));
    auto form = show({MessageEntry{"a", "b", "c", "d", "e", "f", "g"}}, true);
    QCOMPARE(readAll(form->htmlFilePath()), bom + "\r\n");
    QCOMPARE(m_dialogs->shown.size(), 1);
    QCOMPARE(m_dialogs->shown[0].request.title, QStringLiteral("Application Error"));
    QVERIFY(m_dialogs->shown[0].request.text.contains("Form3.CreateHTMLFile"));
    QVERIFY(m_dialogs->shown[0].request.text.contains("at line 100"));
}

void TestRendering::bodyChoiceAndPlainTextLayout()
{
    const QString plain = "First line\nSecond <line> & more\n" + QString(400, 'x');
    const MessageEntry withHtml{"f", "n", "a", "s", "d", plain, "<p>HTML <b>body</b></p>"};
    const MessageEntry withoutHtml{"f", "n", "a", "s", "d", plain, ""};
    auto html = show({withHtml, withoutHtml}, true);
    QVERIFY(renderedText(html->WebBrowser1).contains("HTML body"));
    html->PushButton5_Click();
    QVERIFY(loaded(html->WebBrowser1));
    QVERIFY(renderedText(html->WebBrowser1).contains("First line\nSecond <line> & more"));

    auto text = show({withHtml}, false);
    const QString shown = renderedText(text->WebBrowser1);
    QVERIFY(shown.contains("First line\nSecond <line> & more"));
    QVERIFY(!shown.contains("HTML body"));
    // The long line wraps inside the page instead of running off its edge.
    const QByteArray pdf = renderedPdf(text->WebBrowser1);
    QProcess toText;
    toText.start("pdftotext", {"-", "-"});
    toText.write(pdf);
    toText.closeWriteChannel();
    QVERIFY(toText.waitForFinished(30000));
    const QString out = QString::fromUtf8(toText.readAllStandardOutput());
    QVERIFY2(out.contains(QString(50, 'x')) && !out.contains(QString(400, 'x')), qPrintable(out));
}

void TestRendering::charsetsShowCorrectly_data()
{
    QTest::addColumn<QString>("shape");
    QTest::newRow("Shift_JIS") << "shift_jis";
    QTest::newRow("KOI8-R") << "koi8r";
    QTest::newRow("windows-1252 HTML") << "windows1252_html";
}

void TestRendering::charsetsShowCorrectly()
{
    QFETCH(QString, shape);
    const auto expected = m_mailServer.message(m_mailServer.user, "INBOX", shape);
    auto form = show({entryFrom(expected)}, true);
    const QString text = renderedText(form->WebBrowser1);
    QVERIFY2(text.contains(expected.subject), qPrintable(text));
    QVERIFY2(text.contains(expected.fromName), qPrintable(text));
    const QString snippet = expected.hasHtml ? QString() : expected.plainSnippet;
    QVERIFY2(text.contains(snippet), qPrintable(text));
}

void TestRendering::inlinePictureShowsOnlyWithHtml()
{
    const MessageEntry entry = entryFrom(m_mailServer.message(m_mailServer.user, "INBOX", "inline_image"));
    auto html = show({entry}, true);
    QCOMPARE(pdfImageSizes(renderedPdf(html->WebBrowser1)), QStringList({"232x48", "1x1"}));  // logo, picture
    auto plain = show({entry}, false);
    QCOMPARE(pdfImageSizes(renderedPdf(plain->WebBrowser1)), QStringList({"232x48"}));
}

void TestRendering::hostilePageRunsNoScriptAndReadsNoFile()
{
    PictureServer remote;
    // A picture of a size nothing else on the page has, as a local file and beside the page.
    const QString secret = m_temp.filePath("secret.png");
    QImage picture(77, 33, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    QVERIFY(picture.save(secret));
    QVERIFY(picture.save(platform::privateTempFolder() + "/secret.png"));
    const QString body = QStringLiteral(
        "<p>Body</p><script>document.write('SCRIPT RAN');</script>"
        "<img src=\"file://%1\"><img src=\"secret.png\">"
        "<img src=\"http://127.0.0.1:%2/remote.gif\">"
        "<meta http-equiv=\"refresh\" content=\"0; url=http://127.0.0.1:%2/away\">")
        .arg(secret).arg(remote.serverPort());
    const MessageEntry entry{"f", "n", "a", "s", "d", "plain", body};

    auto plain = show({entry}, false);
    renderedPdf(plain->WebBrowser1);
    QCOMPARE(remote.requests, 0);

    auto html = show({entry}, true);
    const QString text = renderedText(html->WebBrowser1);
    QVERIFY(text.contains("Body"));
    QVERIFY(!text.contains("SCRIPT RAN"));
    QVERIFY(waitFor([&] { return remote.requests > 0; }, 10000));  // the remote picture only
    // The logo and the remote picture; neither local file.
    const QStringList sizes = pdfImageSizes(renderedPdf(html->WebBrowser1));
    QVERIFY2(sizes.contains("232x48") && sizes.contains("1x1") && !sizes.contains("77x33"),
             qPrintable(sizes.join(' ')));
    QVERIFY(html->WebBrowser1->url().scheme() == "quorvale-page");
    QCOMPARE(remote.requests, 1);
}

void TestRendering::logoIsCopiedOnceIntoAPrivateFolder()
{
    auto form = show({MessageEntry{"f", "n", "a", "s", "d", "p", ""}}, true);
    const QFileInfo page(form->htmlFilePath());
    QCOMPARE(page.fileName(), QStringLiteral("tmp.tmp"));
    QCOMPARE(QFileInfo(page.absolutePath()).absolutePath(), QFileInfo(m_temp.path()).absoluteFilePath());
    QCOMPARE(QFile::permissions(page.absolutePath()) & 0x0777, QFileDevice::Permissions(0x0700));
    const QString copy = page.absolutePath() + "/gmail_logo.gif";
    QCOMPARE(readAll(copy), readAll(m_programDir.filePath("gmail_logo.gif")));
    {
        QFile f(copy);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("changed");
    }
    form->CreateHTMLFile();
    QCOMPARE(readAll(copy), QByteArray("changed"));
}

void TestRendering::printPreviewAndPageSetup()
{
    const MessageEntry entry{"f", "n", "a", "Quarterly report", "d", "Page text to print", ""};
    auto form = show({entry}, true);
    platform::BrowserView *view = form->WebBrowser1;
    QCOMPARE(view->QueryStatusWB(6), 3);

    int previewPages = 0;
    int printDialogs = 0;
    platform::BrowserView::setDialogRunner([&](QDialog &dialog) {
        if (qobject_cast<QPrintDialog *>(&dialog)) {
            ++printDialogs;
            return int(QDialog::Accepted);
        }
        if (auto *widget = dialog.findChild<QPrintPreviewWidget *>()) {
            widget->updatePreview();
            previewPages = widget->pageCount();
            return int(QDialog::Rejected);
        }
        auto *setup = qobject_cast<QPageSetupDialog *>(&dialog);
        setup->printer()->setPageLayout(QPageLayout(QPageSize(QPageSize::Letter), QPageLayout::Landscape,
                                                    QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter));
        return int(QDialog::Accepted);
    });
    form->PushButton9_Click();
    QCOMPARE(previewPages, 1);
    form->PushButton3_Click();

    QVERIFY(platform::printerSystem().setDefaultPrinter("Quorvale_Alpha"));
    const int jobsBefore = m_printServer.jobs().size();
    view->ExecWB(6, 2);
    QVERIFY(view->isPrinting());
    QCOMPARE(view->QueryStatusWB(6), 1);
    QVERIFY(waitFor([view] { return !view->isPrinting(); }));
    QVERIFY2(view->lastPrintError().isEmpty(), qPrintable(view->lastPrintError()));
    const auto jobs = m_printServer.jobs();
    QCOMPARE(jobs.size(), jobsBefore + 1);
    QCOMPARE(jobs.last().printer, QStringLiteral("Quorvale_Alpha"));
    QCOMPARE(jobs.last().title, QStringLiteral("Quarterly report"));
    const QByteArray pdf = m_printServer.document(jobs.last().id);
    QVERIFY(pdf.startsWith("%PDF"));
    // Letter landscape from the page setup: 792 x 612 points.
    QVERIFY2(pdf.contains("/MediaBox [0 0 792 612]"), pdf.left(2000).constData());

    QCOMPARE(printDialogs, 0);  // option 2 asks nothing

    // On the program's PDF writer the same print, through the print dialog of option 0, becomes
    // the file named in the hand-off.
    const QString target = m_temp.filePath("Quarterly report.pdf");
    writePdfWriterHandOff(target);
    QVERIFY(platform::printerSystem().setDefaultPrinter("Tervane PDF Writer"));
    view->ExecWB(6, 0);
    QVERIFY(waitFor([view] { return !view->isPrinting(); }));
    QVERIFY2(view->lastPrintError().isEmpty(), qPrintable(view->lastPrintError()));
    QCOMPARE(printDialogs, 1);
    QFile written(target);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QVERIFY(written.readAll().contains("/MediaBox [0 0 792 612]"));
    QFile::remove(platform::CupsPrinterSystem::ownDefaultFilePath());
}

QTEST_MAIN(TestRendering)
#include "tst_rendering.moc"
