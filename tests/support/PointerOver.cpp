#include "PointerOver.h"

#include <QWidget>
#include <QWindow>
#include <QtTest>

Qt::CursorShape pointerOver(QWidget *widget)
{
    QWidget *window = widget->window();
    window->show();
    if (!QTest::qWaitForWindowExposed(window))
        return Qt::BlankCursor;
    const QRect area = widget->rect();
    for (int y = area.top() + 1; y < area.bottom(); y += 2) {
        for (int x = area.left() + 1; x < area.right(); x += 2) {
            const QPoint at = widget->mapTo(window, QPoint(x, y));
            QWidget *under = window->childAt(at);
            if (!under)
                under = window;
            if (under != widget)
                continue;
            QTest::mouseMove(window->windowHandle(), at);
            return under->cursor().shape();
        }
    }
    return Qt::BlankCursor;
}
