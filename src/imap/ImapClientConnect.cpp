// Opening a connection (TCP, then TLS) and ending one (LOGOUT within a short bound).

#include "imap/ImapClient.h"

#include "imap/ImapClientInternals.h"
#include "imap/ImapTcpConnector.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QSslConfiguration>
#include <unistd.h>

using namespace ImapClientDetail;

namespace {

const QList<QSslCertificate> &systemCaCertificates()
{
    static const QList<QSslCertificate> certificates = QSslConfiguration::systemCaCertificates();
    return certificates;
}

QString describeSslErrors(const QList<QSslError> &errors)
{
    QStringList texts;
    for (const QSslError &error : errors)
        texts.append(error.errorString());
    texts.removeDuplicates();
    return texts.join(QStringLiteral("; "));
}

}  // namespace

bool ImapClient::openSocket(quint64 generation, const QString &host)
{
    const QString where = QStringLiteral("%1:%2").arg(host).arg(m_port);
    const QString what = QStringLiteral("Connect to ") + where;
    QElapsedTimer elapsed;
    elapsed.start();
    ImapTcpConnector tcp(host, quint16(m_port));
    QElapsedTimer sinceCheck;
    sinceCheck.start();
    for (;;) {
        const qint64 left = m_connectTimeoutMs - elapsed.elapsed();
        const ImapTcpConnector::State state = tcp.step(int(qBound(qint64(0), left, qint64(sliceMs))));
        if (state == ImapTcpConnector::State::Connected)
            break;
        if (state == ImapTcpConnector::State::Failed) {
            setError(what + QStringLiteral(" failed: ") + tcp.errorText());
            return false;
        }
        if (elapsed.elapsed() >= m_connectTimeoutMs) {
            setError(what + QStringLiteral(" failed: no TCP connection within %1 s").arg(m_connectTimeoutMs / 1000.0));
            return false;
        }
        if (sinceCheck.elapsed() >= abortCheckEveryMs) {
            sinceCheck.restart();
            if (!checkAbort(generation, what))
                return false;
        }
    }

    auto connection = std::make_unique<Connection>();
    connection->where = where;
    connection->socket = std::make_unique<QSslSocket>();
    QSslSocket &socket = *connection->socket;
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    if (!m_extraCaCertificates.isEmpty())
        configuration.setCaCertificates(systemCaCertificates() + m_extraCaCertificates);
    // Never relaxed: a server whose certificate does not verify is not talked to.
    configuration.setPeerVerifyMode(QSslSocket::VerifyPeer);
    socket.setSslConfiguration(configuration);
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
    socket.setPeerVerifyName(host);
    m_connection = std::move(connection);
    m_connection->socket->startClientEncryption();
    return waitForEncrypted(generation, what, elapsed);
}

// The TLS handshake on a connected socket. (Waiting in slices is safe here: unlike
// waitForConnected, a waitForEncrypted that times out keeps the handshake going.)
bool ImapClient::waitForEncrypted(quint64 generation, const QString &what, const QElapsedTimer &elapsed)
{
    QElapsedTimer sinceCheck;
    sinceCheck.start();
    for (;;) {
        if (!isCurrent(generation)) {
            setError(connectionLostText(what));
            return false;
        }
        Connection &connection = *m_connection;
        QSslSocket &socket = *connection.socket;
        if (socket.isEncrypted())
            return true;
        if (socket.state() == QAbstractSocket::UnconnectedState) {
            QString reason = socket.errorString();
            if (!connection.sslErrors.isEmpty())
                reason = QStringLiteral("TLS certificate not trusted: ") + describeSslErrors(connection.sslErrors);
            else
                reason = QStringLiteral("TLS handshake failed: ") + reason;
            dropConnection(what + QStringLiteral(" failed: ") + reason);
            return false;
        }
        const qint64 left = m_connectTimeoutMs - elapsed.elapsed();
        if (left <= 0) {
            dropConnection(what + QStringLiteral(" failed: no TLS connection within %1 s")
                                      .arg(m_connectTimeoutMs / 1000.0));
            return false;
        }
        if (sinceCheck.elapsed() >= abortCheckEveryMs) {
            sinceCheck.restart();
            if (!checkAbort(generation, what))
                return false;
            continue;
        }
        socket.waitForEncrypted(int(qMin<qint64>(sliceMs, left)));
    }
}

// Says goodbye on a connection that is no longer m_connection and closes it. False when a
// signal handler destroyed this object meanwhile.
bool ImapClient::endConnection(std::unique_ptr<Connection> connection, bool raiseSignals, bool *aborted)
{
    if (!connection)
        return true;
    QPointer<ImapClient> self(this);
    QSslSocket &socket = *connection->socket;
    const bool canTalk = socket.isEncrypted() && socket.state() == QAbstractSocket::ConnectedState
        && connection->tracker.greeting().has_value() && !connection->tracker.isAwaitingContinuation();
    if (canTalk) {
        const QByteArray tag = connection->newTag();
        const Command logout = connection->tracker.add(tag, ImapPendingCommand::Kind::Logout);
        socket.write(tag + " LOGOUT\r\n");
        socket.flush();
        QElapsedTimer elapsed;
        QElapsedTimer sinceCheck;
        elapsed.start();
        sinceCheck.start();
        const int bound = qMin(logoutBoundMs, m_responseTimeoutMs);
        QString ignored;
        bool received = false;
        while (!logout->done() && socket.state() == QAbstractSocket::ConnectedState
               && elapsed.elapsed() < bound) {
            socket.waitForReadyRead(int(qMin<qint64>(sliceMs, bound - elapsed.elapsed())));
            if (!connection->pump(&received, &ignored))
                break;
            if (raiseSignals && sinceCheck.elapsed() >= abortCheckEveryMs) {
                sinceCheck.restart();
                qint32 abort = 0;
                emit abortCheck(abort);
                if (!self)
                    return false;
                if (abort != 0) {
                    if (aborted)
                        *aborted = true;
                    break;
                }
            }
        }
    }
    socket.abort();
    return true;
}

void ImapClient::dropConnection(const QString &error)
{
    m_connection.reset();
    ++m_generation;
    m_ahead.clear();
    setError(error);
}
