#pragma once
// The pieces of a PDF file's name: filling a pattern's fields, the characters a name may not
// hold, and fitting the name to the output folder and to the file system's limits. Plain
// functions; CreatePdfFile.h runs them in order for one message.

#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

// The pattern a new user starts with.
const QString &defaultPdfNamePattern();

// "mm-dd-yyyy", the form every date in a file name takes.
QString pdfNameDate(const QDate &date);

// The text of "<Received Date>" for the message's date-time. Raises AppError (type mismatch) for
// a message without a date.
QString receivedDateForName(const QDateTime &dateTime);

// One field of the pattern, such as "<Subject>", and its text; a field without a value (a date
// that could not be read) stays as typed.
struct PdfNameField {
    QString field;
    std::optional<QString> value;
};

// `pattern` with every field (any letter case) replaced by its value, in one pass: a value
// that itself holds a field's name, say a subject "<To>", stays as written.
QString fillPdfNamePattern(const QString &pattern, const QList<PdfNameField> &fields);

// Makes a filled pattern a name that is plain text and safe to list and to pass to other
// programs: each of / \ * : ? < > |, tab, vertical tab and form feed becomes a blank;
// apostrophes, double quotes, "#", every other control character (line breaks, NUL, ESC,
// DEL, C1), the line and paragraph separators, the bidirectional marks, embeddings, overrides
// and isolates, and halves of surrogate pairs disappear; blanks, dots and hyphens at the start
// and blanks at the end are trimmed.
QString cleanPdfName(const QString &filled);

// The first `count` characters of `text`, counting a character outside the basic plane as one.
QString leftCharacters(const QString &text, int count);
// `text` cut at its end to at most `maxBytes` bytes of UTF-8, never inside a character.
QString cutToUtf8Bytes(const QString &text, int maxBytes);

// The longest a file name may be, in UTF-8 bytes.
inline constexpr int FileNameByteLimit = 255;
// Room kept in every name for the writer's " (n)" against collisions (up to 99999 copies).
inline constexpr int CollisionSuffixReserve = 8;

// The full path of the PDF for `name` in `folder`: a "/" between them when the folder has
// none at its end; the name cut so that folder and name hold at most 250 characters (a folder
// that alone reaches 250 leaves the name to the byte limit only) and so that the name with a
// collision suffix and ".pdf" fits in one file name. Empty when `name` is empty.
QString pdfOutputPath(const QString &folder, const QString &name);
