#include "core/TextSearch.h"

QString foldCase(const QString &text)
{
    return text.toCaseFolded();
}

bool containsFolded(const QString &text, const QString &foldedNeedle)
{
    return text.toCaseFolded().contains(foldedNeedle, Qt::CaseSensitive);
}

bool containsIgnoringCase(const QString &text, const QString &needle)
{
    return containsFolded(text, foldCase(needle));
}
