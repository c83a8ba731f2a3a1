// Waiting for answers (in slices, raising abortCheck and percentDone) and sending commands.

#include "imap/ImapClient.h"

#include "imap/ImapClientInternals.h"

#include <QElapsedTimer>
#include <QPointer>

using namespace ImapClientDetail;

namespace {

// The message number of a response that starts "* 12 FETCH", or 0.
qint64 fetchNumberOfLine(const QByteArray &line)
{
    if (!line.startsWith("* "))
        return 0;
    const qsizetype space = line.indexOf(' ', 2);
    if (space < 0 || line.mid(space + 1, 5).toUpper() != "FETCH")
        return 0;
    bool ok = false;
    const qint64 number = line.mid(2, space - 2).toLongLong(&ok);
    return ok ? number : 0;
}

}  // namespace

bool ImapClient::Connection::pump(bool *receivedBytes, QString *error)
{
    const QByteArray bytes = socket->readAll();
    if (!bytes.isEmpty()) {
        *receivedBytes = true;
        reader.append(bytes);
    }
    while (const std::optional<QByteArray> raw = reader.takeResponse()) {
        ImapParseResult parsed = parseImapResponse(*raw);
        if (parsed.outcome != ImapParseResult::Outcome::Complete) {
            *error = parsed.error + QStringLiteral(" in \"%1\"").arg(QString::fromUtf8(raw->left(80)).trimmed());
            return false;
        }
        tracker.dispatch(*raw, std::move(parsed.response));
    }
    if (reader.hasError()) {
        *error = reader.errorText();
        return false;
    }
    return true;
}

bool ImapClient::isCurrent(quint64 generation) const
{
    return m_generation == generation && m_connection != nullptr;
}

bool ImapClient::requireConnection(quint64 generation, const QString &what)
{
    if (isCurrent(generation))
        return true;
    setError(what + QStringLiteral(" failed: not connected"));
    return false;
}

// Every call raises abortCheck once before it starts, so even one that never waits can be
// stopped.
bool ImapClient::startCall(quint64 generation, const QString &what)
{
    return checkAbort(generation, what);
}

// Raises abortCheck. False when the call must end: the handler asked for it, replaced the
// connection, or destroyed this object (then nothing of it is touched).
bool ImapClient::checkAbort(quint64 generation, const QString &what)
{
    QPointer<ImapClient> self(this);
    qint32 abort = 0;
    emit abortCheck(abort);
    if (!self)
        return false;
    if (abort != 0) {
        setError(what + QStringLiteral(": Operation aborted"));
        return false;
    }
    if (m_generation != generation) {
        setError(connectionLostText(what));
        return false;
    }
    return true;
}

bool ImapClient::reportPercent(quint64 generation, int percent, int &lastPercent, const QString &what)
{
    if (percent <= lastPercent)
        return true;
    lastPercent = percent;
    QPointer<ImapClient> self(this);
    qint32 value = percent;
    emit percentDone(value);
    if (!self)
        return false;
    if (m_generation != generation) {
        setError(connectionLostText(what));
        return false;
    }
    return true;
}

// Reads and dispatches responses until plan.done() holds. Fails (and says why) on abort, on a
// replaced or lost connection, on an unreadable answer and after the silence timeout; the last
// three close the connection, since its state is no longer known.
bool ImapClient::waitFor(quint64 generation, const WaitSpec &plan)
{
    QElapsedTimer silence;
    QElapsedTimer sinceCheck;
    silence.start();
    sinceCheck.start();
    for (;;) {
        if (!isCurrent(generation)) {
            setError(connectionLostText(plan.what));
            return false;
        }
        Connection &connection = *m_connection;
        bool received = false;
        QString protocolError;
        if (!connection.pump(&received, &protocolError)) {
            dropConnection(plan.what + QStringLiteral(" failed: the server's answer could not be read (%1); "
                                                      "connection closed").arg(protocolError));
            return false;
        }
        if (received)
            silence.restart();
        if (plan.done())
            return true;
        if (connection.socket->state() != QAbstractSocket::ConnectedState) {
            QString reason = QStringLiteral("the server closed the connection");
            if (connection.tracker.bye())
                reason += QStringLiteral(" (BYE %1)").arg(connection.tracker.bye()->text);
            dropConnection(plan.what + QStringLiteral(" failed: ") + reason);
            return false;
        }
        if (plan.fetchNumber > 0 && plan.lastPercent) {
            const auto literal = connection.reader.literalInProgress();
            if (literal && literal->size > 0 && fetchNumberOfLine(literal->firstLine) == plan.fetchNumber) {
                const int percent = int(qMin<qint64>(99, literal->received * 100 / literal->size));
                if (percent > *plan.lastPercent) {
                    if (!reportPercent(generation, percent, *plan.lastPercent, plan.what))
                        return false;
                    continue;
                }
            }
        }
        if (sinceCheck.elapsed() >= abortCheckEveryMs) {
            sinceCheck.restart();
            if (!checkAbort(generation, plan.what))
                return false;
            continue;
        }
        const qint64 left = m_responseTimeoutMs - silence.elapsed();
        if (left <= 0) {
            dropConnection(plan.what + QStringLiteral(" failed: no answer from the server for %1 s; "
                                                      "connection closed").arg(m_responseTimeoutMs / 1000.0));
            return false;
        }
        connection.socket->waitForReadyRead(int(qMin<qint64>(sliceMs, left)));
    }
}

// ---- commands --------------------------------------------------------------------------------

bool ImapClient::sendBytes(const QByteArray &bytes, const QString &what)
{
    QSslSocket &socket = *m_connection->socket;
    if (socket.write(bytes) != bytes.size()) {
        dropConnection(what + QStringLiteral(" failed: could not send: ") + socket.errorString());
        return false;
    }
    socket.flush();
    return true;
}

// Tags and sends a command. Parts that must travel as synchronising literals wait for the
// server's "+" first; a command the server rejects at that point comes back already done.
ImapClient::Command ImapClient::sendCommand(quint64 generation, const CommandSpec &plan)
{
    if (!requireConnection(generation, plan.what))
        return {};
    if (m_connection->tracker.isAwaitingContinuation()) {
        setError(plan.what + QStringLiteral(" failed: another command is half sent (waiting for the "
                                            "server's go-ahead); try again when it has finished"));
        return {};
    }
    QPointer<ImapClient> self(this);
    const QByteArray tag = m_connection->newTag();
    const Command command = m_connection->tracker.add(tag, plan.kind, plan.fetchNumber);
    command->keepRawText = plan.keepRawText;
    QByteArray pending = tag + ' ';
    for (const CommandPart &part : plan.parts) {
        if (!part.literal) {
            pending += part.bytes;
            continue;
        }
        pending += '{' + QByteArray::number(part.bytes.size()) + "}\r\n";
        m_connection->tracker.setAwaitingContinuation(command);
        if (!sendBytes(pending, plan.what))
            return {};
        const WaitSpec goAhead{[command] { return command->continued || command->done(); }, plan.what};
        if (!waitFor(generation, goAhead)) {
            // The server now takes whatever comes next as the literal: the connection is useless.
            if (self && isCurrent(generation))
                dropConnection(m_lastError + QStringLiteral(" (connection closed: the command was half sent)"));
            return {};
        }
        if (command->done())
            return command;
        command->continued = false;
        pending = part.bytes;
    }
    pending += "\r\n";
    if (!sendBytes(pending, plan.what))
        return {};
    return command;
}

ImapClient::Command ImapClient::runCommand(quint64 generation, const CommandSpec &plan)
{
    QPointer<ImapClient> self(this);
    const Command command = sendCommand(generation, plan);
    if (!command)
        return {};
    if (!waitFor(generation, {[command] { return command->done(); }, plan.what})) {
        // Its answer will still come; nobody reads it any more.
        command->abandoned = true;
        command->untagged.clear();
        return {};
    }
    return command;
}
