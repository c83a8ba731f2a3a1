#include "print/CreatePdfFile.h"

#include "core/GeneralDate.h"
#include "core/Procedure.h"
#include "mail/MessageEntry.h"
#include "print/PdfFileName.h"

QString CreatePDF_File(const PdfNameRequest &request, const MessageEntry &message, QString *whyNone)
{
    Procedure p(QStringLiteral("Form3"), QStringLiteral("CreatePDF_File"));
    QString pattern;
    QList<PdfNameField> fields;
    auto add = [&](const char *field, const QString &value) {
        fields.append({QLatin1String(field), value});
    };
    QString name;
    QString path;
    p(100, [&] { pattern = request.pattern; });
    p(102, [&] { add("<Count>", QString::number(request.count)); });
    p(104, [&] { add("<Current Date>", pdfNameDate(request.now.date())); });
    p(106, [&] { add("<Subject>", message.Subject); });
    p(108, [&] { add("<From>", message.From); });
    p(110, [&] { add("<From Name>", message.FromName); });
    p(112, [&] { add("<From Address>", message.FromAddress); });
    // The date is read only when the pattern asks for it: a message without a readable date
    // must not raise an error box for a pattern that never shows it. Unread, the field stays.
    fields.append({QStringLiteral("<Received Date>"), std::nullopt});
    if (pattern.contains(QLatin1String("<Received Date>"), Qt::CaseInsensitive)) {
        p(116, [&] {
            fields.last().value = receivedDateForName(message.ReceivedDateTime);
        });
    }
    p(118, [&] { add("<Current Time>", formatLongTime(request.now.time())); });
    p(120, [&] { add("<To>", request.userName); });
    p(120, [&] { name = fillPdfNamePattern(pattern, fields); });
    p(122, [&] { name = cleanPdfName(name); });
    p(154, [&] { path = pdfOutputPath(request.folder, name); });
    if (path.isEmpty() && whyNone)
        *whyNone = QStringLiteral("The file name pattern gives no name for this message.");
    return path;
}
