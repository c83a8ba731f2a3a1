#pragma once

#include <QString>

// The device name of the program's own PDF printer; device names compare exactly.
inline const QString &pdfWriterName()
{
    static const QString name = QStringLiteral("Tervane PDF Writer");
    return name;
}
