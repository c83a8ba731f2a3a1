#include "core/ErrorLog.h"

#include "core/GeneralDate.h"
#include "core/PrivateFiles.h"
#include "core/ProgramFolder.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QString stateFolder()
{
    const QString fromEnvironment = qEnvironmentVariable("XDG_STATE_HOME");
    if (!fromEnvironment.isEmpty() && QDir::isAbsolutePath(fromEnvironment))
        return fromEnvironment;
    return QDir::homePath() + QStringLiteral("/.local/state");
}

}  // namespace

QString errorLogPath()
{
    if (!programIsInstalled() && QFileInfo(programFolder()).isWritable())
        return programFile(QStringLiteral("errorlog.txt"));
    return stateFolder() + QStringLiteral("/Tervane/errorlog.txt");
}

void appendErrorLogRecord(const QString &lastErrorText)
{
    const QString path = errorLogPath();
    preparePrivateFile(path);
    QFile log(path);
    if (!log.open(QIODevice::WriteOnly | QIODevice::Append))
        return;  // an unwritable log must not disturb a download
    const QString record = formatGeneralDate(QDateTime::currentDateTime()) + QStringLiteral(" : ")
        + lastErrorText + QStringLiteral("\r\n") + QString(52, QLatin1Char('*'))
        + QStringLiteral("\r\n");
    log.write(record.toUtf8());
}
