#include "mail/MailConnection.h"

#include "imap/ImapClient.h"
#include "imap/ImapEndpoint.h"

#include <QVariant>

namespace {
// Kept on the client itself, so that every session driving that client sees the same count and
// the count ends with the client.
const char EpochProperty[] = "quorvaleConnectionEpoch";
}  // namespace

MailConnection::MailConnection(QObject *window) : QObject(window), m_client(new ImapClient(this)) {}

void MailConnection::endConnection()
{
    startConnectionEpoch(*m_client);
    m_client->disconnect();
}

QString MailConnection::serverHost()
{
    return ImapEndpoint::fromEnvironment().host;
}

quint64 currentConnectionEpoch(const ImapClient &client)
{
    return client.property(EpochProperty).toULongLong();
}

quint64 startConnectionEpoch(ImapClient &client)
{
    const quint64 epoch = currentConnectionEpoch(client) + 1;
    client.setProperty(EpochProperty, epoch);
    return epoch;
}
