#include "core/ApplicationTitle.h"

#include "core/MessageBox.h"

namespace {
constexpr int LongestTitle = 40;
}

QString shortenedTitle(const QString &productName)
{
    QString title = productName;
    do {
        const int lastBlank = title.lastIndexOf(QLatin1Char(' '));
        // Without a blank, or with nothing but blanks before it, there is nothing left to cut.
        if (lastBlank < 0 || title.left(lastBlank).trimmed().isEmpty())
            break;
        title.truncate(lastBlank);
    } while (title.size() > LongestTitle);
    return title;
}

void ShortenTitle()
{
    setApplicationTitle(shortenedTitle(QStringLiteral("Quorvale")));
}
