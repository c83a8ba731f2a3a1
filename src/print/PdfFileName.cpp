#include "print/PdfFileName.h"

#include "core/AppError.h"
#include "platform/InvisibleCharacters.h"

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

QString receivedDateForName(const QDateTime &dateTime)
{
    if (!dateTime.isValid())
        apperror::throwTypeMismatch();
    return pdfNameDate(dateTime.toLocalTime().date());
}

QString fillPdfNamePattern(const QString &pattern, const QList<PdfNameField> &fields)
{
    QString filled;
    filled.reserve(pattern.size() + 64);
    qsizetype at = 0;
    while (at < pattern.size()) {
        const PdfNameField *found = nullptr;
        if (pattern.at(at) == QLatin1Char('<')) {
            for (const PdfNameField &field : fields) {
                if (QStringView(pattern).mid(at).startsWith(field.field, Qt::CaseInsensitive)) {
                    found = &field;
                    break;
                }
            }
        }
        if (!found) {
            filled += pattern.at(at++);
            continue;
        }
        const qsizetype length = found->field.size();
        filled += found->value ? *found->value : pattern.mid(at, length);
        at += length;
    }
    return filled;
}

namespace {

enum class NameCharacter { Kept, Blank, Dropped };

NameCharacter classify(char32_t code)
{
    switch (code) {
    case '/': case '\\': case '*': case ':': case '?': case '<': case '>': case '|':
    case '\t': case '\v': case '\f':
        return NameCharacter::Blank;
    case '\'': case '"': case '#':
        return NameCharacter::Dropped;
    default:
        return platform::isInvisibleControl(code) ? NameCharacter::Dropped : NameCharacter::Kept;
    }
}

// A name that starts with "-" reads as an option to the program it is passed to, and one that
// starts with "." is hidden (or is "." or ".." itself).
qsizetype safeStart(const QString &name)
{
    qsizetype start = 0;
    while (start < name.size()
           && (name.at(start) == QLatin1Char(' ') || name.at(start) == QLatin1Char('.')
               || name.at(start) == QLatin1Char('-')))
        ++start;
    return start;
}

}  // namespace

QString cleanPdfName(const QString &filled)
{
    QString name;
    name.reserve(filled.size());
    for (qsizetype at = 0; at < filled.size(); ++at) {
        const QChar c = filled.at(at);
        if (c.isSurrogate()) {
            // A lone half of a pair is no character at all; a whole pair is kept as it is.
            if (c.isHighSurrogate() && at + 1 < filled.size() && filled.at(at + 1).isLowSurrogate()) {
                name += c;
                name += filled.at(++at);
            }
            continue;
        }
        switch (classify(c.unicode())) {
        case NameCharacter::Blank:
            name += QLatin1Char(' ');
            break;
        case NameCharacter::Dropped:
            break;
        case NameCharacter::Kept:
            name += c;
        }
    }
    const qsizetype start = safeStart(name);
    qsizetype end = name.size();
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
