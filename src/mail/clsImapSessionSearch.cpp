// The session's search of a folder and the download of what it found.

#include "mail/clsImapSession.h"

#include "core/AppGlobals.h"
#include "core/ErrorLog.h"
#include "core/MessageBox.h"
#include "imap/ImapClient.h"
#include "mail/GmailSearchQuery.h"
#include "platform/EventLoop.h"

#include <limits>

namespace {

MailSearchOutcome outcome(MailSearchOutcome::Kind kind, const QString &text, bool gmail = false)
{
    MailSearchOutcome result;
    result.kind = kind;
    result.text = text;
    result.gmailSearch = gmail;
    return result;
}

}  // namespace

MailSearchOutcome clsImapSession::SearchMailbox(const QString &FolderName, const QString &query)
{
    const auto keepAlive = shared_from_this();
    using Kind = MailSearchOutcome::Kind;
    m_foundUids.clear();
    subscribe();
    ImapClient &imap = client();
    const auto failure = [&] {
        return outcome(endIfConnectionTaken() ? Kind::Stopped : Kind::Failed, imap.lastErrorText());
    };
    if (endIfConnectionTaken())
        return outcome(Kind::Stopped, QString());
    m_lastResult = imap.selectMailbox(FolderName);
    if (m_lastResult != 1)
        return failure();
    m_foundUidValidity = imap.uidValidity();
    const QString capabilities = imap.sendRawCommand(QStringLiteral("CAPABILITY"));
    if (capabilities.isEmpty())
        return failure();
    const bool gmail = offersGmailSearch(capabilities);
    const GmailSearchKeys keys = gmail ? gmailRawSearch(query) : standardSearch(query);
    if (!keys.request)
        return outcome(Kind::Unsupported, keys.problem, gmail);
    const std::optional<QList<qint64>> found = imap.searchUids(*keys.request);
    if (!found) {
        MailSearchOutcome result = failure();
        result.gmailSearch = gmail;
        return result;
    }
    if (found->size() > std::numeric_limits<qint32>::max())
        return outcome(Kind::Failed, QStringLiteral("The server found more messages than this program can take."), gmail);
    m_foundUids = *found;
    MailSearchOutcome result = outcome(Kind::Found, QString(), gmail);
    result.count = qint32(found->size());
    return result;
}

void clsImapSession::StartSearchExtraction(const QString &FolderName)
{
    const auto keepAlive = shared_from_this();
    const QList<qint64> uids = m_foundUids;
    if (!connectAndSelect(FolderName))
        return;
    // The UIDs name other messages, or none, once the folder has been renumbered since.
    if (client().uidValidity() != m_foundUidValidity) {
        const QString renewed = QStringLiteral("The folder \"%1\" was renumbered on the server after the search, so "
                                               "the messages found can no longer be told apart; nothing was downloaded. "
                                               "Please search again.").arg(FolderName);
        appendErrorLogRecord(renewed);
        showMessage(renewed, platform::BoxButtons::Ok, platform::BoxIcon::Exclamation);
        globals().SkipDoneMessage = true;  // nothing was downloaded: no "Done." after the box
        return;
    }
    m_fetchesInRange = uids.size();
    MaxRecord = qint32(uids.size());
    client().setUidFetchAhead(uids);
    for (qsizetype k = 0; k < uids.size(); ++k) {
        platform::giveEventLoopTurn();
        if (endIfConnectionTaken())
            break;
        CurrentLocation = qint32(k + 1);
        ImapClient &imap = client();
        const std::optional<FetchedMessage> fetched = imap.fetchMessageByUid(uids[k]);
        appendErrorLogRecord(imap.lastErrorText());
        if (endIfConnectionTaken())
            break;
        if (!fetched) {
            ++m_failedFetches;
            continue;
        }
        reportMessage(*fetched, qint32(k + 1));
        platform::giveEventLoopTurn();
    }
    if (Imap1 && !m_connectionTaken)
        Imap1->setUidFetchAhead({});
}
