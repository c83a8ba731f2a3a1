// Opening a connection (TCP, then TLS) and ending one (LOGOUT within a short bound).

#include "imap/ImapClient.h"

#include "imap/ImapClientInternals.h"
#include "imap/ImapTcpConnector.h"

#include <QSslConfiguration>
#include <unistd.h>

using namespace ImapClientDetail;

namespace {

QString describeSslErrors(const QList<QSslError> &errors)
{
    QStringList texts;
    for (const QSslError &error : errors)
        texts.append(error.errorString());
    texts.removeDuplicates();
    return texts.join(QStringLiteral("; "));
}

}  // namespace

namespace {

const QList<QSslCertificate> &systemCaCertificates()
{
    static const QList<QSslCertificate> certificates = QSslConfiguration::systemCaCertificates();
    return certificates;
}

}  // namespace

// Reading the system's CA folder takes a few hundred milliseconds: done here, when the client
// is made or its trusted certificates change, so that no connect spends that time between two
// abort checks.
void ImapClient::prepareTlsConfiguration()
{
    m_tlsConfiguration = QSslConfiguration::defaultConfiguration();
    if (!m_extraCaCertificates.isEmpty())
        m_tlsConfiguration.setCaCertificates(systemCaCertificates() + m_extraCaCertificates);
    // Never relaxed: a server whose certificate does not verify is not talked to.
    m_tlsConfiguration.setPeerVerifyMode(QSslSocket::VerifyPeer);
}

bool ImapClient::openSocket(const platform::LifeToken &life, const QString &host)
{
    const QString where = QStringLiteral("%1:%2").arg(host).arg(m_port);
    const QString what = QStringLiteral("Connect to ") + where;
    // One limit for the TCP and the TLS handshake together.
    platform::Deadline deadline(m_connectTimeoutMs);
    ImapTcpConnector tcp(host, quint16(m_port));
    ImapTcpConnector::State state = tcp.step(0);
    platform::WaitPlan plan = callWait(life, &deadline);
    plan.done = [&] { return state != ImapTcpConnector::State::Working; };
    plan.slice = [&](int ms) { state = tcp.step(ms); };
    const platform::WaitOutcome outcome = platform::waitUntil(plan);
    if (outcome == platform::WaitOutcome::TimedOut) {
        setError(what + QStringLiteral(" failed: no TCP connection within %1 s").arg(m_connectTimeoutMs / 1000.0));
        return false;
    }
    if (interruptedWait(outcome, what))
        return false;
    if (state == ImapTcpConnector::State::Failed) {
        setError(what + QStringLiteral(" failed: ") + tcp.errorText());
        return false;
    }

    auto connection = std::make_unique<Connection>();
    connection->where = where;
    connection->reader.setMaxResponseSize(responseSizeBound());
    connection->socket = std::make_unique<QSslSocket>();
    QSslSocket &socket = *connection->socket;
    socket.setSslConfiguration(m_tlsConfiguration);
    Connection *raw = connection.get();
    QObject::connect(&socket, &QSslSocket::sslErrors, &socket,
                     [raw](const QList<QSslError> &errors) { raw->sslErrors += errors; });
    const int descriptor = tcp.takeDescriptor();
    if (!socket.setSocketDescriptor(descriptor, QAbstractSocket::ConnectedState)) {
        ::close(descriptor);
        setError(what + QStringLiteral(" failed: ") + socket.errorString());
        return false;
    }
    // Commands are small and each waits for its answer: send them at once.
    socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    socket.setReadBufferSize(ImapClientDetail::socketReadBufferBytes);
    socket.setPeerVerifyName(host);
    m_connection = std::move(connection);
    m_connection->socket->startClientEncryption();
    return waitForEncrypted(life, what, deadline);
}

// The TLS handshake on a connected socket. It goes on in the socket's events, so the wait
// sleeps in the event loop like any other.
bool ImapClient::waitForEncrypted(const platform::LifeToken &life, const QString &what, platform::Deadline &deadline)
{
    // While the life goes on, m_connection is the connection opened for this call.
    platform::WaitPlan plan = callWait(life, &deadline);
    plan.done = [this] {
        const QSslSocket &socket = *m_connection->socket;
        return socket.isEncrypted() || socket.state() == QAbstractSocket::UnconnectedState;
    };
    const platform::WaitOutcome outcome = platform::waitUntil(plan);
    if (outcome == platform::WaitOutcome::TimedOut) {
        dropConnection(what + QStringLiteral(" failed: no TLS connection within %1 s").arg(m_connectTimeoutMs / 1000.0));
        return false;
    }
    if (interruptedWait(outcome, what))
        return false;
    const QSslSocket &socket = *m_connection->socket;
    if (socket.isEncrypted())
        return true;
    QString reason = socket.errorString();
    if (!m_connection->sslErrors.isEmpty())
        reason = QStringLiteral("TLS certificate not trusted: ") + describeSslErrors(m_connection->sslErrors);
    else
        reason = QStringLiteral("TLS handshake failed: ") + reason;
    dropConnection(what + QStringLiteral(" failed: ") + reason);
    return false;
}

// Says goodbye on a connection that is no longer m_connection and closes it. Gone when a signal
// handler destroyed this object or made another connect or disconnect meanwhile; then only the
// connection is touched.
platform::WaitOutcome ImapClient::endConnection(std::unique_ptr<Connection> connection,
                                                const platform::LifeToken &life, bool raiseSignals)
{
    if (!connection)
        return platform::WaitOutcome::Done;
    QSslSocket &socket = *connection->socket;
    platform::WaitOutcome outcome = platform::WaitOutcome::Done;
    if (const Command logout = sendLogout(*connection)) {
        platform::Deadline bound(qMin(logoutBoundMs, m_responseTimeoutMs));
        bool unreadable = false;
        platform::WaitPlan plan = callWait(life, &bound);
        if (!raiseSignals)
            plan.abortRequested = nullptr;
        plan.done = [&] { return unreadable || logout->done() || socket.state() != QAbstractSocket::ConnectedState; };
        plan.slice = [&](int ms) {
            // From the destructor nothing else may run meanwhile: it waits on the socket alone.
            if (!connection->hasPendingInput() && raiseSignals)
                platform::waitForEvents(ms);
            else if (!connection->hasPendingInput())
                socket.waitForReadyRead(ms);
            QString ignored;
            unreadable = !connection->pump(&ignored);
        };
        outcome = platform::waitUntil(plan);
    }
    socket.abort();
    return outcome;
}

// Sends LOGOUT when the connection can still take a command; the command, or none.
ImapClient::Command ImapClient::sendLogout(Connection &connection)
{
    QSslSocket &socket = *connection.socket;
    const bool canTalk = socket.isEncrypted() && socket.state() == QAbstractSocket::ConnectedState
        && connection.tracker.greeting().has_value() && !connection.tracker.isAwaitingContinuation();
    if (!canTalk)
        return {};
    const QByteArray tag = connection.newTag();
    const Command logout = connection.tracker.add(tag, ImapPendingCommand::Kind::Logout);
    socket.write(tag + " LOGOUT\r\n");
    socket.flush();
    return logout;
}

void ImapClient::dropConnection(const QString &error)
{
    m_connection.reset();
    m_connectionLife.renew();
    m_ahead.clear();
    m_sentAhead.clear();
    setError(error);
}
