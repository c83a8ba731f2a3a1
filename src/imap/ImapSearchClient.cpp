// Searching the selected mailbox by UID, and fetching the messages found by UID, with later
// UID FETCH commands sent ahead as the sequence-number fetches do.

#include "imap/ImapClient.h"

#include "imap/ImapClientInternals.h"
#include "imap/ImapSearchRequest.h"
#include "imap/ImapSearchResponse.h"

using namespace ImapClientDetail;

namespace {

// UID first: the answer names its message by it. The size before the message bounds the read.
QByteArray uidFetchCommand(qint64 uid)
{
    return "UID FETCH " + QByteArray::number(uid) + " (UID RFC822.SIZE INTERNALDATE BODY.PEEK[])";
}

QList<CommandPart> searchCommandParts(const ImapSearchRequest &request)
{
    QList<CommandPart> parts{text("UID SEARCH")};
    if (needsUtf8Charset(request))
        parts.append(text(" CHARSET UTF-8"));
    for (const ImapSearchPart &part : request.parts) {
        parts.append(text(" "));
        parts.append(part.isString ? astring(part.bytes) : text(part.bytes));
    }
    return parts;
}

}  // namespace

std::optional<QList<qint64>> ImapClient::searchUids(const ImapSearchRequest &request)
{
    const platform::LifeToken life = m_connectionLife.token();
    const QString what = QStringLiteral("UID SEARCH");
    if (!startCall(life, what) || !requireConnection(life, what))
        return std::nullopt;
    if (!m_connection->tracker.hasSelection()) {
        setError(what + QStringLiteral(" failed: no mailbox is selected"));
        return std::nullopt;
    }
    for (const ImapSearchPart &part : request.parts) {
        if (containsImapNul(part.bytes) || (!part.isString && needsImapLiteral(part.bytes))) {
            setError(what + QStringLiteral(" failed: the search holds a character IMAP cannot carry"));
            return std::nullopt;
        }
    }
    const CommandSpec plan{searchCommandParts(request), ImapPendingCommand::Kind::Search, 0, false, what, "SEARCH"};
    const Command command = runCommand(life, plan);
    if (!command)
        return std::nullopt;
    if (!command->succeeded()) {
        setError(commandFailure(what, *command));
        return std::nullopt;
    }
    if (command->keptBytes > ImapCommandTracker::maxKeptBytes) {
        setError(what + QStringLiteral(" failed: the server found more messages than this program takes "
                                       "in one search; narrow the search"));
        return std::nullopt;
    }
    const std::optional<QList<qint64>> found = searchResultFrom(command->rawText);
    if (!found) {
        setError(what + QStringLiteral(" failed: the server's SEARCH answer could not be read"));
        return std::nullopt;
    }
    setSuccess(QStringLiteral("OK: %1 found %2 messages").arg(what).arg(found->size()));
    return found;
}

void ImapClient::setUidFetchAhead(const QList<qint64> &uids)
{
    discardUidFetchesAhead();
    m_uidAhead = uids;
    m_uidAheadNext = 0;
    m_fetchedBytes = 0;
    m_fetchedMessages = 0;
}

void ImapClient::discardUidFetchesAhead()
{
    for (const auto &inFlight : std::as_const(m_uidInFlight)) {
        inFlight.second->abandoned = true;
        inFlight.second->untagged.clear();
    }
    m_uidInFlight.clear();
}

// The command whose answer is the message with this UID: the one sent ahead for it (those sent
// before it for UIDs the caller skipped are given up), or a new one.
ImapClient::Command ImapClient::takeOrSendUidFetch(const platform::LifeToken &life, qint64 uid)
{
    while (!m_uidInFlight.isEmpty()) {
        const auto inFlight = m_uidInFlight.takeFirst();
        if (inFlight.first == uid)
            return inFlight.second;
        inFlight.second->abandoned = true;
        inFlight.second->untagged.clear();
    }
    const qsizetype at = m_uidAhead.indexOf(uid);
    m_uidAheadNext = at >= 0 ? at + 1 : m_uidAhead.size();
    const CommandSpec plan{{text(uidFetchCommand(uid))}, ImapPendingCommand::Kind::UidFetch, uid, false,
                           QStringLiteral("UID FETCH %1").arg(uid), QByteArray()};
    return sendCommand(life, plan);
}

bool ImapClient::sendUidFetchesAhead(const platform::LifeToken &life)
{
    if (!isCurrent(life) || m_connection->tracker.isAwaitingContinuation())
        return true;
    QByteArray batch;
    const int window = fetchAheadWindow();
    while (m_uidAheadNext < m_uidAhead.size() && m_uidInFlight.size() < window - 1) {
        const qint64 uid = m_uidAhead[m_uidAheadNext++];
        const QByteArray tag = m_connection->newTag();
        m_uidInFlight.append({uid, m_connection->tracker.add(tag, ImapPendingCommand::Kind::UidFetch, uid)});
        batch += tag + ' ' + uidFetchCommand(uid) + "\r\n";
    }
    return batch.isEmpty() || sendBytes(batch, QStringLiteral("UID FETCH"));
}

std::optional<FetchedMessage> ImapClient::fetchMessageByUid(qint64 uid)
{
    const platform::LifeToken life = m_connectionLife.token();
    const QString what = QStringLiteral("UID FETCH %1").arg(uid);
    int lastPercent = -1;
    if (!startCall(life, what) || !requireConnection(life, what) || !reportPercent(life, 0, lastPercent, what))
        return std::nullopt;
    if (!m_connection->tracker.hasSelection()) {
        setError(what + QStringLiteral(" failed: no mailbox is selected"));
        return std::nullopt;
    }
    if (uid <= 0) {
        setError(what + QStringLiteral(" failed: not a UID"));
        return std::nullopt;
    }
    const Command command = takeOrSendUidFetch(life, uid);
    if (!command || !sendUidFetchesAhead(life))
        return std::nullopt;
    if (!waitFor(life, {[command] { return command->done(); }, what})) {
        command->abandoned = true;
        command->untagged.clear();
        return std::nullopt;
    }
    if (!command->succeeded()) {
        setError(commandFailure(what, *command));
        return std::nullopt;
    }
    std::optional<FetchedMessage> message = messageWithUid(*command, uid);
    if (!message)
        return std::nullopt;
    qint32 percent = 100;
    emit percentDone(percent);
    if (life.ownerAlive())
        setSuccess(QStringLiteral("OK: message UID %1 fetched (%2 bytes)").arg(uid).arg(message->raw.size()));
    return message;
}

std::optional<FetchedMessage> ImapClient::messageWithUid(const ImapPendingCommand &command, qint64 uid)
{
    ImapFetchData data = ImapClientDetail::joinFetchParts(
        command, [uid](const ImapResponse &response, const ImapFetchData &) { return fetchResponseUid(response) == uid; });
    if (!data.hasBody) {
        setError(QStringLiteral("UID FETCH %1 failed: the server sent no message (was it deleted?)").arg(uid));
        return std::nullopt;
    }
    return countFetched(data);
}
