#include "core/HoverPointer.h"

#include <QEvent>
#include <QPointer>
#include <QPushButton>
#include <QVariant>
#include <QWidget>

namespace {

const char PointerImageProperty[] = "quorvaleHoverPointer";
const char RuleName[] = "quorvaleHoverRule";

// The hand is each button's own pointer, so the window system shows it exactly while the mouse
// is over the button and the window's pointer everywhere else, whatever order the enter and
// leave events come in. The window's own pointer is the busy state: while it is the hourglass
// the buttons give theirs up, so the hourglass shows over them too.
class HoverRule : public QObject {
public:
    explicit HoverRule(QWidget *window) : QObject(window), m_window(window), m_busy(isBusy())
    {
        setObjectName(QLatin1String(RuleName));
        window->installEventFilter(this);
    }

    void addButton(QPushButton *button)
    {
        m_buttons.append(button);
        apply(button);
    }

    void applyToAll()
    {
        for (const QPointer<QPushButton> &button : std::as_const(m_buttons)) {
            if (button)
                apply(button);
        }
    }

    // The window hears of more pointer changes than its own (the window system's, and those
    // the buttons' own changes cause), so only a change between busy and not busy counts.
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_window && event->type() == QEvent::CursorChange && isBusy() != m_busy) {
            m_busy = !m_busy;
            applyToAll();
        }
        return false;
    }

private:
    bool isBusy() const
    {
        return m_window->testAttribute(Qt::WA_SetCursor)
            && m_window->cursor().shape() == Qt::WaitCursor;
    }

    void apply(QPushButton *button) const
    {
        if (m_busy)
            button->unsetCursor();
        else
            button->setCursor(m_window->property(PointerImageProperty).value<QCursor>());
    }

    QWidget *m_window;
    bool m_busy;
    QList<QPointer<QPushButton>> m_buttons;
};

HoverRule *ruleOf(QWidget *window)
{
    return window->findChild<HoverRule *>(QLatin1String(RuleName), Qt::FindDirectChildrenOnly);
}

}  // namespace

void followHoverRule(QWidget *window, const QList<QWidget *> &widgets)
{
    if (!window->property(PointerImageProperty).isValid())
        window->setProperty(PointerImageProperty, QVariant::fromValue(QCursor()));
    HoverRule *rule = ruleOf(window);
    if (!rule)
        rule = new HoverRule(window);
    // Everything else shows the window's own pointer: the default, or the hourglass.
    for (QWidget *widget : widgets) {
        if (auto *button = qobject_cast<QPushButton *>(widget))
            rule->addButton(button);
    }
}

void setHoverPointerImage(QWidget *window, const QCursor &pointer)
{
    window->setProperty(PointerImageProperty, QVariant::fromValue(pointer));
    if (HoverRule *rule = ruleOf(window))
        rule->applyToAll();
}
