#include "print/RunIndex.h"

#include <QFile>

namespace {

const QByteArray Utf8Mark("\xEF\xBB\xBF");

// A spreadsheet that opens the file treats a cell starting with one of these as a formula and
// runs it: a subject such as "=HYPERLINK(...)" or "@SUM(...)" from a stranger's mail would
// become live in the user's spreadsheet. A leading apostrophe makes the cell plain text.
bool readsAsFormula(const QString &value)
{
    if (value.isEmpty())
        return false;
    const QChar first = value.at(0);
    return first == QLatin1Char('=') || first == QLatin1Char('+') || first == QLatin1Char('-')
        || first == QLatin1Char('@');
}

bool needsQuotes(const QString &value)
{
    for (const QChar c : value) {
        if (c == QLatin1Char(',') || c == QLatin1Char('"') || c == QLatin1Char('\r') || c == QLatin1Char('\n'))
            return true;
    }
    return false;
}

}  // namespace

QString csvField(const QString &value)
{
    QString field = readsAsFormula(value) ? QLatin1Char('\'') + value : value;
    if (!needsQuotes(field))
        return field;
    field.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + field + QLatin1Char('"');
}

QByteArray csvRecord(const QStringList &fields)
{
    QStringList cells;
    cells.reserve(fields.size());
    for (const QString &field : fields)
        cells << csvField(field);
    return (cells.join(QLatin1Char(',')) + QStringLiteral("\r\n")).toUtf8();
}

QStringList runIndexHeader()
{
    return {QStringLiteral("Count"), QStringLiteral("File"), QStringLiteral("Received"), QStringLiteral("From"),
            QStringLiteral("To"), QStringLiteral("Subject"), QStringLiteral("Message-ID"), QStringLiteral("Pages"),
            QStringLiteral("Attachments"), QStringLiteral("Result")};
}

QString indexDateTime(const QDateTime &dateTime)
{
    if (!dateTime.isValid())
        return QString();
    return dateTime.toLocalTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
}

QStringList runIndexCells(const RunIndexRow &row)
{
    return {QString::number(row.count),
            row.file,
            indexDateTime(row.received),
            row.from,
            row.to,
            row.subject,
            row.messageId,
            row.pages < 0 ? QString() : QString::number(row.pages),
            row.attachments.join(QStringLiteral("; ")),
            row.result};
}

RunIndex::RunIndex(const QString &folder)
{
    m_path = folder;
    if (!m_path.isEmpty() && !m_path.endsWith(QLatin1Char('/')))
        m_path += QLatin1Char('/');
    m_path += QStringLiteral("index.csv");
}

bool RunIndex::append(const RunIndexRow &row, QString *error)
{
    QFile file(m_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        *error = QStringLiteral("The index %1 could not be opened: %2").arg(m_path, file.errorString());
        return false;
    }
    QByteArray bytes;
    if (file.size() == 0)
        bytes = Utf8Mark + csvRecord(runIndexHeader());
    bytes += csvRecord(runIndexCells(row));
    const bool written = file.write(bytes) == bytes.size() && file.flush();
    const QString reason = file.errorString();
    file.close();
    if (!written || file.error() != QFileDevice::NoError) {
        *error = QStringLiteral("The index %1 could not be written: %2").arg(m_path, reason);
        return false;
    }
    return true;
}
