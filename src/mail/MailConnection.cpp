#include "mail/MailConnection.h"

#include "imap/ImapClient.h"
#include "imap/ImapEndpoint.h"
#include "mail/ImapConnectionEpoch.h"

MailConnection::MailConnection(QObject *window) : QObject(window), m_client(new ImapClient(this)) {}

ImapSessionPtr MailConnection::newSession()
{
    ImapSessionPtr session = clsImapSession::create();
    session->ImapObject = m_client;
    session->SSL = true;
    session->PORT = ImapEndpoint::fromEnvironment().port;
    session->IMAPServer = ImapEndpoint::fromEnvironment().host;
    return session;
}

void MailConnection::endConnection()
{
    startConnectionEpoch(*m_client);
    m_client->disconnect();
}

QString MailConnection::serverHost()
{
    return ImapEndpoint::fromEnvironment().host;
}
