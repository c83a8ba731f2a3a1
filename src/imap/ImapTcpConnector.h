#pragma once
// Opens the TCP connection under the client's TLS session in steps of a few milliseconds, so
// that the caller can raise its abort check between steps. Qt's own waitForConnected cannot be
// used in slices: when its timeout expires it gives the connection attempt up, so a handshake
// longer than one slice (any real network) would never succeed.
//
// The host name is looked up on a helper thread; the addresses are tried in turn with a
// non-blocking socket. The connected descriptor is handed to QSslSocket.

#include <QHostAddress>
#include <QList>
#include <QString>
#include <memory>

class ImapTcpConnector {
public:
    enum class State { Working, Connected, Failed };

    ImapTcpConnector(const QString &host, quint16 port);
    ~ImapTcpConnector();  // closes a descriptor nobody took
    ImapTcpConnector(const ImapTcpConnector &) = delete;
    ImapTcpConnector &operator=(const ImapTcpConnector &) = delete;

    // Makes progress, waiting at most maxWaitMs.
    State step(int maxWaitMs);
    // The connected socket; from now on the caller's to close.
    int takeDescriptor();
    // Why it failed: "Connection refused", "Host not found" ...
    QString errorText() const { return m_error; }

private:
    struct Lookup;
    bool waitForLookup(int maxWaitMs);
    void tryNextAddress();
    void closeDescriptor();

    quint16 m_port;
    std::shared_ptr<Lookup> m_lookup;  // shared with the lookup thread, which may outlive us
    bool m_resolved = false;
    QList<QHostAddress> m_addresses;
    int m_descriptor = -1;
    State m_state = State::Working;
    QString m_error;
};
