#pragma once
// Text files addressed by small file numbers, as the program's procedures use them: one open
// file per number, read line by line or written line by line. Text is UTF-8, lines end in
// CR LF when written and in LF or CR LF when read. Every failure raises AppError naming the
// path, so it reaches the calling window's error box.

#include <QString>

// The lowest number (1 to 255) not in use.
int FreeFileNumber();
// Opens `path` under `fileNumber` (1 to 511): for line input when `forReading`, otherwise for
// output, created or emptied.
void OpenTextFile(const QString &path, int fileNumber, bool forReading);
// Writes `text` and CR LF. Nothing is held back in a buffer: a full disk fails here.
void WriteTextLine(const QString &text, int fileNumber);
// The next line without its line end; a UTF-8 byte-order mark before the first is dropped.
QString ReadTextLine(int fileNumber);
// True when a file open for reading has no more lines (a file open for output is at its end).
bool AtEndOfFile(int fileNumber);
// Closes `fileNumber` (when open), then every other file the program has open.
void CloseTextFile(int fileNumber);
// Closes every open file, then answers the whole of `path` as UTF-8 text (empty file, empty
// text; a byte-order mark is kept as it is).
QString ReadWholeFile(const QString &path);
