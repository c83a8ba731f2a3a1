#pragma once
// The files a sender attached to a message: what a run saves beside the printed page or appends
// to it. The texts a reader sees and the pictures the HTML body shows are not among them.

#include "mime/MailMessage.h"
#include "mime/MimeBodies.h"
#include "mime/MimeLibrary.h"

#include <QVector>

// The attachments under root in message order: parts marked "attachment", and parts that are
// neither text nor a picture the body shows by "cid:" yet carry a file name. An attached message
// is one attachment. The chosen text bodies never count.
QVector<MailAttachment> findAttachments(GMimeObject *root, const MimeTextBodies &bodies,
                                        const InlinePictures &pictures);

// A file name that is safe to use on its own: the last piece of any path, no control characters;
// "attachment-N" with an extension that suits `type` when nothing is left. `number` counts from 1.
QString attachmentFileName(const QString &declared, const QByteArray &type, int number);
