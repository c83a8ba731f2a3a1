#pragma once
// Designed positions are in twips; 15 twips are one logical pixel.

#include <QRect>
#include <QtGlobal>

inline int twips(int value)
{
    return qRound(value / 15.0);
}

inline QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(twips(left), twips(top), twips(width), twips(height));
}
