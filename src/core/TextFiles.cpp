#include "core/TextFiles.h"

#include "core/AppError.h"

#include <QFile>

#include <map>
#include <memory>

namespace {

constexpr int HighestFileNumber = 511;
constexpr int HighestFreeFileNumber = 255;

struct OpenFile {
    QFile file;
    bool forReading = false;
    bool firstLine = true;
};

std::map<int, std::unique_ptr<OpenFile>> &openFiles()
{
    static std::map<int, std::unique_ptr<OpenFile>> files;
    return files;
}

[[noreturn]] void fail(long number, const QString &description)
{
    throw AppError(description, number);
}

void checkNumber(int fileNumber)
{
    if (fileNumber < 1 || fileNumber > HighestFileNumber)
        fail(52, QStringLiteral("Bad file name or number: %1").arg(fileNumber));
}

OpenFile &openFile(int fileNumber)
{
    checkNumber(fileNumber);
    const auto found = openFiles().find(fileNumber);
    if (found == openFiles().end())
        fail(52, QStringLiteral("Bad file name or number: file %1 is not open").arg(fileNumber));
    return *found->second;
}

QString accessError(const QString &what, const QFile &file)
{
    return QStringLiteral("%1 %2: %3").arg(what, file.fileName(), file.errorString());
}

void closeAll()
{
    openFiles().clear();
}

}  // namespace

int FreeFileNumber()
{
    for (int number = 1; number <= HighestFreeFileNumber; ++number) {
        if (openFiles().count(number) == 0)
            return number;
    }
    fail(67, QStringLiteral("Too many files"));
}

void OpenTextFile(const QString &path, int fileNumber, bool forReading)
{
    checkNumber(fileNumber);
    if (openFiles().count(fileNumber) != 0)
        fail(55, QStringLiteral("File already open: file %1 (%2)")
                     .arg(fileNumber)
                     .arg(openFiles()[fileNumber]->file.fileName()));
    auto entry = std::make_unique<OpenFile>();
    entry->file.setFileName(path);
    entry->forReading = forReading;
    if (forReading) {
        if (!QFile::exists(path))
            fail(53, QStringLiteral("File not found: %1").arg(path));
        if (!entry->file.open(QIODevice::ReadOnly))
            fail(75, accessError(QStringLiteral("Cannot open for reading"), entry->file));
    } else {
        // Unbuffered, so that a write the disk refuses fails in WriteTextLine, not later.
        if (!entry->file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
            fail(75, accessError(QStringLiteral("Cannot open for writing"), entry->file));
    }
    openFiles()[fileNumber] = std::move(entry);
}

void WriteTextLine(const QString &text, int fileNumber)
{
    OpenFile &entry = openFile(fileNumber);
    if (entry.forReading)
        fail(54, QStringLiteral("Bad file mode: %1 is open for reading").arg(entry.file.fileName()));
    const QByteArray bytes = text.toUtf8() + "\r\n";
    if (entry.file.write(bytes) != bytes.size())
        fail(61, accessError(QStringLiteral("Cannot write to"), entry.file));
}

QString ReadTextLine(int fileNumber)
{
    OpenFile &entry = openFile(fileNumber);
    if (!entry.forReading)
        fail(54, QStringLiteral("Bad file mode: %1 is open for output").arg(entry.file.fileName()));
    if (entry.file.atEnd())
        fail(62, QStringLiteral("Input past end of file: %1").arg(entry.file.fileName()));
    QByteArray line = entry.file.readLine();
    if (line.endsWith('\n'))
        line.chop(1);
    if (line.endsWith('\r'))
        line.chop(1);
    if (entry.firstLine && line.startsWith("\xEF\xBB\xBF"))
        line.remove(0, 3);
    entry.firstLine = false;
    return QString::fromUtf8(line);
}

bool AtEndOfFile(int fileNumber)
{
    OpenFile &entry = openFile(fileNumber);
    return !entry.forReading || entry.file.atEnd();
}

void CloseTextFile(int fileNumber)
{
    checkNumber(fileNumber);
    openFiles().erase(fileNumber);
    closeAll();
}

QString ReadWholeFile(const QString &path)
{
    closeAll();
    QFile file(path);
    if (!QFile::exists(path))
        fail(53, QStringLiteral("File not found: %1").arg(path));
    if (!file.open(QIODevice::ReadOnly))
        fail(75, accessError(QStringLiteral("Cannot open for reading"), file));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        fail(57, accessError(QStringLiteral("Cannot read"), file));
    return QString::fromUtf8(bytes);
}
