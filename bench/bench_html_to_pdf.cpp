// Rendered message pages to PDF files through the program's own road: each page is written to
// the one page file "tmp.tmp" (as the renderer of messages does), turned into a PDF by the
// hidden web page, named from the default pattern and handed to the PDF writer, which writes
// the file. Prints messages per second and the peak memory after 100 pages and after all.
//
//   bench_html_to_pdf --make-pages DIR N    writes N message pages DIR/page0001.html …
//   bench_html_to_pdf DIR OUT [N]           prints the pages of DIR into OUT
//
// Memory: the program's own peak resident size (VmHWM), and the peak of the resident sizes of
// the program and its web engine helper processes together, sampled every ten pages.

#include "mail/MessageEntry.h"
#include "platform/HtmlFileScheme.h"
#include "platform/PrinterSystem.h"
#include "print/CreatePdfFile.h"
#include "print/HtmlToPdf.h"
#include "print/TervanePdfWriter.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTextDocumentFragment>
#include <QTextStream>
#include <cstdio>

namespace {

const QStringList Subjects = {
    QStringLiteral("Re: Invoice #%1/2020?"), QStringLiteral("会議の議事録 %1"),
    QStringLiteral("Quarterly report, part %1"), QStringLiteral("Résumé des échanges n° %1"),
    QStringLiteral("Fwd: Shipping update %1")};

QString pageHtml(int n)
{
    const QString subject = Subjects.at(n % Subjects.size()).arg(n);
    QString body;
    for (int p = 0; p < 3 + n % 5; ++p)
        body += QStringLiteral("<p>Paragraph %1 of message %2. Lorem ipsum dolor sit amet, consectetur "
                               "adipiscing elit, sed do eiusmod tempor incididunt ut labore et dolore magna "
                               "aliqua. 日本語の本文もここにあります。</p>")
                    .arg(p + 1)
                    .arg(n);
    body += QStringLiteral("<table border=\"1\"><tr><th>Item</th><th>Amount</th></tr>"
                           "<tr><td>Service</td><td>%1.00 EUR</td></tr></table>")
                .arg(100 + n);
    return QStringLiteral("<html><head><meta charset=\"utf-8\"><title>%1</title></head><body>"
                          "<table width=\"100%\"><tr><td><b>Quorvale</b></td><td align=\"right\">me@gmail.com</td></tr></table><hr>"
                          "<h3>%1</h3><p><b>From:</b> Ann Lee &lt;ann@example.com&gt;<br><b>Date:</b> "
                          "06.12.2026 10:%2</p><hr>%3</body></html>")
        .arg(subject.toHtmlEscaped())
        .arg(n % 60, 2, 10, QLatin1Char('0'))
        .arg(body);
}

int makePages(const QString &dir, int count)
{
    QDir().mkpath(dir);
    for (int n = 1; n <= count; ++n) {
        QFile f(QStringLiteral("%1/page%2.html").arg(dir).arg(n, 4, 10, QLatin1Char('0')));
        if (!f.open(QIODevice::WriteOnly))
            return 1;
        f.write(pageHtml(n).toUtf8());
    }
    return 0;
}

qint64 statusKb(const QString &pid, const char *field)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').first().toLongLong();
    return 0;
}

// Resident kilobytes of this process and all its descendants.
qint64 treeRssKb()
{
    QMap<QString, QString> parent;
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        if (!pid.at(0).isDigit())
            continue;
        QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
        if (f.open(QIODevice::ReadOnly)) {
            const QByteArray stat = f.readAll();
            const QList<QByteArray> rest = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
            if (rest.size() > 1)
                parent[pid] = QString::fromLatin1(rest.at(1));
        }
    }
    QStringList tree{QString::number(QCoreApplication::applicationPid())};
    for (int i = 0; i < tree.size(); ++i)
        for (auto it = parent.cbegin(); it != parent.cend(); ++it)
            if (it.value() == tree.at(i))
                tree << it.key();
    qint64 kb = 0;
    for (const QString &pid : tree)
        kb += statusKb(pid, "VmRSS:");
    return kb;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc == 4 && qstrcmp(argv[1], "--make-pages") == 0) {
        QCoreApplication app(argc, argv);
        return makePages(QString::fromLocal8Bit(argv[2]), atoi(argv[3]));
    }
    if (argc < 3) {
        fprintf(stderr, "usage: bench_html_to_pdf --make-pages DIR N | bench_html_to_pdf DIR OUT [N]\n");
        return 2;
    }
    platform::registerHtmlFileScheme();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    const QString pagesDir = QString::fromLocal8Bit(argv[1]);
    const QString outDir = QString::fromLocal8Bit(argv[2]);
    QStringList pages = QDir(pagesDir).entryList({QStringLiteral("page*.html")}, QDir::Files, QDir::Name);
    if (argc > 3)
        pages = pages.mid(0, atoi(argv[3]));
    QDir().mkpath(outDir);
    const QString work = outDir + QStringLiteral("/.work");
    QDir().mkpath(work);
    const QString tmpPage = work + QStringLiteral("/tmp.tmp");
    const QString tmpPdf = work + QStringLiteral("/job.pdf");
    static const QRegularExpression titleTag(QStringLiteral("<title>(.*)</title>"));

    HtmlPdfRenderer renderer;
    PdfNameRequest naming;
    naming.pattern = QStringLiteral("<Count> - <Current Date> <Subject>");
    naming.folder = outDir;
    int failures = 0;
    qint64 peakTree = 0, tree100 = 0, hwm100 = 0;
    double seconds100 = 0;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < pages.size(); ++i) {
        QFile::remove(tmpPage);
        QFile::copy(pagesDir + QLatin1Char('/') + pages.at(i), tmpPage);
        QFile in(tmpPage);
        in.open(QIODevice::ReadOnly);
        MessageEntry message;
        message.Subject = QTextDocumentFragment::fromHtml(titleTag.match(QString::fromUtf8(in.readAll())).captured(1)).toPlainText();
        const HtmlPdfRenderer::Outcome rendered = renderer.render(tmpPage, tmpPdf, HtmlPdfRenderer::defaultLayout());
        naming.count = i + 1;
        QString error;
        if (!rendered.ok || CreatePDF_File(naming, message).isEmpty()
            || !printOnPdfWriter(tmpPdf, message.Subject, &error)) {
            ++failures;
            fprintf(stderr, "page %d: %s%s\n", i + 1, qPrintable(rendered.error), qPrintable(error));
        }
        if ((i + 1) % 10 == 0 || i + 1 == pages.size())
            peakTree = qMax(peakTree, treeRssKb());
        if (i + 1 == 100) {
            seconds100 = clock.elapsed() / 1000.0;
            tree100 = peakTree;
            hwm100 = statusKb(QString::number(QCoreApplication::applicationPid()), "VmHWM:");
        }
    }
    const double seconds = clock.elapsed() / 1000.0;
    const qint64 hwm = statusKb(QString::number(QCoreApplication::applicationPid()), "VmHWM:");
    printf("quorvale: %lld pages in %.2f s, %.1f msg/s, %d failed\n", qlonglong(pages.size()), seconds,
           pages.size() / seconds, failures);
    if (pages.size() >= 100)
        printf("  after 100 pages: %.1f msg/s; peak memory: program %.0f MB, with web engine helpers %.0f MB\n",
               100 / seconds100, hwm100 / 1024.0, tree100 / 1024.0);
    printf("  after %lld pages: peak memory: program %.0f MB, with web engine helpers %.0f MB\n",
           qlonglong(pages.size()), hwm / 1024.0, peakTree / 1024.0);
    return failures == 0 ? 0 : 1;
}
