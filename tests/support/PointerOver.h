#pragma once
// The pointer a user sees over a widget, found the way the window system finds it.

#include <qnamespace.h>

class QWidget;

// Shows the widget's window, moves the mouse onto a point of `widget` that none of its
// children covers (through the window system's own mouse path, so the widgets get the enter,
// leave and move events Qt really sends), and answers the pointer in force there: the
// effective cursor of the widget under the point. Qt::BlankCursor when no such point exists.
Qt::CursorShape pointerOver(QWidget *widget);
