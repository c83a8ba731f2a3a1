// Printing a rendered page from the browser view on the PDF writer with the real web engine,
// and reading the PDF's text back with pdftotext: the text must be there as text, scripts must
// not run, the page may not pull in other files, failures are reported, and a page that never
// finishes loading is given up on.

#include "TestPrintServer.h"
#include "platform/BrowserView.h"
#include "platform/MessagePageScheme.h"
#include "platform/PrinterSystem.h"
#include "platform/Wait.h"
#include "print/TervanePdfWriter.h"

#include <QApplication>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

QString run(const QString &program, const QStringList &arguments)
{
    QProcess p;
    p.start(program, arguments);
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return QStringLiteral("<%1 failed: %2>").arg(program, QString::fromUtf8(p.readAllStandardError()));
    return QString::fromUtf8(p.readAllStandardOutput());
}

QString pdfText(const QString &pdf)
{
    return run(QStringLiteral("pdftotext"), {QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf, QStringLiteral("-")});
}

platform::PrintJob writerJob(const QString &pdfPath)
{
    platform::PrintJob job;
    job.printer = QStringLiteral("Tervane PDF Writer");
    job.targetFile = pdfPath;
    return job;
}

struct Outcome {
    bool ok = false;
    QString error;
};

bool waitFor(const std::function<bool()> &done, int limitMs)
{
    platform::Deadline limit(limitMs);
    platform::WaitPlan plan;
    plan.done = done;
    plan.deadline = &limit;
    return platform::waitUntil(plan) == platform::WaitOutcome::Done;
}

// What a print run does with one page: load it, print it as a PDF writer job naming the file,
// without asking, and wait for the job.
Outcome printPage(platform::BrowserView &view, const QString &htmlPath, const QString &pdfPath,
                  int limitMs = 60000)
{
    view.Navigate(htmlPath);
    if (!waitFor([&] { return view.ReadyState() == 4 && !view.Busy(); }, limitMs)) {
        view.Stop();
        return {false, QStringLiteral("took longer than %1 ms").arg(limitMs)};
    }
    if (!view.lastLoadSucceeded())
        return {false, QStringLiteral("%1 could not be loaded").arg(htmlPath)};
    view.printJob(writerJob(pdfPath), platform::BrowserView::DontPromptUser);
    if (!waitFor([&] { return !view.isPrinting(); }, limitMs))
        return {false, QStringLiteral("the job took too long")};
    return {view.lastPrintError().isEmpty(), view.lastPrintError()};
}

}  // namespace

class TestViewPrint : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void pageOfAnyNameBecomesSearchableText();
    void scriptsDoNotRun();
    void filesOutsideThePageFolderStayOut();
    void failuresAreNotSuccess();
    void aSecondPrintWhileOneIsRunningIsRefused();
    void oneViewServesManyPages();
    void aPageThatNeverFinishesLoadingIsGivenUp();
    void aSupersededLoadLeavesTheViewBusy();
    void aPageCannotNavigateItself_data();
    void aPageCannotNavigateItself();

private:
    QString page(const QString &name, const QString &title, const QString &body);
    QTemporaryDir m_dir;
    TestPrintServer m_printServer;
    std::unique_ptr<platform::BrowserView> m_view;
};

void TestViewPrint::initTestCase()
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        QFAIL("pdftotext (poppler-utils) is missing: run scripts/install-deps.sh");
    m_printServer = TestPrintServer::fromFixture();
    registerPdfWriter();
    m_view = std::make_unique<platform::BrowserView>();
    m_view->setSilent(true);
    m_view->setRemoteImagesAllowed(true);
}

QString TestViewPrint::page(const QString &name, const QString &title, const QString &body)
{
    const QString path = m_dir.filePath(name);
    // A UTF-8 byte-order mark, as the page renderer writes, wins over the older charset.
    writeFile(path, "\xEF\xBB\xBF" + (QStringLiteral("<html><head><meta charset=\"iso-8859-1\"><title>%1</title></head>"
                                    "<body><h3>%1</h3>%2</body></html>")
                         .arg(title, body))
                        .toUtf8());
    return path;
}

void TestViewPrint::pageOfAnyNameBecomesSearchableText()
{
    QImage logo(40, 20, QImage::Format_RGB32);
    logo.fill(Qt::red);
    QVERIFY(logo.save(m_dir.filePath(QStringLiteral("gmail_logo.gif")), "GIF") || logo.save(m_dir.filePath(QStringLiteral("gmail_logo.gif")), "PNG"));
    const QString subject = QStringLiteral("会議の議事録 – Résumé");
    const QString html = page(QStringLiteral("tmp.tmp"), subject,
                              QStringLiteral("<img src=\"gmail_logo.gif\"><p>Bitte <b>bis Freitag</b> antworten.</p>"));
    const QString pdf = m_dir.filePath(QStringLiteral("out.pdf"));
    const Outcome outcome = printPage(*m_view, html, pdf);
    QVERIFY2(outcome.ok, qPrintable(outcome.error));
    const QString text = pdfText(pdf);
    QVERIFY2(text.contains(subject), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("Bitte bis Freitag antworten.")), qPrintable(text));
    QVERIFY2(!text.contains(QStringLiteral("<h3>")), qPrintable(text));  // shown as HTML, not as markup
    const QString info = run(QStringLiteral("pdfinfo"), {pdf});
    QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Title:\\s+") + QRegularExpression::escape(subject) + "\n")),
             qPrintable(info));
    QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+1\n"))), qPrintable(info));
    QVERIFY2(pdfText(pdf).contains(subject), "the title update kept the PDF readable");
    // Vector text, not a picture of the page: a one-page PDF of a few kilobytes.
    QVERIFY2(QFileInfo(pdf).size() < 200 * 1024, qPrintable(QString::number(QFileInfo(pdf).size())));
}

void TestViewPrint::scriptsDoNotRun()
{
    const QString html = page(QStringLiteral("script.tmp"), QStringLiteral("Script"),
                              QStringLiteral("<p id=\"p\">Static text</p><script>document.getElementById('p')"
                                             ".textContent='Script ran';location.href='about:blank';</script>"));
    const QString pdf = m_dir.filePath(QStringLiteral("script.pdf"));
    QVERIFY(printPage(*m_view, html, pdf).ok);
    const QString text = pdfText(pdf);
    QVERIFY2(text.contains(QStringLiteral("Static text")) && !text.contains(QStringLiteral("Script ran")),
             qPrintable(text));
}

void TestViewPrint::filesOutsideThePageFolderStayOut()
{
    QTemporaryDir other;
    writeFile(other.filePath(QStringLiteral("secret.html")), "<p>PRIVATE-CONTENT</p>");
    QDir().mkpath(m_dir.filePath(QStringLiteral("sub")));
    writeFile(m_dir.filePath(QStringLiteral("sub/inner.tmp")), "<p>INNER-CONTENT</p>");
    const QString html = page(QStringLiteral("frames.tmp"), QStringLiteral("Frames"),
                              QStringLiteral("<p>Outer page</p><iframe src=\"%1\"></iframe><iframe src=\"sub/inner.tmp\"></iframe>")
                                  .arg(other.filePath(QStringLiteral("secret.html"))));
    const QString pdf = m_dir.filePath(QStringLiteral("frames.pdf"));
    QVERIFY(printPage(*m_view, html, pdf).ok);
    const QString text = pdfText(pdf);
    // Only the page itself and the logo beside it are served, not even a file in its folder.
    QVERIFY2(text.contains(QStringLiteral("Outer page")), qPrintable(text));
    QVERIFY2(!text.contains(QStringLiteral("INNER-CONTENT")), qPrintable(text));
    QVERIFY2(!text.contains(QStringLiteral("PRIVATE-CONTENT")), qPrintable(text));
}

void TestViewPrint::failuresAreNotSuccess()
{
    const Outcome missing = printPage(*m_view, m_dir.filePath(QStringLiteral("none.tmp")),
                                      m_dir.filePath(QStringLiteral("none.pdf")));
    QVERIFY(!missing.ok);
    QVERIFY2(missing.error.contains(QStringLiteral("none.tmp")), qPrintable(missing.error));
    QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("none.pdf"))));

    const QString html = page(QStringLiteral("fine.tmp"), QStringLiteral("Fine"), QStringLiteral("<p>x</p>"));
    const QString unwritable = m_dir.filePath(QStringLiteral("no/such/folder/out.pdf"));
    const Outcome outcome = printPage(*m_view, html, unwritable);
    QVERIFY(!outcome.ok);
    QVERIFY2(outcome.error.contains(QStringLiteral("no/such/folder")), qPrintable(outcome.error));
    QVERIFY(!QFile::exists(unwritable));
    // The view prints again afterwards.
    QVERIFY(printPage(*m_view, html, m_dir.filePath(QStringLiteral("fine.pdf"))).ok);
}

void TestViewPrint::aSecondPrintWhileOneIsRunningIsRefused()
{
    const QString first = page(QStringLiteral("first.tmp"), QStringLiteral("First"), QStringLiteral("<p>one</p>"));
    m_view->Navigate(first);
    QVERIFY(waitFor([&] { return m_view->ReadyState() == 4 && !m_view->Busy(); }, 60000));
    const platform::PrintJob job = writerJob(m_dir.filePath(QStringLiteral("outer.pdf")));
    m_view->printJob(job, platform::BrowserView::DontPromptUser);
    QVERIFY(m_view->isPrinting());
    QVERIFY_THROWS_EXCEPTION(std::exception, m_view->printJob(job, platform::BrowserView::DontPromptUser));
    QCOMPARE(m_view->QueryStatusWB(platform::BrowserView::Print), 1);
    QVERIFY(waitFor([&] { return !m_view->isPrinting(); }, 60000));
    QVERIFY2(m_view->lastPrintError().isEmpty(), qPrintable(m_view->lastPrintError()));
    QCOMPARE(QDir(m_dir.path()).entryList({QStringLiteral("outer*.pdf")}), QStringList({QStringLiteral("outer.pdf")}));
    QVERIFY(pdfText(m_dir.filePath(QStringLiteral("outer.pdf"))).contains(QStringLiteral("one")));
}

void TestViewPrint::oneViewServesManyPages()
{
    // The same file name holds a new message each time; each PDF shows its own.
    const QString html = m_dir.filePath(QStringLiteral("tmp.tmp"));
    for (int i = 1; i <= 3; ++i) {
        page(QStringLiteral("tmp.tmp"), QStringLiteral("Message %1").arg(i), QStringLiteral("<p>Body number %1</p>").arg(i));
        const QString pdf = m_dir.filePath(QStringLiteral("m%1.pdf").arg(i));
        QVERIFY(printPage(*m_view, html, pdf).ok);
        QVERIFY2(pdfText(pdf).contains(QStringLiteral("Body number %1").arg(i)), qPrintable(pdfText(pdf)));
    }
}

void TestViewPrint::aPageThatNeverFinishesLoadingIsGivenUp()
{
    QTcpServer silent;  // accepts the picture's connection and never answers
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    const QString html = page(QStringLiteral("stuck.tmp"), QStringLiteral("Stuck"),
                              QStringLiteral("<p>text</p><img src=\"http://127.0.0.1:%1/logo.gif\">").arg(silent.serverPort()));
    const QString pdf = m_dir.filePath(QStringLiteral("stuck.pdf"));
    const Outcome outcome = printPage(*m_view, html, pdf, 1000);
    QVERIFY(!outcome.ok);
    QVERIFY2(outcome.error.contains(QStringLiteral("took longer than")), qPrintable(outcome.error));
    // The next page goes through as usual.
    QVERIFY(printPage(*m_view, page(QStringLiteral("after.tmp"), QStringLiteral("After"), QStringLiteral("<p>after</p>")),
                               m_dir.filePath(QStringLiteral("after.pdf"))).ok);
    QVERIFY(pdfText(m_dir.filePath(QStringLiteral("after.pdf"))).contains(QStringLiteral("after")));
}

void TestViewPrint::aSupersededLoadLeavesTheViewBusy()
{
    // Same address both times; the first load is stopped (as a run stops a slow page) and the
    // engine reports that stop only after the second load has begun.
    const QString html = page(QStringLiteral("same.tmp"), QStringLiteral("First"), QStringLiteral("<p>first</p>"));
    bool started = false, idleButNotLoaded = false;
    const auto watch = connect(m_view->page(), &QWebEnginePage::loadingChanged, this, [&](const QWebEngineLoadingInfo &info) {
        started = started || info.status() == QWebEngineLoadingInfo::LoadStartedStatus;
        idleButNotLoaded = idleButNotLoaded || (!m_view->Busy() && m_view->ReadyState() != 4);
    });
    m_view->Navigate(html);
    QVERIFY(waitFor([&] { return started; }, 60000));
    m_view->Stop();
    const QString pdf = m_dir.filePath(QStringLiteral("second.pdf"));
    const Outcome outcome = printPage(*m_view, page(QStringLiteral("same.tmp"), QStringLiteral("Second"), QStringLiteral("<p>second</p>")), pdf);
    disconnect(watch);
    QVERIFY(!idleButNotLoaded);
    QVERIFY2(outcome.ok && pdfText(pdf).contains(QStringLiteral("second")), qPrintable(outcome.error));
}

void TestViewPrint::aPageCannotNavigateItself_data()
{
    QTest::addColumn<QString>("refresh");
    QTest::newRow("endless reload") << QStringLiteral("0");
    QTest::newRow("refresh to a file") << QStringLiteral("0;url=other.tmp");
    // The engine blanks a page without asking; that page must not print blank as a success.
    QTest::newRow("refresh to about:blank") << QStringLiteral("0;url=about:blank");
}

void TestViewPrint::aPageCannotNavigateItself()
{
    QFETCH(QString, refresh);
    page(QStringLiteral("other.tmp"), QStringLiteral("Other"), QStringLiteral("<p>OTHER PAGE</p>"));
    const QString html = page(QStringLiteral("refresh.tmp"), QStringLiteral("Refresh"),
                              QStringLiteral("<meta http-equiv=\"refresh\" content=\"%1\"><p>The message itself</p>").arg(refresh));
    int loads = 0;
    // Tied to this call: a failed check below returns early, and must not leave a counter
    // behind for the next row.
    QObject counting;
    connect(m_view->page(), &QWebEnginePage::loadingChanged, &counting, [&](const QWebEngineLoadingInfo &info) {
        loads += info.status() == QWebEngineLoadingInfo::LoadSucceededStatus && info.url().scheme() != QLatin1String("about");
    });
    const QString pdf = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()).remove(':') + QStringLiteral(".pdf"));
    const Outcome outcome = printPage(*m_view, html, pdf);
    // One more page through the same view: a page that reloads itself would have by now.
    QVERIFY(printPage(*m_view, page(QStringLiteral("next.tmp"), QStringLiteral("Next"), QStringLiteral("<p>next</p>")),
                      m_dir.filePath(QStringLiteral("next.pdf"))).ok);
    QCOMPARE(loads, 2);
    if (outcome.ok)
        QVERIFY2(pdfText(pdf).contains(QStringLiteral("The message itself")), qPrintable(pdfText(pdf)));
    else
        QVERIFY2(outcome.error.contains(QStringLiteral("replaced itself")) && !QFile::exists(pdf), qPrintable(outcome.error));
}

int main(int argc, char **argv)
{
    platform::registerMessagePageScheme();  // before the first web engine object, as main() does
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    TestViewPrint test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_viewprint.moc"
