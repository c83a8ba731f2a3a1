#pragma once
// Text-to-value conversions with the program's failure rules: a text that is not a number
// raises "Type mismatch", a number out of range raises "Overflow".

#include <QString>
#include <QtGlobal>

// A whole number written as text ("3", " -2 ", "2.5" rounds half to even). Fails on
// anything else, and on values outside 32 bits.
qint32 toInteger(const QString &text);
// "True"/"False" in any letter case, or a number (non-zero is true). Fails on anything else.
bool toBoolean(const QString &text);
// The number at the start of a text: leading blanks skipped, then sign, digits, a decimal
// point and an exponent as far as they go; blanks between digits are ignored. No number is 0.
double leadingNumber(const QString &text);
// Nearest whole number, exact halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
double roundHalfToEven(double value);
// The same, as a 32-bit integer; fails with "Overflow" outside that range.
qint32 roundToInteger(double value);
