#pragma once
// The main window's look: flat colours and, when the program folder holds one, a skin.

#include <QCursor>
#include <QString>

class QWidget;

// Gives `window` and every radio button, check box, group box and label on it the palette's
// button colour as background.
void FlattenColors(QWidget *window);

// When <program folder>/x/o.cjs exists: flattens the main window's colours, then loads that
// skin (a Qt style sheet) into the window's skin component "SkinFramework1" and applies it.
// Without the file the window keeps its look.
void SkinMainWindow(QWidget *mainWindow);

// The hand pointer every window shows over its buttons (the program folder's "HAND-M.CUR").
// Raises "Invalid picture" when the file is not an image.
QCursor loadPointerImage(const QString &path);
