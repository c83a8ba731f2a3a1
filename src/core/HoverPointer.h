#pragma once
// The pointer rule every window follows: over a push button the window shows its hand pointer
// (the program folder's "HAND-M.CUR", or the default pointer when there is none), over the
// window's background, frames, text boxes and lists the default pointer, and neither while
// the window shows the hourglass. One event filter serves every window.

#include <QCursor>
#include <QList>

class QWidget;

// Watches `widgets` (and `window` itself) for the pointer entering or moving over them, and
// sets `window`'s pointer by the rule above. Widgets added later are watched with another call.
void followHoverRule(QWidget *window, const QList<QWidget *> &widgets);

// The pointer `window` shows over its push buttons; until it is set, the default pointer.
void setHoverPointerImage(QWidget *window, const QCursor &pointer);
