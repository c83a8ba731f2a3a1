#include "print/PdfWriterHandOff.h"

#include "core/AppError.h"
#include "platform/PrivateFiles.h"
#include "print/PdfWriterName.h"

#include <QSettings>
#include <QStandardPaths>

namespace {

const QString OutputFileKey = QStringLiteral("OutputFile");
const QString BypassSaveAsKey = QStringLiteral("BypassSaveAs");

}  // namespace

QString pdfWriterHandOffPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QLatin1Char('/') + pdfWriterName() + QStringLiteral(".conf");
}

void writePdfWriterHandOff(const QString &outputFile)
{
    // The path names the message (its subject, its sender): only the user may read it. The
    // store keeps the file's permissions when it rewrites it.
    preparePrivateFile(pdfWriterHandOffPath());
    QSettings store(pdfWriterHandOffPath(), QSettings::IniFormat);
    store.setValue(OutputFileKey, outputFile);
    store.setValue(BypassSaveAsKey, QStringLiteral("1"));
    store.sync();
    if (store.status() != QSettings::NoError)
        throw AppError(QStringLiteral("Cannot hand the file name to the PDF writer: %1 could not "
                                      "be written.")
                           .arg(pdfWriterHandOffPath()));
}

PdfWriterHandOff readPdfWriterHandOff()
{
    // A fresh QSettings per job: the file may have changed since the last one.
    QSettings store(pdfWriterHandOffPath(), QSettings::IniFormat);
    return {store.value(OutputFileKey).toString(), store.value(BypassSaveAsKey).toString()};
}
