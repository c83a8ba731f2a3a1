#pragma once
// Searching text the way the user means it, the same in every locale.

#include <QString>

// Whether `text` contains `needle`, letters compared by Unicode case folding. The locale plays
// no part: in Turkish, lower-casing "I" gives a dotless "ı", and "INVOICE" would not find
// "invoice".
bool containsIgnoringCase(const QString &text, const QString &needle);

// For passes over many texts with one needle: fold the needle once with foldCase, then test
// each text with containsFolded.
QString foldCase(const QString &text);
bool containsFolded(const QString &text, const QString &foldedNeedle);
