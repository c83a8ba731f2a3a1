// Rendering a message into a page file: the shown one (the message at the preview's current
// position) or one of Print All's hidden views' own.
//
// The page files and a copy of the logo live in the run's private temporary folder (never
// straight in a shared one); the shown page keeps the name "tmp.tmp", the logo
// "gmail_logo.gif", and a page is UTF-8 with a byte-order mark, so it shows every character
// whatever charset the message declared.

#include "print/Form3.h"

#include "core/AppError.h"
#include "core/ProgramFolder.h"
#include "core/Procedure.h"
#include "core/Utilities.h"
#include "platform/PrivateTempFolder.h"
#include "print/MessageHtml.h"
#include "print/PagePictures.h"

#include <QFile>

namespace {

QString pageFolder()
{
    const QString folder = platform::privateTempFolder();
    if (folder.isEmpty())
        throw AppError(QStringLiteral("No private temporary folder could be made."), 75);
    return folder;
}

}  // namespace

bool Form3::CreateHTMLFile()
{
    QString path;
    const bool written = writePageFile(CurrentEntry, QStringLiteral("tmp.tmp"), &path);
    HTMLFilePath = path;
    return written;
}

bool Form3::writePageFile(int position, const QString &fileName, QString *written)
{
    Procedure p(QStringLiteral("Form3"), QStringLiteral("CreateHTMLFile"));
    QString pageTemplate;
    MessageEntry entry;
    QString page;
    p(100, [&] { pageTemplate = ReadWholeFile(programFile(QStringLiteral("Base.tmp"))); });
    p(102, [&] { entry = entryAt(position); });
    if (p.test(112, [&] { return PrintAsHTML; })) {
        if (p.test(114, [&] { return !entry.HTMLTextBody.isEmpty(); }))
            p(116, [&] {
                const QString body = linkPagePictures(entry, entry.HTMLTextBody, pageFolder() + QLatin1Char('/') + fileName);
                page = fillMessageTemplate(pageTemplate, entry, isolatedHtmlBody(body));
            });
        else
            p(118, [&] { page = fillMessageTemplate(pageTemplate, entry, plainTextAsHtml(entry.PlainTextBody)); });
    } else {
        p(120, [&] { page = fillMessageTemplate(pageTemplate, entry, plainTextAsHtml(entry.PlainTextBody)); });
    }
    // A missing logo costs the page its picture only; every other failure leaves the page file
    // without this message.
    const int failuresBeforeLogo = p.failures();
    QString logoCopy;
    if (p.test(122, [&] {
            logoCopy = pageFolder() + QStringLiteral("/gmail_logo.gif");
            return !PathExists(logoCopy);
        })) {
        p(124, [&] {
            const QString logo = programFile(QStringLiteral("gmail_logo.gif"));
            if (!QFile::copy(logo, logoCopy))
                apperror::throwFileNotFound(logo);
        });
    }
    const int logoFailures = p.failures() - failuresBeforeLogo;
    int fileNumber = 0;
    QString path;
    p(126, [&] { fileNumber = FreeFileNumber(); });
    p(128, [&] { path = pageFolder() + QLatin1Char('/') + fileName; });
    p(130, [&] { OpenTextFile(path, fileNumber, false); });
    p(132, [&] { WriteTextLine(QChar(0xFEFF) + page, fileNumber); });
    p(134, [&] { CloseTextFile(fileNumber); });
    p(136, [&] { *written = path; });
    return p.failures() == logoFailures;
}
