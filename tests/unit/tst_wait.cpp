// The one wait: each of its four outcomes, and that the thing waited on may vanish or be
// replaced by what runs during the wait.

#include "platform/EventLoop.h"
#include "platform/Wait.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <optional>

using platform::Deadline;
using platform::Lifetime;
using platform::WaitOutcome;
using platform::WaitPlan;
using platform::waitUntil;

class TestWait : public QObject {
    Q_OBJECT
private slots:
    void endsDoneWhenAnEventDuringTheWaitMeetsTheCondition();
    void endsAbortedWhenTheCheckAsks();
    void endsTimedOutAndProgressPushesTheDeadlineBack();
    void endsGoneWhenTheThingIsReplacedOrDestroyedDuringAWait();
    void nestedWaitsEachEndByTheirOwnCondition();
    void aGoneTokenTellsReplacedFromDestroyed();
    void anEventHandledInTheTurnEndsTheWaitWithoutSleeping();
};

void TestWait::endsDoneWhenAnEventDuringTheWaitMeetsTheCondition()
{
    bool fired = false;
    QTimer::singleShot(30, this, [&] { fired = true; });
    Deadline deadline(5000);
    QElapsedTimer took;
    took.start();
    QCOMPARE(waitUntil({[&] { return fired; }, {}, &deadline}), WaitOutcome::Done);
    // The default slice sleeps until the timer's event, not a fixed period past it.
    QVERIFY2(took.elapsed() < 1000, qPrintable(QString::number(took.elapsed())));
}

void TestWait::endsAbortedWhenTheCheckAsks()
{
    bool stop = false;
    QTimer::singleShot(20, this, [&] { stop = true; });
    int checks = 0;
    WaitPlan plan{[] { return false; }};
    plan.abortRequested = [&] { ++checks; return stop; };
    plan.checkEveryMs = 10;
    QElapsedTimer took;
    took.start();
    QCOMPARE(waitUntil(plan), WaitOutcome::Aborted);
    QVERIFY(checks >= 1);
    // Not before the check said so, and soon after.
    QVERIFY2(took.elapsed() >= 15 && took.elapsed() < 200, qPrintable(QString::number(took.elapsed())));
}

void TestWait::endsTimedOutAndProgressPushesTheDeadlineBack()
{
    Deadline silence(60);
    int slices = 0;
    WaitPlan plan{[] { return false; }, {}, &silence};
    // Progress in the first slices restarts the limit, so the wait lasts well past 60 ms.
    plan.slice = [&](int ms) {
        QTest::qSleep(qMax(1, ms));
        if (++slices < 8)
            silence.restart();
    };
    plan.sliceMs = 20;
    QElapsedTimer took;
    took.start();
    QCOMPARE(waitUntil(plan), WaitOutcome::TimedOut);
    QVERIFY(slices >= 8);
    QVERIFY2(took.elapsed() >= 150, qPrintable(QString::number(took.elapsed())));
}

void TestWait::endsGoneWhenTheThingIsReplacedOrDestroyedDuringAWait()
{
    Lifetime connection;
    QTimer::singleShot(10, this, [&] { connection.renew(); });
    Deadline deadline(5000);
    QCOMPARE(waitUntil({[] { return false; }, connection.token(), &deadline}), WaitOutcome::Gone);

    // Destroyed inside the abort check (a handler that closes the window): gone, not aborted.
    std::optional<Lifetime> window(std::in_place);
    WaitPlan plan{[] { return false; }, window->token(), &deadline};
    plan.abortRequested = [&] { window.reset(); return true; };
    plan.checkEveryMs = 0;
    QCOMPARE(waitUntil(plan), WaitOutcome::Gone);

    // A token taken after the renewal belongs to the new life.
    QVERIFY(connection.token().alive());
    QVERIFY(platform::LifeToken().alive());
}

void TestWait::nestedWaitsEachEndByTheirOwnCondition()
{
    bool innerDone = false;
    bool outerDone = false;
    std::optional<WaitOutcome> inner;
    QTimer::singleShot(10, this, [&] {
        QTimer::singleShot(10, this, [&] { innerDone = true; });
        Deadline d(5000);
        inner = waitUntil({[&] { return innerDone; }, {}, &d});
        outerDone = true;
    });
    Deadline deadline(5000);
    QCOMPARE(waitUntil({[&] { return outerDone; }, {}, &deadline}), WaitOutcome::Done);
    QCOMPARE(inner, std::optional<WaitOutcome>(WaitOutcome::Done));
}

// A caller that finds its wait gone may still report on a replaced thing through its owner, but
// must not touch an owner that was destroyed.
void TestWait::aGoneTokenTellsReplacedFromDestroyed()
{
    std::optional<Lifetime> owner(std::in_place);
    const platform::LifeToken first = owner->token();
    owner->renew();
    QVERIFY(!first.alive());
    QVERIFY(first.ownerAlive());
    const platform::LifeToken second = owner->token();
    QVERIFY(second.alive());
    owner.reset();
    QVERIFY(!second.alive());
    QVERIFY(!second.ownerAlive());
    QVERIFY(!first.ownerAlive());
}

// A page's "loaded" usually arrives in the turn itself; the wait must see it then, not sleep a
// whole slice for the next event first (that cost every page of a print run up to a slice).
void TestWait::anEventHandledInTheTurnEndsTheWaitWithoutSleeping()
{
    bool loaded = false;
    QTimer::singleShot(0, this, [&] { loaded = true; });
    Deadline deadline(60000);
    WaitPlan plan{[&] { return loaded; }, {}, &deadline};
    plan.sliceMs = 5000;
    QElapsedTimer took;
    took.start();
    QCOMPARE(waitUntil(plan), WaitOutcome::Done);
    QVERIFY2(took.elapsed() < 2500, qPrintable(QString::number(took.elapsed())));
}

QTEST_MAIN(TestWait)
#include "tst_wait.moc"
