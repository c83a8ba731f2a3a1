// A message rendered into the page file and shown in the real browser view: the template's
// markers, the body choice, escaping, charsets, inline pictures, the logo copy, what a hostile
// page cannot do, a body that cannot reach the header, a wide body that still fits the paper,
// and printing, preview and page setup of the view.

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
#include "print/TervanePdfWriter.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
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

QString pdfToText(const QByteArray &pdf, const QStringList &options = {})
{
    QProcess toText;
    toText.start("pdftotext", options + QStringList{"-", "-"});
    toText.write(pdf);
    toText.closeWriteChannel();
    toText.waitForFinished(30000);
    return QString::fromUtf8(toText.readAllStandardOutput());
}

// Where on the page each word of the PDF was drawn, in points from the top left.
QMultiHash<QString, QRectF> wordBoxes(const QByteArray &pdf)
{
    static const QRegularExpression word(
        R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re");
    QMultiHash<QString, QRectF> boxes;
    const QString html = pdfToText(pdf, {"-bbox"});
    for (auto it = word.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        boxes.insert(m.captured(5), QRectF(QPointF(m.captured(1).toDouble(), m.captured(2).toDouble()),
                                           QPointF(m.captured(3).toDouble(), m.captured(4).toDouble())));
    }
    return boxes;
}

// The page's text as printed. Unlike toPlainText(), it holds the body, which lives in a tree of
// its own.
QString printedText(platform::BrowserView *view)
{
    return pdfToText(renderedPdf(view));
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

MessageEntry entryFrom(const TestServer::ExpectedMessage &expected)
{
    MessageEntry m = parseMailMessage(readAll(expected.emlPath), expected.internalDate);
    m.ReceivedDate = QStringLiteral("1/2/2021");
    return m;
}

// A message as it arrives, through the real parser, with `html` as its only body.
MessageEntry htmlMessage(const QByteArray &html)
{
    const QByteArray raw = "From: Real Sender <real.sender@example.org>\r\n"
                           "Subject: Quarterly figures\r\n"
                           "Date: Tue, 2 Mar 2021 10:00:00 +0000\r\n"
                           "MIME-Version: 1.0\r\n"
                           "Content-Type: text/html; charset=utf-8\r\n\r\n" + html;
    MessageEntry m = parseMailMessage(raw, QDateTime::currentDateTime());
    m.ReceivedDate = QStringLiteral("3/2/2021 10:00:00");
    return m;
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
    void bodyCannotHideOrCoverTheHeader_data();
    void bodyCannotHideOrCoverTheHeader();
    void bodyCannotLeaveItsBox_data();
    void bodyCannotLeaveItsBox();
    void wideBodyIsScaledToThePaper();
    void printPreviewAndPageSetup();

private:
    std::unique_ptr<Form3> show(const QVector<MessageEntry> &entries, bool html);
    QByteArray printedOnPaper(platform::BrowserView *view);
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
    QVERIFY(printedText(html->WebBrowser1).contains("HTML body"));
    html->PushButton5_Click();
    QVERIFY(loaded(html->WebBrowser1));
    QVERIFY(renderedText(html->WebBrowser1).contains("First line\nSecond <line> & more"));

    auto text = show({withHtml}, false);
    const QString shown = renderedText(text->WebBrowser1);
    QVERIFY(shown.contains("First line\nSecond <line> & more"));
    QVERIFY(!shown.contains("HTML body"));
    // The long line wraps inside the page instead of running off its edge.
    const QString out = printedText(text->WebBrowser1);
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
    const QString text = printedText(html->WebBrowser1);
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

QByteArray TestRendering::printedOnPaper(platform::BrowserView *view)
{
    const int jobsBefore = m_printServer.jobs().size();
    view->printJob({"Quorvale_Alpha"}, platform::BrowserView::DontPromptUser);
    if (!waitFor([view] { return !view->isPrinting(); }) || !view->lastPrintError().isEmpty())
        return {};
    const auto jobs = m_printServer.jobs();
    return jobs.size() == jobsBefore + 1 ? m_printServer.document(jobs.last().id) : QByteArray();
}

void TestRendering::bodyCannotHideOrCoverTheHeader_data()
{
    // Each hides everything, then draws a header of its own where the real one stands.
    const QByteArray hideAll = "<html><head><style>* { visibility: hidden !important; }</style></head><body>";
    const QByteArray fake = "<div class=\"fake\">From: ceo@bank.example Subject: FAKE-HEADER</div>"
                            "<p>Hidden paragraph</p><p>Hidden paragraph</p></body></html>";
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("positioned block")
        << hideAll + "<style>.fake { visibility: visible !important; position: fixed; top: 0; left: 0;"
                     " right: 0; height: 400px; background: #fff; z-index: 2147483647; }</style>" + fake;
    QTest::newRow("restyled host")
        << hideAll + "<style>:host { visibility: visible !important; position: fixed !important; top: 0 "
                     "!important; left: 0 !important; right: 0 !important; height: 400px !important; z-index: "
                     "2147483647 !important; background: #fff !important; contain: none !important; overflow: "
                     "visible !important; } .fake { visibility: visible !important; }</style>" + fake;
}

void TestRendering::bodyCannotHideOrCoverTheHeader()
{
    QFETCH(QByteArray, body);
    auto form = show({htmlMessage(body)}, true);
    const QByteArray pdf = printedOnPaper(form->WebBrowser1);
    const QString text = pdfToText(pdf);
    for (const char *shown : {"Real Sender", "real.sender@example.org", "Quarterly figures", "3/2/2021 10:00:00"})
        QVERIFY2(text.contains(shown), qPrintable(text));
    // The body's own sheets still style the body.
    QVERIFY2(!text.contains("Hidden paragraph"), qPrintable(text));
    const auto boxes = wordBoxes(pdf);
    const QRectF date = boxes.value("10:00:00");
    QVERIFY(!date.isNull());
    const auto fake = boxes.values("FAKE-HEADER") + boxes.values("ceo@bank.example");
    for (const QRectF &box : fake)
        QVERIFY2(box.top() > date.bottom(), "the body drew over the header");
}

void TestRendering::bodyCannotLeaveItsBox_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("closes the wrapper") << QByteArray("</template></div></template></div></div></body>MARKER");
    QTest::newRow("unclosed tags") << QByteArray("<div><table><tr><td><b><i>MARKER");
    QTest::newRow("plaintext") << QByteArray("<plaintext></template></div>MARKER");
    QTest::newRow("comment never ends") << QByteArray("MARKER <!-- </template></div>");
    QTest::newRow("noscript") << QByteArray("<noscript><p title=\"</noscript></template></div>\">MARKER</p></noscript>");
    QTest::newRow("nested template") << QByteArray("<template><p>x</p></template></template>MARKER");
    QTest::newRow("raw text") << QByteArray("<xmp></template></xmp><textarea></template></textarea>"
                                            "<title></template></title><style>p{}</template></style>MARKER");
    QTest::newRow("script") << QByteArray("<script>'</template></div>'</script>MARKER");
    QTest::newRow("quotes in attributes") << QByteArray("<p title='a\"></template></div>'>MARKER</p>"
                                                        "<p title=a\"b></template>x</p>");
    QTest::newRow("svg and math") << QByteArray("<svg><style></template></style></svg>"
                                                "<math><mi><![CDATA[</template>]]></mi></math>MARKER");
    // Deep enough to hold the parser for hours, were it not limited.
    QTest::newRow("deep nesting") << "<!--><p title=\"a><script>\">" + QByteArray("<div><b></span>").repeated(200000)
                                         + "MARKER";
}

// Whatever the body holds, the header stays in the page itself, the body's text stays in the
// body's own tree (shown, yet absent from the page's markup) and the template's end still shows.
void TestRendering::bodyCannotLeaveItsBox()
{
    QFETCH(QByteArray, body);
    writeTemplate("<div>%Subject% %Date%</div><div class=\"qv-body\">%Message%</div><p>TEMPLATE-END</p>");
    auto form = show({htmlMessage(body)}, true);
    const QString shown = printedText(form->WebBrowser1);
    QString markup;
    bool got = false;
    form->WebBrowser1->page()->toHtml([&](const QString &html) { markup = html; got = true; });
    QVERIFY(waitFor([&] { return got; }));
    for (const char *outside : {"Quarterly figures", "3/2/2021 10:00:00", "TEMPLATE-END"}) {
        QVERIFY2(shown.contains(outside), qPrintable(shown));
        QVERIFY2(markup.contains(outside), qPrintable(markup));
    }
    QVERIFY2(shown.contains("MARKER"), qPrintable(shown));
    QVERIFY2(!markup.contains("MARKER"), qPrintable(markup));
    // In the page file, the wrapper's own two templates are the only ones.
    const QByteArray page = readAll(form->htmlFilePath()).toLower();
    QCOMPARE(page.count("<template"), 2);
    QCOMPARE(page.count("</template"), 2);
}

void TestRendering::wideBodyIsScaledToThePaper()
{
    // 14 columns of 100 px, and rows enough for more than one page.
    QByteArray table = "<table style=\"width: 1400px\" border=\"1\">";
    for (int row = 1; row <= 150; ++row) {
        table += "<tr>";
        for (int column = 1; column <= 14; ++column)
            table += "<td style=\"width: 100px; min-width: 100px\">C" + QByteArray::number(column) + "R"
                     + QByteArray::number(row) + "</td>";
        table += "</tr>";
    }
    auto wide = show({htmlMessage(table + "</table>")}, true);
    const QByteArray widePdf = printedOnPaper(wide->WebBrowser1);
    const QString text = pdfToText(widePdf);
    for (const char *cell : {"C1R1", "C14R1", "C14R150"})
        QVERIFY2(text.contains(cell), qPrintable(text.left(3000)));
    // Still on the paper of the run, page after page.
    static const QRegularExpression page(R"re(<page width="([\d.]+)" height="([\d.]+)")re");
    const QString boxes = pdfToText(widePdf, {"-bbox"});
    int pages = 0;
    for (auto it = page.globalMatch(boxes); it.hasNext(); ++pages) {
        const auto m = it.next();
        QVERIFY2(qAbs(m.captured(1).toDouble() - 595.3) < 1 && qAbs(m.captured(2).toDouble() - 841.9) < 1,
                 qPrintable(m.captured(0)));
    }
    QVERIFY(pages > 1);
    // The same through the hidden view that Print All prints with.
    wide->WebBrowser2->Navigate(wide->htmlFilePath());
    QVERIFY(loaded(wide->WebBrowser2));
    QVERIFY(pdfToText(printedOnPaper(wide->WebBrowser2)).contains("C14R150"));

    // A body that fits is printed at the size of a plain-text one; the wide one smaller.
    auto narrow = show({htmlMessage("<p>Short</p>")}, true);
    auto plain = show({MessageEntry{"f", "n", "a", "s", "d", "Short", ""}}, false);
    const double narrowDate = wordBoxes(printedOnPaper(narrow->WebBrowser1)).value("Date:").height();
    QVERIFY(narrowDate > 0);
    QCOMPARE(narrowDate, wordBoxes(printedOnPaper(plain->WebBrowser1)).value("Date:").height());
    QVERIFY(wordBoxes(widePdf).value("Date:").height() < narrowDate * 0.6);
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

    const int jobsBefore = m_printServer.jobs().size();
    view->printJob({"Quorvale_Alpha"}, platform::BrowserView::DontPromptUser);
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
    // the file the job names.
    const QString target = m_temp.filePath("Quarterly report.pdf");
    view->printJob({"Tervane PDF Writer", target}, platform::BrowserView::DoDefault);
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
