#pragma once
// Files the program adds to the user's folders (PDFs, attachments, a run's one PDF) never take
// the place of a file that is there: a taken name gets " (2)", " (3)" … before its extension.

#include <QByteArray>
#include <QString>
#include <optional>

// How far the numbering goes before a name counts as used up.
constexpr int MostCopies = 99999;

// True when something holds the name, a dangling link too.
bool nameTaken(const QString &path);

// The n-th candidate for `target`: for n = 1 its own name, else " (n)" put before `extension`
// (the ending of the name it keeps; may be empty), the name cut (never inside a character) to
// fit one file name.
QString numberedPath(const QString &target, int n, const QString &extension);

// numberedPath for a PDF: "stem (n).pdf" when `target` ends in ".pdf", else " (n)" at the end.
QString numberedPdfPath(const QString &target, int n);

// Writes `bytes` to `path`, which must not exist yet, in one go; the reason when it could not,
// with `*taken` true when another writer got the name first. A half-written file is removed.
// Plain system calls, so that a short write on a full disk comes back with its errno.
std::optional<QString> writeNewFile(const QString &path, const QByteArray &bytes, bool *taken);
