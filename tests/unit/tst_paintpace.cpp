// A window painted at a pace: changes made faster than the pace are painted together, later,
// and none is lost, also when the pace ends.

#include "app/PaintPace.h"

#include <QLabel>
#include <QVBoxLayout>
#include <QtTest>

namespace {

// Counts a label's paint events and keeps the text it showed at the last one.
struct PaintCounter : QObject {
    explicit PaintCounter(QLabel *label) : label(label) { label->installEventFilter(this); }
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && ++paints)
            paintedText = label->text();
        return false;
    }
    QLabel *label;
    int paints = 0;
    QString paintedText;
};

}  // namespace

class TestPaintPace : public QObject {
    Q_OBJECT
private slots:
    void changesArePaintedTogetherAndNoneIsLost_data();
    void changesArePaintedTogetherAndNoneIsLost();
};

void TestPaintPace::changesArePaintedTogetherAndNoneIsLost_data()
{
    QTest::addColumn<int>("intervalMs");
    QTest::addColumn<bool>("endPaceAtOnce");
    QTest::newRow("held paint comes after the interval") << 300 << false;
    QTest::newRow("held paint comes when the pace ends") << 60 * 1000 << true;
}

void TestPaintPace::changesArePaintedTogetherAndNoneIsLost()
{
    QFETCH(int, intervalMs);
    QFETCH(bool, endPaceAtOnce);
    QWidget window;
    auto *label = new QLabel(QStringLiteral("start"), &window);
    (new QVBoxLayout(&window))->addWidget(label);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    PaintCounter counter(label);
    label->update();
    QTRY_COMPARE(counter.paintedText, QStringLiteral("start"));
    auto pace = std::make_unique<PaintPace>(&window, intervalMs);
    QCoreApplication::processEvents();
    counter.paints = 0;
    QElapsedTimer changing;
    changing.start();
    for (int i = 1; i <= 20; ++i) {
        label->setText(QString::number(i));
        QCoreApplication::processEvents();
    }
    // 20 changes in quick turns: painted at most once within the interval.
    if (changing.elapsed() < intervalMs / 2)  // a busy machine may take longer
        QVERIFY2(counter.paints <= 1, qPrintable(QString::number(counter.paints)));
    if (endPaceAtOnce) {
        pace.reset();
        QCoreApplication::processEvents();
        QCOMPARE(counter.paintedText, QStringLiteral("20"));
    }
    QTRY_COMPARE(counter.paintedText, QStringLiteral("20"));
}

QTEST_MAIN(TestPaintPace)
#include "tst_paintpace.moc"
