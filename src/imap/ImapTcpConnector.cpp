#include "imap/ImapTcpConnector.h"

#include <QHostInfo>

#include <arpa/inet.h>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

struct ImapTcpConnector::Lookup {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    QHostInfo result;
};

ImapTcpConnector::ImapTcpConnector(const QString &host, quint16 port) : m_port(port)
{
    QHostAddress literal;
    if (literal.setAddress(host)) {
        m_addresses = {literal};
        m_resolved = true;
        tryNextAddress();
        return;
    }
    // A lookup can take seconds and cannot be interrupted: it runs on its own thread, which
    // finishes on its own even when nobody waits for the answer any more.
    m_lookup = std::make_shared<Lookup>();
    std::thread([lookup = m_lookup, host] {
        QHostInfo result = QHostInfo::fromName(host);
        std::lock_guard<std::mutex> lock(lookup->mutex);
        lookup->result = result;
        lookup->done = true;
        lookup->finished.notify_all();
    }).detach();
}

ImapTcpConnector::~ImapTcpConnector()
{
    closeDescriptor();
}

ImapTcpConnector::State ImapTcpConnector::step(int maxWaitMs)
{
    if (m_state != State::Working)
        return m_state;
    if (!m_resolved)
        return waitForLookup(maxWaitMs) ? (tryNextAddress(), m_state) : m_state;
    pollfd watch{m_descriptor, POLLOUT, 0};
    if (::poll(&watch, 1, maxWaitMs) <= 0)
        return m_state;  // still connecting (or interrupted: the next step looks again)
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(m_descriptor, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        error = errno;
    if (error == 0) {
        m_state = State::Connected;
        return m_state;
    }
    m_error = QString::fromLocal8Bit(std::strerror(error));
    closeDescriptor();
    tryNextAddress();
    return m_state;
}

int ImapTcpConnector::takeDescriptor()
{
    const int descriptor = m_descriptor;
    m_descriptor = -1;
    return descriptor;
}

bool ImapTcpConnector::waitForLookup(int maxWaitMs)
{
    std::unique_lock<std::mutex> lock(m_lookup->mutex);
    if (!m_lookup->finished.wait_for(lock, std::chrono::milliseconds(maxWaitMs), [this] { return m_lookup->done; }))
        return false;
    m_resolved = true;
    m_addresses = m_lookup->result.addresses();
    if (m_lookup->result.error() != QHostInfo::NoError || m_addresses.isEmpty())
        m_error = QStringLiteral("Host not found (%1)").arg(m_lookup->result.errorString());
    return true;
}

// Starts a connect to the next address; fails when none is left.
void ImapTcpConnector::tryNextAddress()
{
    while (!m_addresses.isEmpty()) {
        const QHostAddress address = m_addresses.takeFirst();
        sockaddr_storage storage{};
        socklen_t length = 0;
        if (address.protocol() == QAbstractSocket::IPv4Protocol) {
            auto *in = reinterpret_cast<sockaddr_in *>(&storage);
            in->sin_family = AF_INET;
            in->sin_port = htons(m_port);
            in->sin_addr.s_addr = htonl(address.toIPv4Address());
            length = sizeof *in;
        } else if (address.protocol() == QAbstractSocket::IPv6Protocol) {
            auto *in6 = reinterpret_cast<sockaddr_in6 *>(&storage);
            in6->sin6_family = AF_INET6;
            in6->sin6_port = htons(m_port);
            const Q_IPV6ADDR bytes = address.toIPv6Address();
            std::memcpy(&in6->sin6_addr, &bytes, sizeof bytes);
            in6->sin6_scope_id = address.scopeId().toUInt();
            length = sizeof *in6;
        } else {
            continue;
        }
        m_descriptor = ::socket(storage.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (m_descriptor < 0) {
            m_error = QString::fromLocal8Bit(std::strerror(errno));
            continue;
        }
        if (::connect(m_descriptor, reinterpret_cast<sockaddr *>(&storage), length) == 0) {
            m_state = State::Connected;
            return;
        }
        if (errno == EINPROGRESS)
            return;
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        closeDescriptor();
    }
    if (m_error.isEmpty())
        m_error = QStringLiteral("No address to connect to");
    m_state = State::Failed;
}

void ImapTcpConnector::closeDescriptor()
{
    if (m_descriptor >= 0)
        ::close(m_descriptor);
    m_descriptor = -1;
}
