#pragma once
// The append-only error log "errorlog.txt": one record per fetched message, written whether
// the fetch worked or not. Every failure of its own is swallowed.
//
// It lives in the program folder when the program runs from its build folder and may write
// there; an installed program, or one whose folder is read-only, keeps it in
// $XDG_STATE_HOME/Tervane (normally ~/.local/state/Tervane). Only its owner may read it.

#include <QString>

void appendErrorLogRecord(const QString &lastErrorText);
QString errorLogPath();
