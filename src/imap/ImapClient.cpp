#include "imap/ImapClient.h"

#include "imap/ImapClientInternals.h"
#include "imap/ImapEndpoint.h"
#include "imap/LargestMessageSetting.h"
#include "imap/ModifiedUtf7.h"
#include "imap/PasswordMask.h"

using namespace ImapClientDetail;

ImapClient::ImapClient(QObject *parent)
    : QObject(parent),
      m_port(ImapEndpoint::fromEnvironment().port)
{
    const QString caFile = ImapEndpoint::fromEnvironment().caFile;
    if (!caFile.isEmpty())
        m_extraCaCertificates = QSslCertificate::fromPath(caFile, QSsl::Pem,
                                                          QSslCertificate::PatternSyntax::FixedString);
    prepareTlsConfiguration();
}

ImapClient::~ImapClient()
{
    // Handlers of our signals may touch a half-destroyed object: raise none from here.
    endConnection(std::move(m_connection), platform::LifeToken(), false);
}

void ImapClient::setSsl(bool on) { m_ssl = on; }
void ImapClient::setPort(int port) { m_port = port; }

void ImapClient::setTimeouts(int connectMs, int responseMs)
{
    m_connectTimeoutMs = qMax(1, connectMs);
    m_responseTimeoutMs = qMax(1, responseMs);
}

void ImapClient::setMaxResponseSize(qint64 bytes)
{
    m_maxResponseSize = qMax<qint64>(1, bytes);
    if (m_connection)
        m_connection->reader.setMaxResponseSize(m_maxResponseSize);
}

qint64 ImapClient::responseSizeBound() const
{
    if (m_maxResponseSize > 0)
        return m_maxResponseSize;
    return largestMessageWithoutSize() + ImapResponseReader::responseLineRoom;
}

void ImapClient::setExtraCaCertificates(const QList<QSslCertificate> &certificates)
{
    m_extraCaCertificates = certificates;
    prepareTlsConfiguration();
}

QString ImapClient::lastErrorText() const { return m_lastError; }

qint64 ImapClient::messageCount() const
{
    return m_connection ? m_connection->tracker.messageCount() : 0;
}

qint64 ImapClient::uidValidity() const
{
    return m_connection ? m_connection->tracker.uidValidity() : -1;
}

qint64 ImapClient::droppedResponseCount() const
{
    return m_connection ? m_connection->tracker.droppedCount() : 0;
}

// ---- connecting ------------------------------------------------------------------------------

int ImapClient::connectToServer(const QString &host)
{
    // A new life at once: a call still waiting on the old connection (we may be inside one of
    // its signals) sees that it was replaced.
    m_connectionLife.renew();
    const platform::LifeToken life = m_connectionLife.token();
    const QString what = QStringLiteral("Connect to %1:%2").arg(host).arg(m_port);
    // What was announced is for this connect only, whether it succeeds or not.
    const std::optional<ImapOpening> opening = std::exchange(m_opening, std::nullopt);
    discardSentAhead();
    // A range announced on the old connection is not one for the new.
    setFetchAhead(0, 0);
    m_secret.clear();
    // The old connection's LOGOUT goes out now and is answered while the new connection is
    // made, instead of costing a round trip of its own; the old one closes when this call ends.
    const std::unique_ptr<Connection> leaving = std::move(m_connection);
    if (leaving)
        sendLogout(*leaving);
    if (!m_ssl) {
        setError(what + QStringLiteral(" failed: only TLS connections (IMAPS, usually port 993) are "
                                       "supported; turn SSL on"));
        return 0;
    }
    if (host.trimmed().isEmpty() || m_port <= 0 || m_port > 65535) {
        setError(what + QStringLiteral(" failed: no host name or an invalid port"));
        return 0;
    }
    if (!startCall(life, what) || !openSocket(life, host.trimmed()))
        return 0;
    const WaitSpec greeting{[this] { return m_connection->tracker.greeting().has_value(); },
                            what + QStringLiteral(" (waiting for the server's greeting)")};
    if (!waitFor(life, greeting))
        return 0;
    const ImapResponse &answer = *m_connection->tracker.greeting();
    if (answer.status != ImapStatus::Ok && answer.status != ImapStatus::Preauth) {
        dropConnection(what + QStringLiteral(" failed: the server refused: %1 %2")
                                  .arg(imapStatusName(answer.status), answer.text));
        return 0;
    }
    setSuccess(QStringLiteral("OK: connected to %1 (%2)").arg(m_connection->where, answer.text));
    if (opening)
        sendOpening(life, *opening);
    return isCurrent(life) ? 1 : 0;
}

void ImapClient::disconnect()
{
    m_connectionLife.renew();
    const platform::LifeToken life = m_connectionLife.token();
    discardSentAhead();
    discardFetchesAhead();
    std::unique_ptr<Connection> connection = std::move(m_connection);
    if (!connection) {
        setSuccess(QStringLiteral("OK: not connected"));
        return;
    }
    const QString where = connection->where;
    const platform::WaitOutcome ending = endConnection(std::move(connection), life, true);
    if (ending == platform::WaitOutcome::Gone)
        return;  // destroyed, or a connect made meanwhile reports its own outcome
    setSuccess(ending == platform::WaitOutcome::Aborted ? QStringLiteral("OK: disconnected from %1 (without waiting for LOGOUT)").arg(where)
                       : QStringLiteral("OK: disconnected from %1").arg(where));
}

// ---- commands --------------------------------------------------------------------------------

QString ImapClient::sendRawCommand(const QString &commandText)
{
    const platform::LifeToken life = m_connectionLife.token();
    const QByteArray line = commandText.toUtf8();
    const CommandSpec plan = rawCommandSpec(line);
    const QString what = plan.what;
    if (!startCall(life, what) || !requireConnection(life, what))
        return QString();
    if (!isOneCommandLine(line)) {
        setError(what + QStringLiteral(" failed: a raw command must be one non-empty line"));
        return QString();
    }
    if (plan.kind == ImapPendingCommand::Kind::Select && !nextSentAheadIs(plan))
        discardFetchesAhead();
    const Command command = runCommand(life, plan);
    if (!command)
        return QString();
    if (!command->succeeded()) {
        setError(commandFailure(what, *command));
        return QString();
    }
    setSuccess(QStringLiteral("OK: %1 done (%2)").arg(what, command->completion->text));
    return QString::fromUtf8(command->rawText);
}

int ImapClient::login(const QString &user, const QString &password)
{
    const platform::LifeToken life = m_connectionLife.token();
    const QString what = QStringLiteral("LOGIN");
    if (!startCall(life, what) || !requireConnection(life, what))
        return 0;
    const QByteArray userBytes = user.toUtf8();
    const QByteArray passwordBytes = password.toUtf8();
    if (containsImapNul(userBytes) || containsImapNul(passwordBytes)) {
        setError(QStringLiteral("LOGIN failed: the user name or password holds a NUL character, which IMAP cannot carry"));
        return 0;
    }
    const CommandSpec plan = loginSpec(userBytes, passwordBytes);
    if (!nextSentAheadIs(plan))
        discardFetchesAhead();
    // Whatever is said about this login, the password stays out of it.
    m_secret = passwordBytes;
    const Command command = runCommand(life, plan);
    int result = 0;
    if (!life.ownerAlive())
        return 0;
    if (command) {
        if (command->succeeded()) {
            setSuccess(QStringLiteral("OK: logged in as %1 (%2)").arg(user, serverText(command->completion->text)));
            result = 1;
        } else {
            setError(commandFailure(what, *command));
        }
    }
    m_secret.clear();
    return result;
}

std::optional<QList<MailboxInfo>> ImapClient::listMailboxes(const QString &reference, const QString &pattern)
{
    const platform::LifeToken life = m_connectionLife.token();
    const QString what = QStringLiteral("LIST");
    if (!startCall(life, what) || !requireConnection(life, what))
        return std::nullopt;
    const CommandSpec plan{{text("LIST "), astring(encodeMailboxName(reference)), text(" "),
                            astring(encodeMailboxName(pattern))},
                           ImapPendingCommand::Kind::Other, 0, false, what, "LIST"};
    const Command command = runCommand(life, plan);
    if (!command)
        return std::nullopt;
    if (!command->succeeded()) {
        setError(commandFailure(what, *command));
        return std::nullopt;
    }
    QList<MailboxInfo> mailboxes;
    int unreadable = 0;
    for (const ImapResponse &response : command->untagged) {
        if (response.keyword != "LIST")
            continue;
        const std::optional<ImapListEntry> entry = parseListResponse(response);
        if (!entry) {
            ++unreadable;
            continue;
        }
        mailboxes.append({decodeMailboxName(entry->wireName), entry->attributes, entry->delimiter});
    }
    QString outcome = QStringLiteral("OK: %1 mailboxes listed").arg(mailboxes.size());
    if (unreadable > 0)
        outcome += QStringLiteral(" (%1 unreadable LIST lines skipped)").arg(unreadable);
    setSuccess(outcome);
    return mailboxes;
}

int ImapClient::selectMailbox(const QString &name)
{
    const platform::LifeToken life = m_connectionLife.token();
    const CommandSpec plan = examineSpec(name);
    const QString what = plan.what;
    if (!startCall(life, what) || !requireConnection(life, what))
        return 0;
    // Answers still due for the old mailbox mean nothing in the new one; those an opening sent
    // after this EXAMINE are for it.
    if (!nextSentAheadIs(plan))
        discardFetchesAhead();
    const Command command = runCommand(life, plan);
    if (!command)
        return 0;
    if (!command->succeeded()) {
        setError(commandFailure(what, *command));
        return 0;
    }
    setSuccess(QStringLiteral("OK: mailbox \"%1\" opened read-only, %2 messages").arg(name).arg(messageCount()));
    return 1;
}

ImapClient::CommandSpec ImapClient::rawCommandSpec(const QByteArray &line)
{
    const QByteArray verb = line.left(line.indexOf(' ')).toUpper();
    const QString what = QStringLiteral("Command %1").arg(QString::fromUtf8(verb.left(40)));
    const bool opensMailbox = verb == "SELECT" || verb == "EXAMINE";
    return {{text(line)}, opensMailbox ? ImapPendingCommand::Kind::Select : ImapPendingCommand::Kind::Other,
            0, true, what, verb};
}

ImapClient::CommandSpec ImapClient::loginSpec(const QByteArray &user, const QByteArray &password)
{
    return {{text("LOGIN "), astring(user), text(" "), astring(password)}, ImapPendingCommand::Kind::Other, 0,
            false, QStringLiteral("LOGIN"), QByteArray()};
}

ImapClient::CommandSpec ImapClient::examineSpec(const QString &mailbox)
{
    return {{text("EXAMINE "), astring(encodeMailboxName(mailbox))}, ImapPendingCommand::Kind::Select, 0, false,
            QStringLiteral("EXAMINE \"%1\"").arg(mailbox), QByteArray()};
}

// ---- outcome texts ---------------------------------------------------------------------------

void ImapClient::setError(const QString &text) { m_lastError = redacted(text); }
void ImapClient::setSuccess(const QString &text) { m_lastError = redacted(text); }

QString ImapClient::redacted(QString text) const
{
    // Too short a password would blank out ordinary letters; the server's text, the only place
    // such a one could come from, is withheld by serverText instead.
    if (m_secret.size() < 3)
        return text;
    const QString plain = QString::fromUtf8(m_secret);
    text.replace(plain, QStringLiteral("********"));
    text.replace(QString::fromUtf8(quoteImapString(m_secret)), QStringLiteral("********"));
    return text;
}

// Text the server sent, for an error text. While the password is in flight the server may echo
// it, whole or in pieces; looking for them costs time with the text's length, and an error text
// needs no more than its start.
QString ImapClient::serverText(const QString &text) const
{
    if (m_secret.isEmpty())
        return text;
    constexpr qsizetype longestMaskedText = 2000;
    return maskPasswordPieces(text.left(longestMaskedText), QString::fromUtf8(m_secret));
}

QString ImapClient::commandFailure(const QString &what, const ImapPendingCommand &command) const
{
    const ImapResponse &answer = *command.completion;
    QString text = what + QStringLiteral(" failed: the server answered ") + imapStatusName(answer.status);
    if (!answer.code.isEmpty())
        text += QStringLiteral(" [%1]").arg(serverText(QString::fromUtf8(answer.code)));
    if (!answer.text.isEmpty())
        text += QLatin1Char(' ') + serverText(answer.text);
    return text;
}

QString ImapClient::connectionLostText(const QString &what) const
{
    if (!m_connection)
        return what + QStringLiteral(" failed: the connection was closed while the call ran "
                                     "(a disconnect or a failure during it)");
    return what + QStringLiteral(" failed: the connection was replaced by a new one while the call ran");
}
