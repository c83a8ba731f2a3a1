#pragma once
// The Dovecot IMAP server that tests/fixtures/dovecot/start.sh starts for the IMAP tests, and
// the manifest of the messages it holds (tests/fixtures/corpus/make_corpus.py explains every
// field and the From-text convention).

#include <QDateTime>
#include <QList>
#include <QString>

struct TestServer {
    QString dir, host, caFile, user, password, emptyUser, emptyPassword;
    int port = 0;

    // Reads $QUORVALE_TEST_DOVECOT_DIR/env; on failure calls qFatal with a clear message.
    static TestServer fromFixture();

    // Sets QUORVALE_IMAP_HOST, QUORVALE_IMAP_PORT, QUORVALE_IMAP_CAFILE for code under test.
    void applyToEnvironment() const;

    struct ExpectedMessage {
        QString shape, from, fromName, fromAddress, subject;
        QDateTime date;
        bool dateFromInternalDate = false;
        bool hasPlain = false, hasHtml = false;
        QString plainSnippet, htmlSnippet;

        int seq = 0;                 // 1-based sequence number in its mailbox
        QString messageId;           // without angle brackets
        bool fromMalformed = false;  // From is not an address: only `from` (raw text) is defined
        QString absentSnippet;       // text only an attachment holds; no body may contain it
        QDateTime internalDate;
        qint64 size = 0;             // RFC822.SIZE; the .eml file is byte for byte the message
        QString emlPath;             // absolute path of the message's .eml file
    };

    struct ExpectedMailbox {
        QString name, specialUse;  // specialUse like "\\Sent", empty for none
        int messageCount = 0;
    };

    // The manifest, parsed: corpus(user, mailbox) -> list of expected messages in sequence
    // order. A user or mailbox the manifest does not know is a fault in the test: qFatal.
    QList<ExpectedMessage> corpus(const QString &user, const QString &mailbox) const;

    // Every mailbox the manifest gives the user (alphabetical order).
    QList<ExpectedMailbox> mailboxes(const QString &user) const;

    // Finds a message of the given shape in the user's mailbox; qFatal if there is none.
    ExpectedMessage message(const QString &user, const QString &mailbox,
                            const QString &shape) const;
};
