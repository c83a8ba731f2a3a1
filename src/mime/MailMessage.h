#pragma once
// One downloaded message, decoded to Unicode: the record every window keeps, and the parser that
// fills it.

#include "core/SpooledBytes.h"
#include "mime/InlinePicture.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVector>
#include <memory>

// One mailbox of an address header; either part may be empty, never both.
struct MailAddress {
    QString name;
    QString address;
    bool operator==(const MailAddress &other) const { return name == other.name && address == other.address; }
};

// "Name <address>", or whichever of the two there is.
QString shownMailbox(const MailAddress &mailbox);
QStringList shownMailboxes(const QVector<MailAddress> &mailboxes);

// A part the sender attached as a file (not a picture the HTML body shows). Its bytes, transfer
// encoding undone, wait on disk until a run saves or appends them.
struct MailAttachment {
    QString fileName;  // as the message names it, RFC 2231/2047 decoded; never empty
    QByteArray type;   // the declared content type, lower case ("application/pdf")
    qint64 size = 0;   // bytes after decoding
    std::shared_ptr<const SpooledBytes> bytes;  // nullptr when they could not be kept
};

struct MessageEntry {
    QString From;         // the From header, RFC 2047 words decoded
    QString FromName;     // display name of the first sender, empty when there is none
    QString FromAddress;  // address of the first sender
    QString Subject;      // decoded Subject
    // The locale's text of ReceivedDateTime, as shown; written by the mail layer, never read
    // back as a date (not every locale's text reads back).
    QString ReceivedDate;
    QString PlainTextBody;  // first text/plain part that is not an attachment
    QString HTMLTextBody;   // first text/html part that is not an attachment, "cid:" references as written
    // Date header in local time; INTERNALDATE when the header is missing or unreadable. Invalid
    // when the message had neither.
    QDateTime ReceivedDateTime;
    // The pictures HTMLTextBody shows by "cid:", each once: a picture the body names ten thousand
    // times costs its own size, not ten thousand copies. A page turns the references into
    // addresses when it is built.
    QVector<InlinePicture> InlinePictures;
    QVector<MailAddress> To;
    QVector<MailAddress> Cc;
    QString MessageId;  // the Message-ID header without its angle brackets, empty when absent
    QVector<MailAttachment> Attachments;  // in the order the message holds them
};

// Parses a whole RFC 5322 message; ReceivedDate stays empty. Never throws; a message that cannot
// be parsed at all gives empty fields and the INTERNALDATE.
MessageEntry parseMailMessage(const QByteArray &raw, const QDateTime &internalDate);
