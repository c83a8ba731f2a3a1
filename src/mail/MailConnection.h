#pragma once
// The window's one IMAP client, made when the window loads and kept for its whole life. The
// window's sessions take turns to drive it; a later connect takes the connection from an older
// session (ImapConnectionEpoch.h).

#include "mail/clsImapSession.h"

#include <QObject>

class ImapClient;

class MailConnection : public QObject {
public:
    explicit MailConnection(QObject *window);

    // A session on this client, set for the configured server; the caller gives the credentials.
    ImapSessionPtr newSession();
    // The window's Disconnect: ends the connection and the epoch its session owned.
    void endConnection();
    ImapClient *client() const { return m_client; }

    // The server's host name, which the online check asks for before any client exists.
    static QString serverHost();

private:
    ImapClient *m_client;
};
