#include "print/CreatePdfFile.h"

#include "core/GeneralDate.h"
#include "core/Procedure.h"
#include "mail/MessageEntry.h"
#include "print/PdfFileName.h"
#include "print/PdfWriterHandOff.h"

namespace {

void fill(QString &name, const char *field, const QString &value)
{
    name.replace(QLatin1String(field), value, Qt::CaseInsensitive);
}

}  // namespace

QString CreatePDF_File(const PdfNameRequest &request, const MessageEntry &message)
{
    Procedure p(QStringLiteral("Form3"), QStringLiteral("CreatePDF_File"));
    QString name;
    QString path;
    p(100, [&] { name = request.pattern; });
    p(102, [&] { fill(name, "<Count>", QString::number(request.count)); });
    p(104, [&] { fill(name, "<Current Date>", pdfNameDate(request.now.date())); });
    p(106, [&] { fill(name, "<Subject>", message.Subject); });
    p(108, [&] { fill(name, "<From>", message.From); });
    p(110, [&] { fill(name, "<From Name>", message.FromName); });
    p(112, [&] { fill(name, "<From Address>", message.FromAddress); });
    // The date is read only when the pattern asks for it: a message without a readable date
    // must not raise an error box for a pattern that never shows it.
    if (name.contains(QLatin1String("<Received Date>"), Qt::CaseInsensitive)) {
        p(116, [&] {
            fill(name, "<Received Date>",
                 receivedDateForName(request.receivedDateTime, message.ReceivedDate));
        });
    }
    p(118, [&] { fill(name, "<Current Time>", formatLongTime(request.now.time())); });
    p(120, [&] { fill(name, "<To>", request.userName); });
    p(122, [&] { name = cleanPdfName(name); });
    if (name.isEmpty())
        return QString();
    p(154, [&] { path = pdfOutputPath(request.folder, name); });
    bool handedOff = false;
    p(164, [&] {
        writePdfWriterHandOff(path);
        handedOff = true;
    });
    return handedOff ? path : QString();
}
