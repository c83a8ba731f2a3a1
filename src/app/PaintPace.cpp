#include "app/PaintPace.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

namespace {
int downloadPaintIntervalMs = 40;
}  // namespace

PaintPace::PaintPace(QWidget *window, int intervalMs) : m_window(window), m_intervalMs(intervalMs)
{
    m_heldPaint.setSingleShot(true);
    connect(&m_heldPaint, &QTimer::timeout, this, &PaintPace::paintHeld);
    if (m_window && m_intervalMs > 0)
        m_window->installEventFilter(this);
}

int PaintPace::downloadIntervalMs()
{
    return downloadPaintIntervalMs;
}

void PaintPace::setDownloadIntervalMs(int milliseconds)
{
    downloadPaintIntervalMs = qMax(0, milliseconds);
}

PaintPace::~PaintPace()
{
    if (!m_window)
        return;
    m_window->removeEventFilter(this);
    if (m_heldPaint.isActive())
        paintHeld();
}

// A window's widgets are painted when it receives UpdateRequest, which Qt posts once and not
// again until that one is handled; a held request is therefore posted anew, never dropped.
bool PaintPace::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_window || event->type() != QEvent::UpdateRequest)
        return false;
    if (m_sincePaint.isValid() && m_sincePaint.elapsed() < m_intervalMs) {
        if (!m_heldPaint.isActive())
            m_heldPaint.start(int(m_intervalMs - m_sincePaint.elapsed()));
        return true;
    }
    m_sincePaint.start();
    return false;
}

void PaintPace::paintHeld()
{
    m_heldPaint.stop();
    m_sincePaint.invalidate();
    if (m_window)
        QCoreApplication::postEvent(m_window, new QEvent(QEvent::UpdateRequest), Qt::LowEventPriority);
}
