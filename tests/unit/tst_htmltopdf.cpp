// Turning a rendered page into a PDF with the real web engine, and reading the PDF's text
// back with pdftotext: the text must be there as text, scripts must not run, and the page may
// not pull in files from outside its folder.

#include "platform/HtmlFileScheme.h"
#include "print/HtmlToPdf.h"

#include <QApplication>
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

}  // namespace

class TestHtmlToPdf : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void pageOfAnyNameBecomesSearchableText();
    void scriptsDoNotRun();
    void filesOutsideThePageFolderStayOut();
    void failuresAreNotSuccess();
    void aSecondPageWhileOneIsWaitingIsRefused();
    void oneRendererServesManyPages();
    void aPageThatNeverFinishesLoadingIsGivenUp();
    void closingTheRendererEndsItsWait();

private:
    QString page(const QString &name, const QString &title, const QString &body);
    QTemporaryDir m_dir;
    std::unique_ptr<HtmlPdfRenderer> m_renderer;
};

void TestHtmlToPdf::initTestCase()
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        QFAIL("pdftotext (poppler-utils) is missing: run scripts/install-deps.sh");
    m_renderer = std::make_unique<HtmlPdfRenderer>();
}

QString TestHtmlToPdf::page(const QString &name, const QString &title, const QString &body)
{
    const QString path = m_dir.filePath(name);
    // A UTF-8 byte-order mark, as the page renderer writes, wins over the older charset.
    writeFile(path, "\xEF\xBB\xBF" + (QStringLiteral("<html><head><meta charset=\"iso-8859-1\"><title>%1</title></head>"
                                    "<body><h3>%1</h3>%2</body></html>")
                         .arg(title, body))
                        .toUtf8());
    return path;
}

void TestHtmlToPdf::pageOfAnyNameBecomesSearchableText()
{
    QImage logo(40, 20, QImage::Format_RGB32);
    logo.fill(Qt::red);
    QVERIFY(logo.save(m_dir.filePath(QStringLiteral("gmail_logo.gif")), "GIF") || logo.save(m_dir.filePath(QStringLiteral("gmail_logo.gif")), "PNG"));
    const QString subject = QStringLiteral("会議の議事録 – Résumé");
    const QString html = page(QStringLiteral("tmp.tmp"), subject,
                              QStringLiteral("<img src=\"gmail_logo.gif\"><p>Bitte <b>bis Freitag</b> antworten.</p>"));
    const QString pdf = m_dir.filePath(QStringLiteral("out.pdf"));
    const HtmlPdfRenderer::Outcome outcome = m_renderer->render(html, pdf, HtmlPdfRenderer::defaultLayout());
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

void TestHtmlToPdf::scriptsDoNotRun()
{
    const QString html = page(QStringLiteral("script.tmp"), QStringLiteral("Script"),
                              QStringLiteral("<p id=\"p\">Static text</p><script>document.getElementById('p')"
                                             ".textContent='Script ran';location.href='about:blank';</script>"));
    const QString pdf = m_dir.filePath(QStringLiteral("script.pdf"));
    QVERIFY(m_renderer->render(html, pdf, HtmlPdfRenderer::defaultLayout()).ok);
    const QString text = pdfText(pdf);
    QVERIFY2(text.contains(QStringLiteral("Static text")) && !text.contains(QStringLiteral("Script ran")),
             qPrintable(text));
}

void TestHtmlToPdf::filesOutsideThePageFolderStayOut()
{
    QTemporaryDir other;
    writeFile(other.filePath(QStringLiteral("secret.html")), "<p>PRIVATE-CONTENT</p>");
    QDir().mkpath(m_dir.filePath(QStringLiteral("sub")));
    writeFile(m_dir.filePath(QStringLiteral("sub/inner.tmp")), "<p>INNER-CONTENT</p>");
    const QString html = page(QStringLiteral("frames.tmp"), QStringLiteral("Frames"),
                              QStringLiteral("<iframe src=\"%1\"></iframe><iframe src=\"sub/inner.tmp\"></iframe>")
                                  .arg(other.filePath(QStringLiteral("secret.html"))));
    const QString pdf = m_dir.filePath(QStringLiteral("frames.pdf"));
    QVERIFY(m_renderer->render(html, pdf, HtmlPdfRenderer::defaultLayout()).ok);
    const QString text = pdfText(pdf);
    QVERIFY2(text.contains(QStringLiteral("INNER-CONTENT")), qPrintable(text));
    QVERIFY2(!text.contains(QStringLiteral("PRIVATE-CONTENT")), qPrintable(text));
}

void TestHtmlToPdf::failuresAreNotSuccess()
{
    HtmlPdfRenderer::Outcome missing = m_renderer->render(m_dir.filePath(QStringLiteral("none.tmp")),
                                                          m_dir.filePath(QStringLiteral("none.pdf")),
                                                          HtmlPdfRenderer::defaultLayout());
    QVERIFY(!missing.ok);
    QVERIFY2(missing.error.contains(QStringLiteral("none.tmp")), qPrintable(missing.error));

    const QString html = page(QStringLiteral("fine.tmp"), QStringLiteral("Fine"), QStringLiteral("<p>x</p>"));
    const QString unwritable = m_dir.filePath(QStringLiteral("no/such/folder/out.pdf"));
    const HtmlPdfRenderer::Outcome outcome = m_renderer->render(html, unwritable, HtmlPdfRenderer::defaultLayout());
    QVERIFY(!outcome.ok);
    QVERIFY2(outcome.error.contains(unwritable), qPrintable(outcome.error));
    QVERIFY(!QFile::exists(unwritable));
    // The renderer is still usable afterwards.
    QVERIFY(m_renderer->render(html, m_dir.filePath(QStringLiteral("fine.pdf")), HtmlPdfRenderer::defaultLayout()).ok);
}

void TestHtmlToPdf::aSecondPageWhileOneIsWaitingIsRefused()
{
    const QString first = page(QStringLiteral("first.tmp"), QStringLiteral("First"), QStringLiteral("<p>one</p>"));
    HtmlPdfRenderer::Outcome inner;
    bool ranInside = false;
    // A click handled inside the first wait asks for another page.
    QTimer::singleShot(0, this, [&] {
        ranInside = true;
        inner = m_renderer->render(first, m_dir.filePath(QStringLiteral("inner.pdf")), HtmlPdfRenderer::defaultLayout());
    });
    const HtmlPdfRenderer::Outcome outer = m_renderer->render(first, m_dir.filePath(QStringLiteral("outer.pdf")),
                                                              HtmlPdfRenderer::defaultLayout());
    QVERIFY(ranInside);
    QVERIFY(!inner.ok);
    QVERIFY2(outer.ok, qPrintable(outer.error));
    QVERIFY(pdfText(m_dir.filePath(QStringLiteral("outer.pdf"))).contains(QStringLiteral("one")));
}

void TestHtmlToPdf::oneRendererServesManyPages()
{
    // The same file name holds a new message each time; each PDF shows its own.
    const QString html = m_dir.filePath(QStringLiteral("tmp.tmp"));
    for (int i = 1; i <= 3; ++i) {
        page(QStringLiteral("tmp.tmp"), QStringLiteral("Message %1").arg(i), QStringLiteral("<p>Body number %1</p>").arg(i));
        const QString pdf = m_dir.filePath(QStringLiteral("m%1.pdf").arg(i));
        QVERIFY(m_renderer->render(html, pdf, HtmlPdfRenderer::defaultLayout()).ok);
        QVERIFY2(pdfText(pdf).contains(QStringLiteral("Body number %1").arg(i)), qPrintable(pdfText(pdf)));
    }
}

void TestHtmlToPdf::aPageThatNeverFinishesLoadingIsGivenUp()
{
    QTcpServer silent;  // accepts the picture's connection and never answers
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    const QString html = page(QStringLiteral("stuck.tmp"), QStringLiteral("Stuck"),
                              QStringLiteral("<p>text</p><img src=\"http://127.0.0.1:%1/logo.gif\">").arg(silent.serverPort()));
    const QString pdf = m_dir.filePath(QStringLiteral("stuck.pdf"));
    const HtmlPdfRenderer::Outcome outcome = m_renderer->render(html, pdf, HtmlPdfRenderer::defaultLayout(), 1000);
    QVERIFY(!outcome.ok);
    QVERIFY2(outcome.error.contains(QStringLiteral("took longer than")), qPrintable(outcome.error));
    // The next page goes through as usual.
    QVERIFY(m_renderer->render(page(QStringLiteral("after.tmp"), QStringLiteral("After"), QStringLiteral("<p>after</p>")),
                               m_dir.filePath(QStringLiteral("after.pdf")), HtmlPdfRenderer::defaultLayout()).ok);
    QVERIFY(pdfText(m_dir.filePath(QStringLiteral("after.pdf"))).contains(QStringLiteral("after")));
}

void TestHtmlToPdf::closingTheRendererEndsItsWait()
{
    auto *renderer = new HtmlPdfRenderer;
    QTimer::singleShot(0, this, [&] { delete renderer; });
    const QString html = page(QStringLiteral("closed.tmp"), QStringLiteral("Closed"), QStringLiteral("<p>x</p>"));
    const HtmlPdfRenderer::Outcome outcome = renderer->render(html, m_dir.filePath(QStringLiteral("closed.pdf")),
                                                              HtmlPdfRenderer::defaultLayout());
    QVERIFY(!outcome.ok);
    QVERIFY2(outcome.error.contains(QStringLiteral("closed")), qPrintable(outcome.error));
}

int main(int argc, char **argv)
{
    platform::registerHtmlFileScheme();  // before the first web engine object, as main() does
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    TestHtmlToPdf test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_htmltopdf.moc"
