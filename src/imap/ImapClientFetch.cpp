// Fetching messages, one at a time or with later FETCH commands sent ahead.

#include "imap/ImapClient.h"

#include "imap/ImapClientInternals.h"

using namespace ImapClientDetail;

namespace {

// The size first: a server that answers in the order asked gives it before the message, and the
// reader then bounds the answer by it.
QByteArray fetchCommand(qint64 number)
{
    return "FETCH " + QByteArray::number(number) + " (RFC822.SIZE INTERNALDATE BODY.PEEK[])";
}

}  // namespace

void ImapClient::setFetchAhead(int first, int last)
{
    // The range an opening already sends ahead keeps its commands.
    if (first > 0 && first == m_aheadFirst && last == m_aheadLast)
        return;
    discardFetchesAhead();
    if (first <= 0 || last < first) {
        m_aheadFirst = m_aheadLast = m_aheadNext = 0;
        return;
    }
    m_aheadFirst = first;
    m_aheadLast = last;
    m_aheadNext = first;
    m_fetchedBytes = 0;
    m_fetchedMessages = 0;
}

void ImapClient::discardFetchesAhead()
{
    discardUidFetchesAhead();
    for (const Command &command : std::as_const(m_ahead)) {
        command->abandoned = true;
        command->untagged.clear();
    }
    m_ahead.clear();
}

// The command whose answer is message `number`: one sent ahead for it, or a new one. Commands
// sent ahead for numbers the caller skipped, or all of them when it went back, are abandoned.
ImapClient::Command ImapClient::takeOrSendFetch(const platform::LifeToken &life, int number)
{
    const QString what = QStringLiteral("FETCH %1").arg(number);
    const CommandSpec plan{{text(fetchCommand(number))}, ImapPendingCommand::Kind::Fetch, number, false, what,
                           QByteArray()};
    const bool announced = m_aheadFirst > 0 && number >= m_aheadFirst && number <= m_aheadLast;
    if (!announced) {
        discardFetchesAhead();
        return sendCommand(life, plan);
    }
    if (m_ahead.contains(number)) {
        while (m_ahead.firstKey() < number) {
            const Command skipped = m_ahead.take(m_ahead.firstKey());
            skipped->abandoned = true;
            skipped->untagged.clear();
        }
        return m_ahead.take(number);
    }
    discardFetchesAhead();
    m_aheadNext = number + 1;
    return sendCommand(life, plan);
}

int ImapClient::fetchAheadWindow() const
{
    if (m_fetchedMessages == 0 || m_fetchedBytes == 0)
        return initialFetchAheadWindow;
    const qint64 averageSize = qMax<qint64>(1, m_fetchedBytes / m_fetchedMessages);
    return int(qBound(qint64(minFetchAheadWindow), fetchAheadBudget / averageSize, qint64(maxFetchAheadWindow)));
}

// Keeps up to fetchAheadWindow() commands in flight for the announced range, sent in one write.
bool ImapClient::sendFetchesAhead(const platform::LifeToken &life, int current)
{
    if (m_aheadFirst <= 0 || current < m_aheadFirst || current > m_aheadLast || !isCurrent(life)
        || m_connection->tracker.isAwaitingContinuation())
        return true;
    m_aheadNext = qMax(m_aheadNext, current + 1);
    const QByteArray batch = fetchesAheadUpTo(qMin<qint64>(m_aheadLast, m_connection->tracker.messageCount()));
    return batch.isEmpty() || sendBytes(batch, QStringLiteral("FETCH %1").arg(current));
}

// Tags and records the next FETCH commands of the announced range, up to `last` and the window
// (the one being waited for counts as one of it); the text to send them in one write.
QByteArray ImapClient::fetchesAheadUpTo(qint64 last)
{
    QByteArray batch;
    const int window = fetchAheadWindow();
    while (m_aheadNext <= last && m_ahead.size() < window - 1) {
        const QByteArray tag = m_connection->newTag();
        m_ahead.insert(m_aheadNext, m_connection->tracker.add(tag, ImapPendingCommand::Kind::Fetch, m_aheadNext));
        batch += tag + ' ' + fetchCommand(m_aheadNext) + "\r\n";
        ++m_aheadNext;
    }
    return batch;
}

std::optional<FetchedMessage> ImapClient::fetchMessage(int sequenceNumber)
{
    const platform::LifeToken life = m_connectionLife.token();
    const QString what = QStringLiteral("FETCH %1").arg(sequenceNumber);
    int lastPercent = -1;
    if (!startCall(life, what) || !requireConnection(life, what)
        || !reportPercent(life, 0, lastPercent, what))
        return std::nullopt;
    if (!m_connection->tracker.hasSelection()) {
        setError(what + QStringLiteral(" failed: no mailbox is selected"));
        return std::nullopt;
    }
    const qint64 count = messageCount();
    if (sequenceNumber < 1 || sequenceNumber > count) {
        setError(what + QStringLiteral(" failed: the mailbox has no message with that number (it holds %1)").arg(count));
        return std::nullopt;
    }
    const Command command = takeOrSendFetch(life, sequenceNumber);
    if (!command || !sendFetchesAhead(life, sequenceNumber))
        return std::nullopt;
    const WaitSpec plan{[command] { return command->done(); }, what, sequenceNumber, &lastPercent};
    if (!waitFor(life, plan)) {
        if (life.ownerAlive() && isCurrent(life) && m_aheadFirst > 0 && sequenceNumber >= m_aheadFirst
            && sequenceNumber <= m_aheadLast && !m_ahead.contains(sequenceNumber)) {
            // Stopped while waiting: the answer keeps coming and a retry of this number uses it.
            m_ahead.insert(sequenceNumber, command);
        } else {
            command->abandoned = true;
            command->untagged.clear();
        }
        return std::nullopt;
    }
    if (!command->succeeded()) {
        setError(commandFailure(what, *command));
        return std::nullopt;
    }
    qsizetype size = 0;
    std::optional<FetchedMessage> message = messageFrom(*command, sequenceNumber, &size);
    if (!message)
        return std::nullopt;
    // The message is complete: a handler that reconnects from here on does not undo that.
    qint32 percent = 100;
    emit percentDone(percent);
    if (life.ownerAlive())
        setSuccess(QStringLiteral("OK: message %1 fetched (%2 bytes)").arg(sequenceNumber).arg(size));
    return message;
}

std::optional<FetchedMessage> ImapClient::messageFrom(const ImapPendingCommand &command, int number,
                                                   qsizetype *size)
{
    ImapFetchData data = ImapClientDetail::joinFetchParts(
        command, [number](const ImapResponse &, const ImapFetchData &part) { return part.sequenceNumber == number; });
    if (!data.hasBody) {
        if (m_connection && m_connection->tracker.bye()) {
            setError(QStringLiteral("FETCH %1 failed: the server is closing the connection (BYE %2)")
                         .arg(number).arg(m_connection->tracker.bye()->text));
            return std::nullopt;
        }
        setError(QStringLiteral("FETCH %1 failed: the server sent no message (was it deleted?)").arg(number));
        return std::nullopt;
    }
    *size = data.body.size();
    return countFetched(data);
}

FetchedMessage ImapClient::countFetched(ImapFetchData &data)
{
    m_fetchedBytes += data.body.size();
    ++m_fetchedMessages;
    const QDateTime internalDate = data.internalDate.isValid() ? data.internalDate.toLocalTime() : QDateTime();
    return FetchedMessage{std::move(data.body), internalDate};
}
