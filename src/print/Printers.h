#pragma once
// The printer procedures every window shares: is the PDF writer there, make a printer the
// default, read the default's name. Printers are known by device name, compared exactly.

#include "print/PdfWriterName.h"

#include <QString>

// Shows the installation instructions when no printer is named exactly like the PDF writer.
// A print service that cannot be asked raises AppError (reported by the calling procedure).
void CheckPDFWriter();
// Makes `deviceName` the user's default printer; false when it could not, with the box
// "Cannot set printer." only when `showFailure`.
bool SetDefaultPrinter(const QString &deviceName, bool showFailure);
// The default printer's device name; empty text after showing the error box when there is none
// or it cannot be read.
QString GetDefaultPrinter();
