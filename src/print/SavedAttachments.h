#pragma once
// Saving a message's attachments as files beside its PDF: "<PDF name> - <attachment name>",
// the attachment's name made safe the way PDF names are, and never over an existing file.

#include "mime/MailMessage.h"

#include <QString>
#include <QVector>

// What became of one attachment: the file written, or why none was.
struct SavedAttachment {
    QString fileName;  // the attachment's own name, as the message gave it
    QString path;      // the file written; empty when none was
    QString failure;   // why no file was written; empty when one was
};

// The path the attachment `attachmentName` of the message whose PDF is `pdfPath` is saved as
// when that name is free: the PDF's name without ".pdf", " - ", and the attachment's name
// cleaned, cut (keeping its extension) so that a collision suffix still fits one file name.
QString attachmentPathBeside(const QString &pdfPath, const QString &attachmentName);

// Writes each attachment beside `pdfPath`, in the message's order; a name that is taken gets
// " (2)", " (3)" … before its extension. One entry per attachment.
QVector<SavedAttachment> saveAttachmentsBeside(const QString &pdfPath, const QVector<MailAttachment> &attachments);
