#include "platform/PrintServerCall.h"

#include "platform/Wait.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <atomic>
#include <chrono>
#include <cups/cups.h>
#include <memory>
#include <thread>

namespace platform {

namespace {

constexpr int kRetryPauseMs = 100;

// Shared by the caller and the worker; whoever lets go last frees it.
struct Call {
    PrintServerWork work;
    std::atomic<bool> finished{false};
    std::atomic<bool> silent{false};  // the server stayed silent past the limit
    std::atomic<int> progress{0};
    bool connected = false;
    QString connectError;
};

// libcups asks this once a wait has gone silentMs without a byte: giving up ends the request.
int giveUpOnSilence(http_t *, void *data)
{
    static_cast<Call *>(data)->silent = true;
    return 0;
}

// A local server's socket that is there may turn a connection away for a moment (seen on a
// busy machine right after cupsd started): that is tried again within the limit. A socket that
// is not there, or a host, gets one try: nobody is there to answer.
http_t *connectWithin(const QByteArray &server, int limitMs)
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        const int left = int(qMax<qint64>(limitMs - clock.elapsed(), 1));
        http_t *http = httpConnect2(server.constData(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
                                    left, nullptr);
        const bool socketThere = server.startsWith('/') && QFileInfo::exists(QString::fromLocal8Bit(server));
        if (http || !socketThere || clock.elapsed() + kRetryPauseMs >= limitMs)
            return http;
        std::this_thread::sleep_for(std::chrono::milliseconds(kRetryPauseMs));
    }
}

void runCall(const std::shared_ptr<Call> &call, const QByteArray &server, PrintServerLimits limits)
{
    http_t *http = connectWithin(server, limits.connectMs);
    if (!http) {
        call->connectError = QString::fromUtf8(cupsLastErrorString());
    } else {
        call->connected = true;
        httpSetTimeout(http, limits.silenceMs / 1000.0, giveUpOnSilence, call.get());
        call->work(http, &call->progress);
        httpClose(http);
    }
    call->finished.store(true, std::memory_order_release);
}

QString silenceText(const QString &server, int silenceMs)
{
    return QStringLiteral("The print server %1 did not answer within %2 seconds.")
        .arg(server, QString::number(silenceMs / 1000.0, 'g', 3));
}

}  // namespace

bool callPrintServer(const PrintServerWork &work, const PrintServerLimits &limits, QString *error,
                     const PrintServerCancel *cancel)
{
    auto call = std::make_shared<Call>();
    call->work = work;
    const QByteArray server = cupsServer();
    std::thread worker(runCall, call, server, limits);

    // Each request may be silent for up to the limit, and the work may make a few of them;
    // beyond that the worker is left to end on its own (it holds everything it touches).
    Deadline limit(limits.connectMs + 3 * qint64(limits.silenceMs));
    WaitPlan plan;
    int seen = 0;
    plan.done = [&call, &limit, &seen] {
        // Data still moving (a large document) is not silence.
        if (const int now = call->progress.load(); now != seen) {
            seen = now;
            limit.restart();
        }
        return call->finished.load(std::memory_order_acquire);
    };
    plan.deadline = &limit;
    plan.sliceMs = 10;
    if (cancel)
        plan.abortRequested = cancel->requested;
    WaitOutcome outcome = waitUntil(plan);
    if (outcome == WaitOutcome::Aborted) {
        cancel->calledOff->store(true);
        plan.abortRequested = nullptr;
        outcome = waitUntil(plan);
    }
    const QString name = QString::fromUtf8(server);
    if (outcome != WaitOutcome::Done) {
        worker.detach();
        if (error)
            *error = silenceText(name, limits.silenceMs);
        return false;
    }
    worker.join();
    if (!call->connected) {
        if (error)
            *error = QStringLiteral("The print server %1 cannot be reached: %2").arg(name, call->connectError);
        return false;
    }
    if (call->silent) {
        if (error)
            *error = silenceText(name, limits.silenceMs);
        return false;
    }
    return true;
}

}  // namespace platform
