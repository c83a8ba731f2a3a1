#pragma once
// The fields of one downloaded message, decoded to Unicode, and the parser that makes them.

#include "mime/InlinePicture.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

struct MailMessage {
    QString from;          // the From header, RFC 2047 words decoded
    QString fromName;      // display name of the first sender, empty when there is none
    QString fromAddress;   // address of the first sender
    QString subject;       // decoded Subject
    QDateTime date;        // Date header in local time; INTERNALDATE when the header is missing or unreadable
    QString plainTextBody; // first text/plain part that is not an attachment, as Unicode
    QString htmlBody;      // first text/html part that is not an attachment, as Unicode, "cid:" references as written
    InlinePictures inlinePictures;  // the pictures htmlBody refers to by "cid:", once each
};

// Parses a whole RFC 5322 message. Never throws; a message that cannot be parsed at all gives
// empty fields and the INTERNALDATE.
MailMessage parseMailMessage(const QByteArray &raw, const QDateTime &internalDate);
