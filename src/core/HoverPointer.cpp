#include "core/HoverPointer.h"

#include <QEvent>
#include <QPushButton>
#include <QVariant>
#include <QWidget>

namespace {

const char PointerImageProperty[] = "quorvaleHoverPointer";

class HoverRule : public QObject {
public:
    // Each watched widget is remembered with its window: a frame on a main window must set
    // the main window's pointer, not its own.
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Enter && event->type() != QEvent::MouseMove)
            return false;
        auto *window = watched->property(WindowProperty).value<QWidget *>();
        if (!window || window->cursor().shape() == Qt::WaitCursor)
            return false;
        if (qobject_cast<QPushButton *>(watched))
            window->setCursor(window->property(PointerImageProperty).value<QCursor>());
        else
            window->setCursor(Qt::ArrowCursor);
        return false;
    }

    static constexpr const char *WindowProperty = "quorvaleHoverWindow";
};

HoverRule &hoverRule()
{
    static HoverRule rule;
    return rule;
}

void watch(QWidget *window, QWidget *widget)
{
    widget->setProperty(HoverRule::WindowProperty, QVariant::fromValue(window));
    widget->installEventFilter(&hoverRule());
}

}  // namespace

void followHoverRule(QWidget *window, const QList<QWidget *> &widgets)
{
    if (!window->property(PointerImageProperty).isValid())
        setHoverPointerImage(window, QCursor());
    watch(window, window);
    for (QWidget *widget : widgets) {
        if (widget)
            watch(window, widget);
    }
}

void setHoverPointerImage(QWidget *window, const QCursor &pointer)
{
    window->setProperty(PointerImageProperty, QVariant::fromValue(pointer));
}
