// Waiting for answers (in slices, raising abortCheck and percentDone) and sending commands.

#include "imap/ImapClient.h"

#include "imap/ImapClientInternals.h"

#include <QElapsedTimer>


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

// Up to and with the next line end, or what has arrived of the line, at most a slice of it.
QByteArray readLinePiece(QIODevice &device)
{
    char piece[16 * 1024];
    const qint64 got = device.readLine(piece, sizeof piece);
    return got > 0 ? QByteArray(piece, qsizetype(got)) : QByteArray();
}

}  // namespace

bool ImapClient::Connection::hasPendingInput()
{
    return socket->bytesAvailable() > 0 || reader.hasCompleteResponse();
}

bool ImapClient::Connection::pump(QString *error, bool quoteData)
{
    QElapsedTimer busy;
    busy.start();
    for (;;) {
        if (busy.elapsed() >= pumpBudgetMs)
            return true;
        std::optional<ImapFramedResponse> raw = reader.takeFramedResponse();
        if (!raw) {
            if (reader.hasError() || socket->bytesAvailable() == 0)
                break;
            // A message's bytes go from the socket straight into their buffer; the lines around
            // them are read one at a time, so that a literal announced at the end of one is
            // read that way from its first byte.
            if (reader.readLiteralFrom(*socket) > 0)
                continue;
            reader.append(readLinePiece(*socket));
            continue;
        }
        ImapParseResult parsed = parseImapResponse(*raw, &ImapCommandTracker::usesValuesOf);
        if (parsed.outcome != ImapParseResult::Outcome::Complete) {
            QString detail = parsed.error;
            if (quoteData)
                detail += QStringLiteral(" in \"%1\"").arg(QString::fromUtf8(raw->lines.left(80)).trimmed());
            *error = QStringLiteral("the server's answer could not be read (%1)").arg(detail);
            return false;
        }
        tracker.dispatch(*raw, std::move(parsed.response));
        if (tracker.sawUnexpectedReply()) {
            *error = QStringLiteral("the server sent an unexpected reply, to a command this program never sent");
            return false;
        }
    }
    if (reader.hasError()) {
        *error = QStringLiteral("the server's answer could not be read (%1)").arg(reader.errorText());
        return false;
    }
    return true;
}

bool ImapClient::isCurrent(const platform::LifeToken &life) const
{
    return life.alive() && m_connection != nullptr;
}

bool ImapClient::requireConnection(const platform::LifeToken &life, const QString &what)
{
    if (isCurrent(life))
        return true;
    setError(what + QStringLiteral(" failed: not connected"));
    return false;
}

// Raises abortCheck; true when the handler asked to stop. The handler may destroy this object:
// nothing of it is touched after the signal.
bool ImapClient::raiseAbortCheck()
{
    qint32 abort = 0;
    emit abortCheck(abort);
    return abort != 0;
}

// The waits of a call: slices of sliceMs, abortCheck every abortCheckEveryMs, ended when the
// connection is replaced or closed, or this object destroyed.
platform::WaitPlan ImapClient::callWait(const platform::LifeToken &life, platform::Deadline *deadline)
{
    platform::WaitPlan plan;
    plan.life = life;
    plan.deadline = deadline;
    plan.abortRequested = [this] { return raiseAbortCheck(); };
    plan.sliceMs = sliceMs;
    plan.checkEveryMs = abortCheckEveryMs;
    return plan;
}

// For a wait that did not end done or timed out: says why the call fails and answers true.
// The caller checks first that this object still exists.
bool ImapClient::interruptedWait(platform::WaitOutcome outcome, const QString &what)
{
    switch (outcome) {
    case platform::WaitOutcome::Done:
    case platform::WaitOutcome::TimedOut:
        return false;
    case platform::WaitOutcome::Aborted:
        setError(what + QStringLiteral(": Operation aborted"));
        return true;
    case platform::WaitOutcome::Gone:
        setError(connectionLostText(what));
        return true;
    }
    return false;
}

// Every call raises abortCheck once before it starts, so even one that never waits can be
// stopped.
bool ImapClient::startCall(const platform::LifeToken &life, const QString &what)
{
    return checkAbort(life, what);
}

// Raises abortCheck. False when the call must end: the handler asked for it, replaced the
// connection, or destroyed this object (then nothing of it is touched).
bool ImapClient::checkAbort(const platform::LifeToken &life, const QString &what)
{
    const bool abort = raiseAbortCheck();
    if (!life.ownerAlive())
        return false;
    if (abort) {
        setError(what + QStringLiteral(": Operation aborted"));
        return false;
    }
    if (!life.alive()) {
        setError(connectionLostText(what));
        return false;
    }
    return true;
}

bool ImapClient::reportPercent(const platform::LifeToken &life, int percent, int &lastPercent, const QString &what)
{
    if (percent <= lastPercent)
        return true;
    lastPercent = percent;
    qint32 value = percent;
    emit percentDone(value);
    if (!life.ownerAlive())
        return false;
    if (!life.alive()) {
        setError(connectionLostText(what));
        return false;
    }
    return true;
}

// Reads and dispatches responses until plan.done() holds. Fails (and says why) on abort, on a
// replaced or lost connection, on an unreadable answer and after the silence timeout; the last
// three close the connection, since its state is no longer known.
bool ImapClient::waitFor(const platform::LifeToken &life, const WaitSpec &plan)
{
    if (!isCurrent(life)) {
        setError(connectionLostText(plan.what));
        return false;
    }
    SliceState state{platform::Deadline(m_responseTimeoutMs), QString(), m_connection->tracker.progress(), 0};
    platform::WaitPlan wait = callWait(life, &state.silence);
    wait.done = [&] { return !state.failure.isEmpty() || plan.done(); };
    wait.slice = [&](int ms) { readSlice(life, plan, state, ms); };
    const platform::WaitOutcome outcome = platform::waitUntil(wait);
    if (!life.ownerAlive())
        return false;
    if (outcome == platform::WaitOutcome::TimedOut) {
        dropConnection(plan.what + QStringLiteral(" failed: no answer from the server for %1 s; "
                                                  "connection closed").arg(m_responseTimeoutMs / 1000.0));
        return false;
    }
    if (interruptedWait(outcome, plan.what))
        return false;
    if (!state.failure.isEmpty()) {
        dropConnection(state.failure);
        return false;
    }
    return true;
}

// One slice of waitFor: waits for data, reads and dispatches it, and reports the progress of a
// message being fetched. The wait for data sleeps in the event loop, so the window paints and
// takes clicks meanwhile; a click or a percentDone handler may replace the connection or
// destroy this object, so nothing is touched after either unless the life goes on.
//
// Only an answer to a command sent restarts the silence limit: a server that sends unrelated
// lines now and then cannot hold a call for ever.
void ImapClient::readSlice(const platform::LifeToken &life, const WaitSpec &plan, SliceState &state, int ms)
{
    if (!m_connection->hasPendingInput()) {
        platform::waitForEvents(ms);
        if (!life.alive())
            return;
    }
    Connection &connection = *m_connection;
    QString protocolError;
    // Bytes received while the password is in flight may echo it: they are never quoted.
    if (!connection.pump(&protocolError, m_secret.isEmpty())) {
        state.failure = plan.what + QStringLiteral(" failed: %1; connection closed").arg(protocolError);
        return;
    }
    const auto literal = connection.reader.literalInProgress();
    const qint64 fetchNumber = literal ? fetchNumberOfLine(literal->firstLine) : 0;
    const qint64 literalReceived = fetchNumber > 0 && connection.tracker.awaitsFetchOf(fetchNumber) ? literal->received : 0;
    if (connection.tracker.progress() != state.progress || literalReceived > state.literalReceived) {
        state.silence.restart();
        state.progress = connection.tracker.progress();
    }
    state.literalReceived = literalReceived;
    if (plan.done())
        return;
    if (connection.socket->state() != QAbstractSocket::ConnectedState && !connection.hasPendingInput()) {
        QString reason = QStringLiteral("the server closed the connection");
        if (connection.tracker.bye())
            reason += QStringLiteral(" (BYE %1)").arg(serverText(connection.tracker.bye()->text));
        state.failure = plan.what + QStringLiteral(" failed: ") + reason;
        return;
    }
    if (plan.fetchNumber > 0 && plan.lastPercent && literal && literal->size > 0 && fetchNumber == plan.fetchNumber) {
        const int percent = int(qMin<qint64>(99, literal->received * 100 / literal->size));
        if (percent > *plan.lastPercent) {
            *plan.lastPercent = percent;
            qint32 value = percent;
            emit percentDone(value);
        }
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
ImapClient::Command ImapClient::sendCommand(const platform::LifeToken &life, const CommandSpec &plan)
{
    if (!requireConnection(life, plan.what))
        return {};
    if (m_connection->tracker.isAwaitingContinuation()) {
        setError(plan.what + QStringLiteral(" failed: another command is half sent (waiting for the "
                                            "server's go-ahead); try again when it has finished"));
        return {};
    }
    const QByteArray tag = m_connection->newTag();
    const Command command = m_connection->tracker.add(tag, plan.kind, plan.fetchNumber);
    command->keepRawText = plan.keepRawText;
    command->answerKeyword = plan.answerKeyword;
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
        if (!waitFor(life, goAhead)) {
            // The server now takes whatever comes next as the literal: the connection is useless.
            if (life.ownerAlive() && isCurrent(life))
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

ImapClient::Command ImapClient::runCommand(const platform::LifeToken &life, const CommandSpec &plan)
{
    Command command = takeSentAhead(plan);
    if (!command)
        command = sendCommand(life, plan);
    if (!command)
        return {};
    if (!waitFor(life, {[command] { return command->done(); }, plan.what})) {
        // Its answer will still come; nobody reads it any more.
        command->abandoned = true;
        command->untagged.clear();
        return {};
    }
    return command;
}
