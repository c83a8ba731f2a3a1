// An opening: the identification, login, mailbox and first fetches a caller announced, sent in
// one write when the server greets, and handed to the calls that ask for them.

#include "imap/ImapClient.h"

#include "imap/ImapClientInternals.h"

using namespace ImapClientDetail;

namespace {

// The command's text after its tag; empty when a part must travel as a synchronising literal,
// which waits for the server's "+" and so cannot be sent ahead.
QByteArray wireText(const QList<CommandPart> &parts)
{
    QByteArray text;
    for (const CommandPart &part : parts) {
        if (part.literal)
            return QByteArray();
        text += part.bytes;
    }
    return text;
}

}  // namespace

void ImapClient::announceOpening(const ImapOpening &opening)
{
    m_opening = opening;
}

// Sends what was announced for this connection, if anything. A login that needs a literal
// sends nothing ahead: each call then goes on its own, as without an opening.
void ImapClient::sendOpening(const platform::LifeToken &life, const ImapOpening &opening)
{
    if (!isCurrent(life))
        return;
    const QByteArray password = opening.password.toUtf8();
    QList<CommandSpec> plans{rawCommandSpec(opening.identification.toUtf8()), loginSpec(opening.user.toUtf8(), password)};
    if (!opening.mailbox.isEmpty())
        plans.append(examineSpec(opening.mailbox));
    // A literal (wireText gives nothing) or a NUL in any of them: nothing is sent ahead.
    QByteArrayList lines;
    for (const CommandSpec &plan : std::as_const(plans)) {
        lines.append(wireText(plan.parts));
        if (!isOneCommandLine(lines.last()))
            return;
    }
    QByteArray batch;
    for (qsizetype i = 0; i < plans.size(); ++i) {
        const QByteArray tag = m_connection->newTag();
        const Command command = m_connection->tracker.add(tag, plans[i].kind);
        command->keepRawText = plans[i].keepRawText;
        command->answerKeyword = plans[i].answerKeyword;
        m_sentAhead.append({lines[i], command});
        batch += tag + ' ' + lines[i] + "\r\n";
    }
    // The fetches go after the EXAMINE: the server reads them in the mailbox it opens.
    if (!opening.mailbox.isEmpty() && opening.fetchFirst > 0) {
        setFetchAhead(opening.fetchFirst, opening.fetchLast);
        batch += fetchesAheadUpTo(m_aheadLast);
    }
    // From here the password is in flight: the server's answers may echo it.
    m_secret = password;
    sendBytes(batch, QStringLiteral("LOGIN"));
}

bool ImapClient::nextSentAheadIs(const CommandSpec &plan) const
{
    return !m_sentAhead.isEmpty() && m_sentAhead.first().first == wireText(plan.parts);
}

// The command sent ahead for this call, taken; or none, and then nothing sent ahead is wanted
// any more: the caller has left the announced order.
ImapClient::Command ImapClient::takeSentAhead(const CommandSpec &plan)
{
    if (m_sentAhead.isEmpty())
        return {};
    if (!nextSentAheadIs(plan)) {
        discardSentAhead();
        return {};
    }
    return m_sentAhead.takeFirst().second;
}

// The fetches an opening sent depend on its EXAMINE: they go with it.
void ImapClient::discardSentAhead()
{
    if (m_sentAhead.isEmpty())
        return;
    for (const auto &sent : std::as_const(m_sentAhead)) {
        sent.second->abandoned = true;
        sent.second->untagged.clear();
    }
    m_sentAhead.clear();
    discardFetchesAhead();
}
