#include "imap/LargestMessageSetting.h"

#include "core/SettingsStore.h"
#include "imap/ImapResponseReader.h"

qint64 largestMessageWithoutSize()
{
    bool ok = false;
    const qint64 megabytes = getSetting(QStringLiteral("LargestMessageMB")).trimmed().toLongLong(&ok);
    if (!ok || megabytes <= 0)
        return ImapResponseReader::defaultMaxMessageSize;
    return qMin(megabytes, ImapResponseReader::maxLiteralSize >> 20) << 20;
}
