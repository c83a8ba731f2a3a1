#pragma once
// Paints a window at most once every so many milliseconds while it lives.
//
// Long work on the GUI thread gives the event loop a turn between its steps, several times for
// every downloaded message, and each turn that finds a widget changed (the status line, the
// progress bar, the list) repainted the window: thousands of times a second, which made a shown
// window's download several times slower than a hidden one. Held repaints are not lost: the
// window is painted with everything that changed meanwhile once the interval has passed, and
// at once when the pace ends.

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

class QWidget;

class PaintPace : public QObject {
public:
    // An interval of 0 paints as often as Qt asks.
    PaintPace(QWidget *window, int intervalMs);
    ~PaintPace() override;

    // The interval of a download run (40 ms, 25 paints a second); benchmarks compare with 0.
    static int downloadIntervalMs();
    static void setDownloadIntervalMs(int milliseconds);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void paintHeld();

    QPointer<QWidget> m_window;
    int m_intervalMs;
    QElapsedTimer m_sincePaint;
    QTimer m_heldPaint;
};
