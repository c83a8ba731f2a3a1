// One combined PDF of N message PDFs (one or two pages each, text and a picture), made one at a
// time as a run makes them: the process's peak and current resident memory after 100, 500 and
// N adds and after the write, and the seconds taken. Figures only.
//   bench_combined_pdf <output folder> [N=1000]

#include "HeapInUse.h"
#include "TestPdfs.h"
#include "print/CombinedPdf.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>

#include <cstdio>

namespace {

qint64 statusKb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field))).trimmed().split(' ').first().toLongLong();
    return -1;
}

void report(const char *when, const QElapsedTimer &timer)
{
    std::printf("%-12s peak RSS %6lld MB, RSS %6lld MB, heap in use %6.1f MB, %7.1f s\n", when,
                statusKb("VmHWM:") / 1024, statusKb("VmRSS:") / 1024, heapInUse() / 1048576.0,
                timer.elapsed() / 1000.0);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <output folder> [N=1000]\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const int n = argc > 2 ? std::atoi(argv[2]) : 1000;
    QElapsedTimer timer;
    timer.start();
    qint64 bytes = 0;
    CombinedPdf combined;
    for (int m = 1; m <= n; ++m) {
        QStringList pages{QStringLiteral("Message %1: quarterly figures").arg(m)};
        if (m % 3 == 0)
            pages << QStringLiteral("Message %1, page 2").arg(m);
        const QByteArray pdf = pdfWithPages(pages, true);
        bytes += pdf.size();
        QString error;
        if (!combined.add(pdf, QStringLiteral("12-0%1-2026 — Sender %2 — Subject %2").arg(m % 9 + 1).arg(m), &error)) {
            std::fprintf(stderr, "message %d: %s\n", m, qPrintable(error));
            return 1;
        }
        if (m == 100 || m == 500 || m == n)
            report(qPrintable(QStringLiteral("%1 adds").arg(m)), timer);
    }
    QString written;
    QString error;
    if (!combined.finish(folder + QStringLiteral("/combined.pdf"), QStringLiteral("Bench run"), &written, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    report("finish", timer);
    std::printf("%d messages, %lld MB of message PDFs in, %lld MB written to %s\n", n, bytes / (1024 * 1024),
                QFile(written).size() / (1024 * 1024), qPrintable(written));
    return 0;
}
