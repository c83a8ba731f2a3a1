#pragma once
// The window's one IMAP client, made when the window loads and kept for its whole life, and
// which of its connections is the current one as the sessions see it. The window's sessions
// take turns to drive the client. Every connect a session makes and every disconnect the window
// makes starts a new epoch. A download belongs to the connection it opened: after an event-loop
// turn it compares epochs to learn whether a later connect or disconnect, made by the user
// inside that turn, took its connection away.

#include <QObject>

class ImapClient;

class MailConnection : public QObject {
public:
    explicit MailConnection(QObject *window);
    ImapClient *client() const { return m_client; }
    // The window's Disconnect: ends the connection and its epoch.
    void endConnection();
    // The server's host name, which the online check asks for before any client exists.
    static QString serverHost();

private:
    ImapClient *m_client;
};

quint64 currentConnectionEpoch(const ImapClient &client);
// Called just before connecting; answers the new epoch, which the new connection owns.
quint64 startConnectionEpoch(ImapClient &client);
