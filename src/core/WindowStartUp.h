#pragma once
// The start-up every window shares: its look, the program's icon (with the title, when the
// window names one) and the hand pointer over its buttons when the program folder holds one.
// Each step is a numbered statement of the window's own start-up procedure.

#include <QString>
#include <array>

class Procedure;
class QWidget;

// `lines`: the window's statement numbers for the look, the icon, the test for the pointer
// file and the pointer. `look` defaults to flat colours; an empty `title` keeps the window's.
void startWindow(Procedure &p, QWidget *window, const std::array<int, 4> &lines,
                 const QString &title = QString(), void (*look)(QWidget *) = nullptr);
