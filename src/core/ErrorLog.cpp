#include "core/ErrorLog.h"

#include "core/ProgramFolder.h"

#include <QDateTime>
#include <QFile>
#include <QLocale>

#include "core/GeneralDate.h"

QString errorLogPath()
{
    return programFile(QStringLiteral("errorlog.txt"));
}

void appendErrorLogRecord(const QString &lastErrorText)
{
    QFile log(errorLogPath());
    if (!log.open(QIODevice::WriteOnly | QIODevice::Append))
        return;  // a read-only program folder must not disturb a download
    const QString record = formatGeneralDate(QDateTime::currentDateTime()) + QStringLiteral(" : ")
        + lastErrorText + QStringLiteral("\r\n") + QString(52, QLatin1Char('*'))
        + QStringLiteral("\r\n");
    log.write(record.toUtf8());
}
