#include "imap/ImapEndpoint.h"

#include <QtGlobal>

namespace {

ImapEndpoint readEndpoint()
{
    ImapEndpoint endpoint;
    endpoint.host = qEnvironmentVariable("QUORVALE_IMAP_HOST").trimmed();
    if (endpoint.host.isEmpty())
        endpoint.host = QStringLiteral("imap.gmail.com");
    bool ok = false;
    const int port = qEnvironmentVariable("QUORVALE_IMAP_PORT").trimmed().toInt(&ok);
    if (ok && port > 0 && port < 65536)
        endpoint.port = port;
    endpoint.caFile = qEnvironmentVariable("QUORVALE_IMAP_CAFILE").trimmed();
    return endpoint;
}

}  // namespace

const ImapEndpoint &ImapEndpoint::fromEnvironment()
{
    static const ImapEndpoint endpoint = readEndpoint();
    return endpoint;
}
