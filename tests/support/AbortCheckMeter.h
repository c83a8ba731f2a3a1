#pragma once
// How long the IMAP client keeps its caller from the event loop: the longest stretch of this
// thread's processor time between two abort checks (the stretch after the last one counts too),
// and, when it is told to stop at a given time, what passed from that Stop to the return.
// Processor time, unlike the clock on the wall, does not run on while other programs have the
// processor.

#include "imap/ImapClient.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <ctime>

#ifdef QUORVALE_SANITIZED  // the most work between two abort checks; allocation bookkeeping is work too
constexpr qint64 kLongestWorkMs = 250;
#else
constexpr qint64 kLongestWorkMs = 100;
#endif

inline qint64 threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

class AbortCheckMeter {
public:
    // Measures from now; answers "abort" from `stopAtMs` on (never when negative).
    explicit AbortCheckMeter(ImapClient &client, qint64 stopAtMs = -1)
    {
        m_wall.start();
        m_connection = QObject::connect(&client, &ImapClient::abortCheck, [this, stopAtMs](qint32 &abort) {
            noteWork();
            if (stopAtMs >= 0 && m_wall.elapsed() >= stopAtMs) {
                abort = -1;
                if (m_stopCpu < 0) {
                    m_stopCpu = threadCpuMs();
                    m_stopWall = m_wall.elapsed();
                }
            }
            QCoreApplication::processEvents();
            m_lastCheckEndCpu = threadCpuMs();
        });
    }
    ~AbortCheckMeter() { QObject::disconnect(m_connection); }
    AbortCheckMeter(const AbortCheckMeter &) = delete;
    AbortCheckMeter &operator=(const AbortCheckMeter &) = delete;

    // Called once the client's call has returned.
    void finish()
    {
        noteWork();
        wallMs = m_wall.elapsed();
        if (m_stopCpu >= 0) {
            afterStopCpuMs = threadCpuMs() - m_stopCpu;
            afterStopWallMs = wallMs - m_stopWall;
        }
    }

    qint64 longestWorkMs = 0;
    qint64 wallMs = 0;
    qint64 afterStopCpuMs = -1;  // -1: Stop never came
    qint64 afterStopWallMs = -1;

private:
    void noteWork()
    {
        if (m_lastCheckEndCpu >= 0)
            longestWorkMs = qMax(longestWorkMs, threadCpuMs() - m_lastCheckEndCpu);
    }

    QElapsedTimer m_wall;
    QMetaObject::Connection m_connection;
    qint64 m_lastCheckEndCpu = -1;
    qint64 m_stopCpu = -1;
    qint64 m_stopWall = -1;
};
