// "Print All" to the PDF writer through the program's own windows, against the test Dovecot
// started with --bench-messages N (see run_print_all_bench.sh): "1. Connect", "2a. Get All
// Emails" on the Bench label, every row ticked, the preview opened, the PDF writer picked and
// "Print All" clicked with the default file-name pattern, four times in the same process: with
// the hidden views the program picks for this machine, and with one view only (setting
// "PrintAheadViews" 1: one message loaded, then printed, then the next), in the order views,
// one view, one view, views. Prints messages per second of each, the two rates over both passes
// and their ratio, the program's peak memory after 100 messages and after all, and processor
// time a message; it is a benchmark, never a test.
//
//   bench_print_all OUT [PAGES]
// OUT receives the PDFs (OUT/views-1, OUT/one-view-1 ...). With PAGES, every page the first run
// rendered is also kept there as pageNNNN.html (with the logo beside it), so that other tools
// can be timed on the very same pages.
//
// Memory: the program's own peak resident size (VmHWM), and the peak of the resident sizes of
// the program and its web engine helper processes together, sampled every ten messages. The
// views run comes first, so that the program's peak after it is that run's own.

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
#include <QFileInfo>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMap>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEnginePage>
#include <cstdio>
#include <unistd.h>

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

// This process and all its descendants.
QStringList processTree()
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
    return tree;
}

// Resident kilobytes of this process and all its descendants.
qint64 treeRssKb()
{
    qint64 kb = 0;
    for (const QString &pid : processTree())
        kb += statusKb(pid, "VmRSS:");
    return kb;
}

// Processor time used so far, in ms: this process alone, and with the web engine's helpers.
struct CpuMs {
    qint64 own = 0, tree = 0;
};

CpuMs cpuMs()
{
    const auto ticks = [](const QString &pid) {
        QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!f.open(QIODevice::ReadOnly))
            return qint64(0);
        const QByteArray stat = f.readAll();
        const QList<QByteArray> rest = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
        return rest.size() > 12 ? rest.at(11).toLongLong() + rest.at(12).toLongLong() : 0;  // utime + stime
    };
    const qint64 msPerTick = 1000 / sysconf(_SC_CLK_TCK);
    CpuMs used;
    for (const QString &pid : processTree())
        used.tree += ticks(pid) * msPerTick;
    used.own = ticks(QString::number(QCoreApplication::applicationPid())) * msPerTick;
    return used;
}

struct RunFigures {
    int messages = 0;
    double seconds = 0;
    int written = 0;
    QString lastBox;
    double seconds100 = 0;
    qint64 own100 = 0, tree100 = 0;  // kB after 100 messages
    qint64 ownPeak = 0, treePeak = 0;
    CpuMs cpu;  // used during the run
};

// Keeps every page a print view of `preview` loads as PAGES/pageNNNN.html, in the order loaded.
class PageKeeper : public QObject {
public:
    PageKeeper(Form3 &preview, QString pagesDir) : m_pagesDir(std::move(pagesDir))
    {
        // The views beyond the first are made when the run starts; each is hooked up at the
        // first turn of the event loop after it was made, before any load can have ended.
        preview.Picture1->installEventFilter(this);
        watch(preview.WebBrowser2);
    }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::ChildAdded) {
            QPointer<QObject> child = static_cast<QChildEvent *>(event)->child();
            QTimer::singleShot(0, this, [this, child] {
                if (auto *view = qobject_cast<platform::BrowserView *>(child.data()))
                    watch(view);
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void watch(platform::BrowserView *view)
    {
        QObject::connect(view->page(), &QWebEnginePage::loadFinished, this, [this, view](bool) {
            QFile::copy(view->url().path(),
                        QStringLiteral("%1/page%2.html").arg(m_pagesDir).arg(++m_kept, 4, 10, QLatin1Char('0')));
        });
    }
    QString m_pagesDir;
    int m_kept = 0;
};

RunFigures printAll(Form3 &preview, platform::ScriptedDialogs &dialogs, const QString &outDir, const QString &pagesDir)
{
    QDir().mkpath(outDir);
    std::unique_ptr<PageKeeper> keeper;
    if (!pagesDir.isEmpty())
        keeper = std::make_unique<PageKeeper>(preview, pagesDir);
    RunFigures figures;
    figures.messages = preview.lastEntry();
    int sampled = 0;
    QElapsedTimer clock;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        const int k = preview.currentEntry();
        if (k >= sampled + 10) {
            sampled = k;
            figures.treePeak = qMax(figures.treePeak, treeRssKb());
        }
        if (k > 100 && figures.own100 == 0) {
            figures.seconds100 = clock.elapsed() / 1000.0;
            figures.own100 = ownPeakKb();
            figures.tree100 = figures.treePeak;
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
    const CpuMs before = cpuMs();
    clock.start();
    preview.PushButton2->click();
    figures.seconds = clock.elapsed() / 1000.0;
    const CpuMs after = cpuMs();
    figures.cpu = {after.own - before.own, after.tree - before.tree};
    sampler.stop();
    figures.treePeak = qMax(figures.treePeak, treeRssKb());
    figures.ownPeak = ownPeakKb();
    figures.written = int(QDir(outDir).entryList({QStringLiteral("*.pdf")}, QDir::Files).size());
    const QStringList boxes = dialogs.messageTexts();
    figures.lastBox = boxes.isEmpty() ? QString() : boxes.last();
    return figures;
}

void report(const char *name, const QString &views, const RunFigures &run)
{
    std::printf("%s: %d messages in %.2f s, %.1f msg/s (%s), %d PDF files written, last box: %s\n", name,
                run.messages, run.seconds, run.messages / run.seconds, qPrintable(views), run.written,
                qPrintable(run.lastBox));
    if (run.own100 > 0)
        std::printf("  after 100 messages: %.1f msg/s; peak memory: program %.0f MB, with web engine helpers %.0f MB\n",
                    100 / run.seconds100, run.own100 / 1024.0, run.tree100 / 1024.0);
    std::printf("  after %d messages: peak memory: program %.0f MB, with web engine helpers %.0f MB\n", run.messages,
                run.ownPeak / 1024.0, run.treePeak / 1024.0);
    std::printf("  processor time a message: program %.1f ms, with web engine helpers %.1f ms\n",
                double(run.cpu.own) / run.messages, double(run.cpu.tree) / run.messages);
    std::fflush(stdout);
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

    // BENCH_PRINT_VIEWS: the views of the views runs instead of the program's own choice.
    const QString viewsSetting = qEnvironmentVariable("BENCH_PRINT_VIEWS");
    const auto run = [&](bool oneView, const char *name, int pass) {
        saveSetting(QStringLiteral("PrintAheadViews"), oneView ? QStringLiteral("1") : viewsSetting);
        const int count = Form3::printAheadViewCount();
        const QString views = QStringLiteral("%1 view%2").arg(count).arg(count == 1 ? "" : "s");
        const RunFigures figures = printAll(*preview, dialogs, QStringLiteral("%1/%2-%3").arg(outDir, name).arg(pass),
                                            pass == 1 && !oneView ? pagesDir : QString());
        report(qPrintable(QStringLiteral("%1 (pass %2)").arg(name).arg(pass)), views, figures);
        return figures;
    };
    // BENCH_RECORDS: one run with the run's index and its one combined PDF, for its memory.
    if (!qEnvironmentVariableIsEmpty("BENCH_RECORDS")) {
        saveSetting(QStringLiteral("CombinedPdf"), QStringLiteral("1"));
        const RunFigures records = run(false, "records", 1);
        const QString folder = QStringLiteral("%1/records-1").arg(outDir);
        const QStringList combined = QDir(folder).entryList({QStringLiteral("Print All *.pdf")});
        QFile index(folder + QStringLiteral("/index.csv"));
        const qint64 rows = index.open(QIODevice::ReadOnly) ? index.readAll().count("\r\n") - 1 : -1;
        const qint64 combinedKb = combined.isEmpty() ? 0 : QFileInfo(folder + QLatin1Char('/') + combined[0]).size() / 1024;
        std::printf("records: %lld index rows, combined PDF %s of %lld KB\n", rows,
                    combined.isEmpty() ? "missing" : "written", combinedKb);
        return records.written == n + 1 && rows == n && records.lastBox == QStringLiteral("Done.") ? 0 : 1;
    }
    // The machine's load drifts while the runs go on: views, one view, one view, views, and the
    // rates over both passes.
    const RunFigures views1 = run(false, "views", 1);
    const RunFigures one1 = run(true, "one-view", 1);
    const RunFigures one2 = run(true, "one-view", 2);
    const RunFigures views2 = run(false, "views", 2);
    const double viewsSeconds = views1.seconds + views2.seconds, oneSeconds = one1.seconds + one2.seconds;
    std::printf("quorvale: views %.1f msg/s, one view %.1f msg/s over both passes; views vs one view: %.2f times as fast\n",
                2 * n / viewsSeconds, 2 * n / oneSeconds, oneSeconds / viewsSeconds);
    std::fflush(stdout);
    const auto whole = [n](const RunFigures &figures) {
        return figures.written == n && figures.lastBox == QStringLiteral("Done.");
    };
    return whole(views1) && whole(one1) && whole(one2) && whole(views2) ? 0 : 1;
}
