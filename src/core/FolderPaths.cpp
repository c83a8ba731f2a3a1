#include "core/FolderPaths.h"

#include "core/AppError.h"
#include "platform/Dialogs.h"

#include <QStandardPaths>

namespace {

// One left-to-right pass: a pair of `separator` becomes one, a single one stays.
QString collapsePairs(const QString &text, QChar separator)
{
    QString result;
    result.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        result += text[i];
        if (text[i] == separator && i + 1 < text.size() && text[i + 1] == separator)
            ++i;
    }
    return result;
}

QString collapseAllPairs(const QString &text)
{
    return collapsePairs(collapsePairs(text, QLatin1Char('\\')), QLatin1Char('/'));
}

QString withoutLeading(const QString &text, QChar separator)
{
    int start = 0;
    while (start < text.size() && text[start] == separator)
        ++start;
    return text.mid(start);
}

}  // namespace

QString SpecialFolderPath(int id)
{
    if (id != 0)
        apperror::throwInvalidArgument();
    QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (desktop.isEmpty())
        apperror::throwInvalidArgument();
    while (desktop.endsWith(QLatin1Char('/')))
        desktop.chop(1);
    return desktop + QLatin1Char('/');
}

QString NormalizeBackslashes(const QString &path)
{
    const QChar backslash = QLatin1Char('\\');
    const QChar slash = QLatin1Char('/');
    if (path.startsWith(backslash))
        return QStringLiteral("\\\\") + collapseAllPairs(withoutLeading(path, backslash));
    if (path.startsWith(slash))
        return slash + collapseAllPairs(withoutLeading(path, slash));
    return collapseAllPairs(path);
}

QString BrowseForFolder(QWidget *owner, const QString &prompt, const QString &startFolder)
{
    return platform::dialogs().browseForFolder(owner, prompt, startFolder);
}
