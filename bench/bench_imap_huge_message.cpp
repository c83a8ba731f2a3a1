// What one very large message costs the IMAP client: the most heap it holds while the message
// arrives and is handed over (against the message's size), the longest stretch of work between
// two abort checks, and how long Stop takes to end the fetch. A scripted server on 127.0.0.1
// makes the message piece by piece, so that only the client holds it whole. Prints figures;
// judges nothing.
//
//   bench_imap_huge_message [--mib N] [--stop-ms MS]
//
// N: the message's size in MiB (300). MS: when the second run clicks Stop (2000); its message
// arrives at 100 MiB a second, so that it is still arriving then.

#include "AbortCheckMeter.h"
#include "ScriptedImapServer.h"
#include "imap/ImapClient.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>

#include "HeapInUse.h"

namespace {


// Looks at the heap every millisecond from a thread of its own, so that a peak inside one step
// of the client (a copy made and dropped again) is seen too.
class HeapPeak {
public:
    HeapPeak() : m_base(heapInUse()), m_thread([this] { watch(); }) {}
    ~HeapPeak() { stop(); }
    qint64 stop()
    {
        if (m_thread.joinable()) {
            m_running = false;
            m_thread.join();
        }
        return m_peak - m_base;
    }

private:
    void watch()
    {
        while (m_running) {
            m_peak = qMax(m_peak.load(), heapInUse());
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    const qint64 m_base;
    std::atomic<qint64> m_peak{0};
    std::atomic<bool> m_running{true};
    std::thread m_thread;
};

struct Run {
    bool fetched = false;
    qint64 receivedSize = 0;
    qint64 peakHeap = 0;
    qint64 longestWorkMs = 0;
    qint64 wallMs = 0;
    qint64 afterStopCpuMs = -1;
    qint64 afterStopWallMs = -1;
    QString error;
};

Run fetchOnce(qint64 messageSize, qint64 bytesPerSecond, int stopAtMs)
{
    ScriptedImapServer server;
    QString error;
    if (!server.start(&error)) {
        std::fprintf(stderr, "scripted server: %s\n", qPrintable(error));
        std::exit(1);
    }
    const QByteArray header = "From: Big <big@example.com>\r\nSubject: Huge\r\n\r\n";
    server.on("FETCH", [=](ScriptedImapSession &session, const QByteArray &tag, const QByteArray &) {
        const QByteArray size = QByteArray::number(messageSize);
        const QByteArray head = "* 1 FETCH (RFC822.SIZE " + size + " INTERNALDATE \"01-Sep-2021 15:00:00 +0200\" BODY[] {"
            + size + "}\r\n" + header;
        const QByteArray tail = ")\r\n" + tag + " OK Fetch completed\r\n";
        const qint64 filler = messageSize - header.size();
        session.sendGenerated(head.size() + filler + tail.size(), ScriptedImapServer::filledAnswer(head, filler, tail),
                              bytesPerSecond);
    });
    ImapClient client;
    client.setPort(server.port());
    client.setExtraCaCertificates(server.caCertificates());
    client.setTimeouts(5000, 30000);
    if (client.connectToServer(server.host()) != 1 || client.login("user", "secret") != 1
        || client.selectMailbox("INBOX") != 1) {
        std::fprintf(stderr, "%s\n", qPrintable(client.lastErrorText()));
        std::exit(1);
    }
    Run run;
    {
        HeapPeak peak;
        AbortCheckMeter meter(client, stopAtMs);
        std::optional<FetchedMessage> message = client.fetchMessage(1);
        meter.finish();
        run.wallMs = meter.wallMs;
        run.longestWorkMs = meter.longestWorkMs;
        run.afterStopCpuMs = meter.afterStopCpuMs;
        run.afterStopWallMs = meter.afterStopWallMs;
        run.fetched = message.has_value();
        run.receivedSize = message ? message->raw.size() : 0;
        run.peakHeap = peak.stop();
    }
    run.error = client.lastErrorText();
    return run;
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    qint64 mib = 300;
    int stopMs = 2000;
    const QStringList arguments = app.arguments();
    for (int i = 1; i + 1 < arguments.size(); i += 2) {
        if (arguments[i] == QLatin1String("--mib"))
            mib = arguments[i + 1].toLongLong();
        else if (arguments[i] == QLatin1String("--stop-ms"))
            stopMs = arguments[i + 1].toInt();
    }
    const qint64 size = mib << 20;

    const Run whole = fetchOnce(size, 0, -1);
    std::printf("a %lld MiB message, taken whole: %s in %lld ms\n", mib,
                whole.fetched && whole.receivedSize == size ? "fetched" : qPrintable("FAILED: " + whole.error),
                whole.wallMs);
    std::printf("  peak heap above the start: %lld MiB = %.2f x the message\n", whole.peakHeap >> 20,
                double(whole.peakHeap) / double(size));
    std::printf("  longest work between two abort checks: %lld ms\n", whole.longestWorkMs);

    const Run stopped = fetchOnce(size, qint64(100) << 20, stopMs);
    std::printf("the same arriving at 100 MiB/s, Stop at %d ms: %s\n", stopMs,
                stopped.fetched ? "complete before Stop" : qPrintable(stopped.error));
    std::printf("  from Stop to the fetch's return: %lld ms of work, %lld ms on the wall\n", stopped.afterStopCpuMs,
                stopped.afterStopWallMs);
    std::printf("  peak heap above the start: %lld MiB; longest work between two abort checks: %lld ms\n",
                stopped.peakHeap >> 20, stopped.longestWorkMs);
    return 0;
}
