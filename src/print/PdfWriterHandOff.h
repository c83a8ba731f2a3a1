#pragma once
// What the program tells the PDF writer before each job: the file to write ("OutputFile") and
// whether to write it without asking ("BypassSaveAs" = "1"). The writer's own per-user store,
// an INI file named after the writer: <XDG config folder>/Tervane PDF Writer.conf, readable only
// by the user (0600: the path names a message by its subject). The values stay there after the
// program ends; the next hand-off overwrites them.

#include <QString>

struct PdfWriterHandOff {
    QString outputFile;
    QString bypassSaveAs;

    bool bypassesSaveAs() const { return bypassSaveAs == QLatin1String("1"); }
};

QString pdfWriterHandOffPath();

// Writes "OutputFile" = `outputFile` and "BypassSaveAs" = "1". Raises AppError naming the
// store when it cannot be written.
void writePdfWriterHandOff(const QString &outputFile);
// The values as they are now (read from the file each time); empty texts when there are none.
PdfWriterHandOff readPdfWriterHandOff();
