#pragma once
// Giving a finished PDF its name without ever replacing a file: it is written beside the
// target under a temporary name, then takes the target's name or, when that is taken,
// "name (2).pdf", "name (3).pdf" … The claim is a hard link, which fails rather than replace,
// so a file that appears under the name meanwhile is safe too.

#include <QString>

// A new, empty file beside `target` to write into; empty with the reason when none could be made.
QString newPartFile(const QString &target, QString *reason);

// Gives the file at `part` the first free name for `target` and answers it; empty with the
// reason when none could be given (the part file is then still there).
QString claimFreePdfName(const QString &part, const QString &target, QString *reason);
