#include "core/ErrorLog.h"

#include "core/GeneralDate.h"
#include "platform/InvisibleCharacters.h"
#include "platform/PrivateFiles.h"
#include "core/ProgramFolder.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sys/stat.h>

namespace {

QString stateFolder()
{
    const QString fromEnvironment = qEnvironmentVariable("XDG_STATE_HOME");
    if (!fromEnvironment.isEmpty() && QDir::isAbsolutePath(fromEnvironment))
        return fromEnvironment;
    return QDir::homePath() + QStringLiteral("/.local/state");
}

}  // namespace

QString oneLineLogText(const QString &text)
{
    QString line;
    line.reserve(text.size());
    for (qsizetype at = 0; at < text.size(); ++at) {
        const QChar c = text.at(at);
        const char16_t code = c.unicode();
        if (c.isHighSurrogate() && at + 1 < text.size() && text.at(at + 1).isLowSurrogate()) {
            line += c;
            line += text.at(++at);
        } else if (code == '\\') {
            line += QStringLiteral("\\\\");
        } else if (code == '\r') {
            line += QStringLiteral("\\r");
        } else if (code == '\n') {
            line += QStringLiteral("\\n");
        } else if (code == '\t') {
            line += QStringLiteral("\\t");
        } else if (code <= 0xff && platform::isInvisibleControl(code)) {
            line += QStringLiteral("\\x%1").arg(int(code), 2, 16, QLatin1Char('0'));
        } else if (platform::isInvisibleControl(code) || c.isSurrogate()) {
            // A lone half of a surrogate pair has no UTF-8 form: it is shown by its number.
            line += QStringLiteral("\\u%1").arg(int(code), 4, 16, QLatin1Char('0'));
        } else {
            line += c;
        }
    }
    return line;
}

QString errorLogPath()
{
    if (!programIsInstalled() && QFileInfo(programFolder()).isWritable())
        return programFile(QStringLiteral("errorlog.txt"));
    return stateFolder() + QStringLiteral("/Tervane/errorlog.txt");
}

namespace {

constexpr QFile::Permissions OwnerOnlyFile =
    QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;

// The log is opened as it is created, owner-only from the start; its folders are made only
// when that fails, and its permissions narrowed only when they are wider, so a record costs
// one open and one write rather than a walk over its folders and a change of its mode.
void appendRecord(const QString &path, const QString &lastErrorText)
{
    QFile log(path);
    if (!log.open(QIODevice::WriteOnly | QIODevice::Append, OwnerOnlyFile)) {
        preparePrivateFile(path);
        if (!log.open(QIODevice::WriteOnly | QIODevice::Append))
            return;  // an unwritable log must not disturb a download
    }
    // Read from the open file: QFile::permissions() asks the system four times.
    struct stat info {};
    if (::fstat(log.handle(), &info) != 0 || (info.st_mode & 07777) != 0600)
        log.setPermissions(OwnerOnlyFile);
    const QString record = formatGeneralDate(QDateTime::currentDateTime()) + QStringLiteral(" : ")
        + oneLineLogText(lastErrorText) + QStringLiteral("\r\n") + QString(52, QLatin1Char('*'))
        + QStringLiteral("\r\n");
    log.write(record.toUtf8());
}

}  // namespace

void appendErrorLogRecord(const QString &lastErrorText)
{
    appendRecord(errorLogPath(), lastErrorText);
}

ErrorLogWriter::ErrorLogWriter() : m_path(errorLogPath()) {}

void ErrorLogWriter::append(const QString &lastErrorText) const
{
    appendRecord(m_path, lastErrorText);
}
