#pragma once
// The append-only error log "errorlog.txt" in the program folder: one record per fetched
// message, written whether the fetch worked or not. Every failure of its own is swallowed.

#include <QString>

void appendErrorLogRecord(const QString &lastErrorText);
QString errorLogPath();
