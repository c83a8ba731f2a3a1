// "Print All" to the PDF writer through the program's own windows, against the test Dovecot
// started with --bench-messages N (see run_print_all_bench.sh): "1. Connect", "2a. Get All
// Emails" on the Bench label, every row ticked, the preview opened, the PDF writer picked and
// "Print All" clicked with the default file-name pattern. Prints messages per second and the
// program's peak memory after 100 messages and after all; it is a benchmark, never a test.
//
//   bench_print_all OUT [PAGES]
// OUT receives the PDFs. With PAGES, every rendered page is also kept there as pageNNNN.html
// (with the logo beside it), so that other tools can be timed on the very same pages.
//
// Memory: the program's own peak resident size (VmHWM), and the peak of the resident sizes of
// the program and its web engine helper processes together, sampled every ten messages.

#include "ModalWindows.h"
#include "TestServer.h"
#include "app/Form1.h"
#include "core/ProgramFolder.h"
#include "core/SettingsStore.h"
#include "list/MessageListView.h"
#include "platform/BrowserView.h"
#include "platform/ScriptedDialogs.h"
#include "print/Form3.h"
#include "print/Form5.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMap>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEnginePage>
#include <cstdio>

namespace {

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

qint64 ownPeakKb()
{
    return statusKb(QString::number(QCoreApplication::applicationPid()), "VmHWM:");
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

Form3 *openPreviewOfEveryMessage(Form1 &form, const TestServer &server)
{
    form.Form_Load();
    form.Text1->setText(server.user);
    form.Text2->setText(server.password);
    form.PushButton3->click();
    form.PushButton2->click();
    form.PushButton5->click();  // check all
    form.PushButton4->click();
    Form3 *preview = form.previewWindow();
    if (preview)
        preview->Combo1->setCurrentText(QStringLiteral("Tervane PDF Writer"));
    return preview;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_print_all OUT [PAGES]\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString outDir = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    const QString pagesDir = argc > 2 ? QDir(QString::fromLocal8Bit(argv[2])).absolutePath() : QString();
    QDir().mkpath(outDir);
    const TestServer server = TestServer::fromFixture();
    server.applyToEnvironment();
    QTemporaryDir scratch;
    setProgramFolder(scratch.path());
    for (const char *file : {"Base.tmp", "gmail_logo.gif"})
        QFile::copy(QString(QUORVALE_TEST_SOURCE_DIR "/../resources/") + file, scratch.filePath(file));
    if (!pagesDir.isEmpty()) {
        QDir().mkpath(pagesDir);
        QFile::copy(scratch.filePath(QStringLiteral("gmail_logo.gif")), pagesDir + QStringLiteral("/gmail_logo.gif"));
    }
    saveSetting(QStringLiteral("LabelFilter"), qEnvironmentVariable("BENCH_MAILBOX", QStringLiteral("Bench")));
    platform::ScriptedDialogs dialogs;
    Form1::setUnloadAction([] {});
    Form1 form;
    Form3 *preview = openPreviewOfEveryMessage(form, server);
    if (!preview) {
        std::fprintf(stderr, "no preview: %s\n", qPrintable(dialogs.messageTexts().join(QStringLiteral(" | "))));
        return 1;
    }
    const int n = preview->lastEntry();

    int pagesKept = 0;
    QObject::connect(preview->WebBrowser2->page(), &QWebEnginePage::loadFinished, preview, [&](bool) {
        if (!pagesDir.isEmpty())
            QFile::copy(preview->htmlFilePath(), QStringLiteral("%1/page%2.html").arg(pagesDir).arg(++pagesKept, 4, 10, QLatin1Char('0')));
    });
    qint64 peakTree = 0, tree100 = 0, own100 = 0;
    double seconds100 = 0;
    int sampled = 0;
    QElapsedTimer clock;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        const int k = preview->currentEntry();
        if (k >= sampled + 10) {
            sampled = k;
            peakTree = qMax(peakTree, treeRssKb());
        }
        if (k > 100 && own100 == 0) {
            seconds100 = clock.elapsed() / 1000.0;
            own100 = ownPeakKb();
            tree100 = peakTree;
        }
    });
    sampler.start(5);

    dialogs.clear();
    dialogs.answers.enqueue(platform::BoxAnswer::Yes);
    whenOpen<Form5>([&](Form5 *options) {
        options->PushButton9->click();  // "Use Default" pattern
        options->Text2->setText(outDir);
        options->PushButton1->click();
    });
    clock.start();
    preview->PushButton2->click();
    const double seconds = clock.elapsed() / 1000.0;
    sampler.stop();
    peakTree = qMax(peakTree, treeRssKb());
    const int written = int(QDir(outDir).entryList({QStringLiteral("*.pdf")}, QDir::Files).size());
    const QStringList boxes = dialogs.messageTexts();
    std::printf("quorvale: %d messages in %.2f s, %.1f msg/s, %d PDF files written, last box: %s\n", n, seconds,
                n / seconds, written, qPrintable(boxes.isEmpty() ? QString() : boxes.last()));
    if (own100 > 0)
        std::printf("  after 100 messages: %.1f msg/s; peak memory: program %.0f MB, with web engine helpers %.0f MB\n",
                    100 / seconds100, own100 / 1024.0, tree100 / 1024.0);
    std::printf("  after %d messages: peak memory: program %.0f MB, with web engine helpers %.0f MB\n", n,
                ownPeakKb() / 1024.0, peakTree / 1024.0);
    std::fflush(stdout);
    return written == n && !boxes.isEmpty() && boxes.last() == QStringLiteral("Done.") ? 0 : 1;
}
