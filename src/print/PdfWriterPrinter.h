#pragma once
// Puts the program's PDF writer among the printers (see Printers.h for its name).

// Registers the PDF writer with the printer system. Safe to call again.
void registerPdfWriterPrinter();
