#pragma once
// The index a Print All to the PDF writer keeps in its output folder: "index.csv", one row per
// message, appended as the run goes so that a run that stops leaves an index of what it did.
// RFC 4180 (CRLF line ends, quoted fields where needed), UTF-8 with a byte order mark so that
// spreadsheets read it as UTF-8; the mark and the header row only at the start of a new file.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

// One message of a run.
struct RunIndexRow {
    int count = 0;         // its position in the run, the "<Count>" of its PDF name
    QString file;          // the PDF's file name; empty when none was written
    QDateTime received;    // invalid when the message had no date
    QString from;
    QString to;
    QString subject;
    QString messageId;
    int pages = -1;        // -1: unknown (no PDF, or one that cannot be read)
    QStringList attachments;
    QString result;        // "printed", or why not
};

inline const QString &indexPrintedResult()
{
    static const QString printed = QStringLiteral("printed");
    return printed;
}

// One field as a CSV cell: formula guard, then quoting.
QString csvField(const QString &value);
// A whole record, CRLF at its end.
QByteArray csvRecord(const QStringList &fields);
// The header's column names and one row's cells, in the same order.
QStringList runIndexHeader();
QStringList runIndexCells(const RunIndexRow &row);
// "2026-12-09T15:04:05", local time: a form every spreadsheet reads as a date-time.
QString indexDateTime(const QDateTime &dateTime);

class RunIndex {
public:
    explicit RunIndex(const QString &folder);
    QString path() const { return m_path; }
    // Opens the file, adds the row (and, to a new or empty file, the mark and header first) in
    // one write and closes it again; false with the reason when that failed.
    bool append(const RunIndexRow &row, QString *error);

private:
    QString m_path;
};
