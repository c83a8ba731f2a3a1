#pragma once
// Where the IMAP server is. Gmail unless the environment says otherwise: tests point the program
// at a local Dovecot with its own certificate authority.
//
//   QUORVALE_IMAP_HOST    host name (default imap.gmail.com); also the host of the online check
//   QUORVALE_IMAP_PORT    port (default 993, implicit TLS)
//   QUORVALE_IMAP_CAFILE  an extra trusted CA certificate (PEM), trusted beside the system's

#include <QString>

struct ImapEndpoint {
    QString host;
    int port = 993;
    QString caFile;  // empty: the system's CA store alone

    // Read once per process, on first use.
    static const ImapEndpoint &fromEnvironment();
};
