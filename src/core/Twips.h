#pragma once
// Designed positions are in twips; 15 twips are one logical pixel.

#include <QRect>
#include <QString>
#include <QtGlobal>

inline int twips(int value)
{
    return qRound(value / 15.0);
}

inline QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(twips(left), twips(top), twips(width), twips(height));
}

// Names a new control as the window's designer did and puts it at its designed place.
template <typename Widget>
Widget *place(Widget *widget, const char *name, const QRect &geometry)
{
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(geometry);
    return widget;
}
