#pragma once
// Mailbox names travel in IMAP's modified UTF-7 (RFC 3501 section 5.1.3); the program shows
// and stores them as Unicode.

#include <QByteArray>
#include <QString>

QString decodeMailboxName(const QByteArray &wireName);
QByteArray encodeMailboxName(const QString &name);
