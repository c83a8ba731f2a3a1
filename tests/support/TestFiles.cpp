#include "TestFiles.h"

#include <QDirIterator>
#include <QFile>

QStringList filesContaining(const QString &folder, const QString &text)
{
    QStringList found;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        if (file.open(QIODevice::ReadOnly) && file.readAll().contains(text.toUtf8()))
            found << file.fileName();
    }
    return found;
}

int errorLogRecords(const QString &programFolder)
{
    QFile log(programFolder + QStringLiteral("/errorlog.txt"));
    if (!log.open(QIODevice::ReadOnly))
        return 0;
    return QString::fromUtf8(log.readAll()).count(QString(52, QLatin1Char('*')) + QStringLiteral("\r\n"));
}
