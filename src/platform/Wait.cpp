#include "platform/Wait.h"

#include "platform/EventLoop.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <limits>

namespace platform {

Deadline::Deadline(qint64 limitMs) : m_limitMs(limitMs)
{
    m_timer.start();
}

bool Deadline::expired() const
{
    return m_limitMs >= 0 && m_timer.elapsed() >= m_limitMs;
}

qint64 Deadline::remainingMs() const
{
    if (m_limitMs < 0)
        return std::numeric_limits<int>::max();
    return qMax<qint64>(0, m_limitMs - m_timer.elapsed());
}

void waitForEvents(int ms)
{
    if (ms <= 0)
        return;
    QEventLoop loop;
    QTimer wake;
    wake.setSingleShot(true);
    QObject::connect(&wake, &QTimer::timeout, &loop, &QEventLoop::quit);
    wake.start(ms);
    loop.processEvents(QEventLoop::WaitForMoreEvents);
}

void waitForEventsExceptUserInput(int ms)
{
    QEventLoop loop;
    QTimer wake;
    wake.setSingleShot(true);
    wake.start(qMax(0, ms));
    loop.processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents);
}

WaitOutcome waitUntil(const WaitPlan &plan)
{
    QElapsedTimer sinceCheck;
    sinceCheck.start();
    for (;;) {
        if (!plan.life.alive())
            return WaitOutcome::Gone;
        if (plan.done())
            return WaitOutcome::Done;
        if (plan.abortRequested && sinceCheck.elapsed() >= plan.checkEveryMs) {
            sinceCheck.restart();
            if (plan.abortRequested())
                return plan.life.alive() ? WaitOutcome::Aborted : WaitOutcome::Gone;
            continue;  // the check may have run events: look at life and the condition again
        }
        if (plan.deadline && plan.deadline->expired())
            return WaitOutcome::TimedOut;
        const qint64 left = plan.deadline ? plan.deadline->remainingMs() : plan.sliceMs;
        const int ms = int(qBound(qint64(0), left, qint64(plan.sliceMs)));
        if (plan.slice) {
            plan.slice(ms);
            continue;
        }
        // The turn may bring what is waited for (a page's "loaded"); sleeping for the next
        // event after that would add up to a slice to every wait.
        giveEventLoopTurn();
        if (plan.life.alive() && !plan.done())
            waitForEvents(ms);
    }
}

}  // namespace platform
