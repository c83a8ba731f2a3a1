#pragma once
// Looking into the files a test made the program write.

#include <QByteArray>
#include <QString>
#include <QStringList>

// Paths of the files under `folder` whose bytes contain `text`.
QStringList filesContaining(const QString &folder, const QString &text);
// Records in "errorlog.txt" of `programFolder` (each ends in a line of 52 asterisks).
int errorLogRecords(const QString &programFolder);
// A PNG of random pixels, so that it does not compress away.
QByteArray noisyPng(int width, int height);
