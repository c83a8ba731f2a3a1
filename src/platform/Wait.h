#pragma once
// The one way the program waits for something asynchronous (a socket's answer, a page load, a
// print job, a long count). Everything runs on the GUI thread, so a wait goes in short slices
// and the event loop gets turns in between: windows paint, and the user's clicks (Stop, Cancel,
// another connect) are handled inside the wait. Such a click may destroy or replace the very
// thing being waited on; the wait then ends "gone" instead of touching it.

#include <QElapsedTimer>
#include <functional>
#include <memory>

namespace platform {

enum class WaitOutcome {
    Done,      // the condition holds
    Aborted,   // the caller's abort check asked to stop
    TimedOut,  // the deadline passed first
    Gone,      // the thing waited on was destroyed or replaced during the wait
};

// Taken from a Lifetime before waiting; tells afterwards whether that same life still goes on.
// A default token belongs to nothing and is always alive.
class LifeToken {
public:
    LifeToken() = default;
    bool alive() const { return !m_tied || (!m_life.expired() && !m_owner.expired()); }
    // Whether the Lifetime itself (and so the object that keeps it) still exists. After a wait
    // ends gone, this tells "replaced" (the owner may still be used) from "destroyed" (it may
    // not be touched at all).
    bool ownerAlive() const { return !m_tied || !m_owner.expired(); }

private:
    friend class Lifetime;
    LifeToken(std::weak_ptr<const char> life, std::weak_ptr<const char> owner)
        : m_life(std::move(life)), m_owner(std::move(owner)), m_tied(true) {}
    std::weak_ptr<const char> m_life;
    std::weak_ptr<const char> m_owner;
    bool m_tied = false;
};

// Kept by the owner of a thing others wait on (a connection, a list, a job). renew() when the
// thing is replaced; destroying the Lifetime ends it too. Either way every token taken so far
// reports it gone.
class Lifetime {
public:
    Lifetime() : m_life(std::make_shared<const char>(0)), m_owner(std::make_shared<const char>(0)) {}
    Lifetime(const Lifetime &) = delete;
    Lifetime &operator=(const Lifetime &) = delete;
    LifeToken token() const { return LifeToken(m_life, m_owner); }
    void renew() { m_life = std::make_shared<const char>(0); }

private:
    std::shared_ptr<const char> m_life;
    std::shared_ptr<const char> m_owner;
};

// A time limit. Progress may push it back (restart), so that a limit on silence can be kept as
// well as a limit on the whole.
class Deadline {
public:
    explicit Deadline(qint64 limitMs);
    static Deadline never() { return Deadline(-1); }
    void restart() { m_timer.restart(); }
    bool expired() const;
    qint64 remainingMs() const;  // a large number when there is no limit
    qint64 limitMs() const { return m_limitMs; }

private:
    QElapsedTimer m_timer;
    qint64 m_limitMs;
};

struct WaitPlan {
    std::function<bool()> done;            // what is waited for
    LifeToken life;                        // the thing waited on; gone ends the wait at once
    Deadline *deadline = nullptr;          // none: no time limit
    // Asked at most every checkEveryMs; true ends the wait as Aborted. The check may give the
    // event loop turns of its own (the IMAP client's abortCheck signal does).
    std::function<bool()> abortRequested;
    // Spends one slice of at most the given milliseconds. The default gives the event loop a
    // turn and then sleeps until an event arrives or the slice is over.
    std::function<void(int sliceMs)> slice;
    int sliceMs = 40;
    int checkEveryMs = 50;
};

WaitOutcome waitUntil(const WaitPlan &plan);

// A slice that sleeps in the event loop until the next event (a socket's bytes, a timer, a
// click) arrives and is handled, or ms have passed: the window stays live while it waits.
void waitForEvents(int ms);

// A slice that waits up to ms for the next event (a timer, a socket) with the user's input held
// back until later: for a short wait in the middle of a procedure that no click may interrupt.
// (Without a slice, a wait gives the event loop a turn and then sleeps until the next event.)
void waitForEventsExceptUserInput(int ms);

}  // namespace platform
