#pragma once
// The pointer rule every window follows: over a push button the window shows its hand pointer
// (the program folder's "HAND-M.CUR", or the default pointer when there is none), over the
// window's background, frames, text boxes and lists the default pointer, and neither while
// the window shows the hourglass (the window's own pointer marks it busy).

#include <QCursor>
#include <QList>

class QWidget;

// Gives the push buttons among `widgets` the window's hand pointer, and takes it back from
// them while `window`'s own pointer is the hourglass. The other widgets show the window's
// pointer. Widgets added later join with another call.
void followHoverRule(QWidget *window, const QList<QWidget *> &widgets);

// The pointer `window` shows over its push buttons; until it is set, the default pointer.
void setHoverPointerImage(QWidget *window, const QCursor &pointer);
