#pragma once
// The append-only error log "errorlog.txt": one record per fetched message, written whether
// the fetch worked or not. Every failure of its own is swallowed.
//
// It lives in the program folder when the program runs from its build folder and may write
// there; an installed program, or one whose folder is read-only, keeps it in
// $XDG_STATE_HOME/Tervane (normally ~/.local/state/Tervane). Only its owner may read it.
//
// A record is one line of text, then a line of 52 asterisks, whatever the text holds (a
// decoded subject may carry line breaks):
// backslash, CR, LF and tab are written "\\", "\r", "\n" and "\t", the other control
// characters "\x1b" and the like, and the bidirectional marks, embeddings, overrides and
// isolates, the line and paragraph separators and broken surrogate halves "\u202e" and the
// like; so no text can forge a record or hide its own.

#include <QString>

void appendErrorLogRecord(const QString &lastErrorText);

// Appends records to the log found once, when it is made: for a loop that writes a record for
// every message it downloads, where finding the log's place anew each time cost more than
// writing the record.
class ErrorLogWriter {
public:
    ErrorLogWriter();
    void append(const QString &lastErrorText) const;

private:
    QString m_path;
};
QString errorLogPath();
// `text` as it appears in a record: on one line, escaped as above.
QString oneLineLogText(const QString &text);
