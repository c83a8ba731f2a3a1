#include "print/PdfFileName.h"

#include "core/AppError.h"
#include "core/GeneralDate.h"

namespace {

const QString PdfExtension = QStringLiteral(".pdf");
constexpr int FolderAndNameLimit = 250;

}  // namespace

const QString &defaultPdfNamePattern()
{
    static const QString pattern = QStringLiteral("<Count> - <Current Date> <Subject>");
    return pattern;
}

QString pdfNameDate(const QDate &date)
{
    return date.toString(QStringLiteral("MM-dd-yyyy"));
}

QString receivedDateForName(const std::optional<QDateTime> &dateTime, const QString &dateText)
{
    if (dateTime) {
        if (!dateTime->isValid())
            apperror::throwTypeMismatch();
        return pdfNameDate(dateTime->toLocalTime().date());
    }
    const std::optional<QDateTime> readBack = parseGeneralDate(dateText);
    if (!readBack)
        apperror::throwTypeMismatch();
    return pdfNameDate(readBack->date());
}

QString cleanPdfName(const QString &filled)
{
    QString name;
    name.reserve(filled.size());
    for (const QChar c : filled) {
        switch (c.unicode()) {
        case '/': case '\\': case '*': case ':': case '?': case '<': case '>': case '|':
            name += QLatin1Char(' ');
            break;
        case '\'': case '"': case '#': case '\r': case '\n': case 0:
            break;
        default:
            name += c;
        }
    }
    qsizetype start = 0;
    qsizetype end = name.size();
    while (start < end && name.at(start) == QLatin1Char(' '))
        ++start;
    while (end > start && name.at(end - 1) == QLatin1Char(' '))
        --end;
    return name.mid(start, end - start);
}

QString leftCharacters(const QString &text, int count)
{
    qsizetype units = 0;
    for (int taken = 0; taken < count && units < text.size(); ++taken)
        units += text.at(units).isHighSurrogate() && units + 1 < text.size() ? 2 : 1;
    return text.left(units);
}

QString cutToUtf8Bytes(const QString &text, int maxBytes)
{
    qsizetype units = 0;
    int bytes = 0;
    while (units < text.size()) {
        const bool pair = text.at(units).isHighSurrogate() && units + 1 < text.size()
            && text.at(units + 1).isLowSurrogate();
        const char32_t code = pair ? QChar::surrogateToUcs4(text.at(units), text.at(units + 1))
                                   : text.at(units).unicode();
        const int size = code < 0x80 ? 1 : code < 0x800 ? 2 : code < 0x10000 ? 3 : 4;
        if (bytes + size > maxBytes)
            break;
        bytes += size;
        units += pair ? 2 : 1;
    }
    return text.left(units);
}

QString pdfOutputPath(const QString &folder, const QString &name)
{
    if (name.isEmpty())
        return QString();
    QString prefix = folder;
    if (!prefix.isEmpty() && !prefix.endsWith(QLatin1Char('/')))
        prefix += QLatin1Char('/');
    const int folderCharacters = int(prefix.toUcs4().size());
    QString fitted = name;
    if (folderCharacters < FolderAndNameLimit)
        fitted = leftCharacters(fitted, FolderAndNameLimit - folderCharacters);
    fitted = cutToUtf8Bytes(fitted, FileNameByteLimit - CollisionSuffixReserve
                                        - int(PdfExtension.size()));
    return prefix + fitted + PdfExtension;
}
