#include "mail/clsImapSession.h"

#include "core/AppError.h"
#include "core/AppGlobals.h"
#include "core/ErrorLog.h"
#include "core/GeneralDate.h"
#include "core/MessageBox.h"
#include "core/ProgramFolder.h"
#include "mail/Folders.h"
#include "mail/MailConnection.h"
#include "imap/ImapClient.h"
#include "imap/ImapEndpoint.h"
#include "platform/EventLoop.h"
#include "platform/Shell.h"

#include <limits>

namespace {

const QString kIdCommand = QStringLiteral("ID (\"GUID\" \"1\")");

QString invalidLoginText()
{
    return QStringLiteral("Invalid login. Please double-check your username and password.")
        + QStringLiteral("\r\n\r\n")
        + QStringLiteral("In addition, please check your Gmail Inbox for a message from Google "
                         "about Less Secure Apps.")
        + QStringLiteral("\r\n\r\n")
        + QStringLiteral("Would you like to see a screenshot/picture of the Less Secure Apps "
                         "email so you know exactly what I'm talking about?");
}

// The count as the program's 32-bit message number. A count beyond it (a broken or hostile
// server) is refused with a clear error rather than wrapped around or used to size anything.
qint32 countThatFits(qint64 count, const QString &mailbox)
{
    constexpr qint64 most = std::numeric_limits<qint32>::max();
    if (count >= 0 && count <= most)
        return qint32(count);
    throw AppError(QStringLiteral("The server reports %1 messages in \"%2\". This program can "
                                  "download at most %3 messages from one mailbox.")
                       .arg(count)
                       .arg(mailbox)
                       .arg(most),
                   apperror::Overflow);
}

}  // namespace

std::shared_ptr<clsImapSession> clsImapSession::create(const MailConnection *connection)
{
    std::shared_ptr<clsImapSession> session(new clsImapSession());
    if (connection) {
        session->ImapObject = connection->client();
        session->SSL = true;
        session->PORT = ImapEndpoint::fromEnvironment().port;
        session->IMAPServer = ImapEndpoint::fromEnvironment().host;
    }
    return session;
}

clsImapSession::~clsImapSession()
{
    // Releasing a session drops its subscriptions; the connection stays with the client.
    QObject::disconnect(m_abortConnection);
    QObject::disconnect(m_percentConnection);
}

void clsImapSession::subscribe()
{
    if (Imap1 == ImapObject && m_abortConnection)
        return;
    QObject::disconnect(m_abortConnection);
    QObject::disconnect(m_percentConnection);
    Imap1 = ImapObject;
    if (!Imap1)
        return;
    m_abortConnection = connect(Imap1, &ImapClient::abortCheck, this,
                                &clsImapSession::Imap1_AbortCheck, Qt::DirectConnection);
    m_percentConnection = connect(Imap1, &ImapClient::percentDone, this,
                                  &clsImapSession::Imap1_PercentDone, Qt::DirectConnection);
}

ImapClient &clsImapSession::client()
{
    if (!Imap1)
        apperror::throwObjectNotSet();
    return *Imap1;
}

void clsImapSession::GetLastError()
{
    // The client's own explanation goes behind "Show Details", so a user can see why.
    const QString detail = Imap1 ? Imap1->lastErrorText() : QString();
    const auto answer = showMessage(invalidLoginText(), platform::BoxButtons::YesNo,
                                    platform::BoxIcon::None, QString(), detail);
    if (answer != platform::BoxAnswer::Yes)
        return;
    platform::shell().openWithDefaultAction(programFile(QStringLiteral("Pictures/less-secure-apps1.jpg")));
    platform::shell().openWithDefaultAction(programFile(QStringLiteral("Pictures/less-secure-apps2.jpg")));
}

void clsImapSession::reportFailure()
{
    // A call that failed because the user clicked Stop, or took the connection away, is no
    // login problem: no box for it.
    if (!endIfConnectionTaken())
        GetLastError();
}

// Answers AbortProcess, after setting it when a later connect or disconnect took this
// session's connection: from then on the session acts as if Stop had been clicked.
bool clsImapSession::endIfConnectionTaken()
{
    if (!AbortProcess && (!Imap1 || currentConnectionEpoch(*Imap1) != m_connectionEpoch)) {
        AbortProcess = true;
        m_connectionTaken = true;
    }
    return AbortProcess;
}

bool clsImapSession::Connect()
{
    return connectWith(QString(), 0, 0);
}

// Connect, with what follows the greeting announced to the client so that it goes out in one
// write: the identification and the login, and for a download the mailbox and first fetches.
// The announcement is made here from the very values the calls below use, so the two agree.
bool clsImapSession::connectWith(const QString &mailbox, int fetchFirst, int fetchLast)
{
    const auto keepAlive = shared_from_this();
    subscribe();
    ImapClient &imap = client();
    imap.setSsl(SSL);
    imap.setPort(PORT);
    m_connectionEpoch = startConnectionEpoch(imap);
    imap.announceOpening({kIdCommand, Username, Password, mailbox, fetchFirst, fetchLast});
    m_lastResult = imap.connectToServer(IMAPServer);
    if (m_lastResult == 1 && !imap.sendRawCommand(kIdCommand).isEmpty()) {
        m_lastResult = imap.login(Username, Password);
        if (m_lastResult == 1)
            return true;
    }
    reportFailure();
    return false;
}

qint32 clsImapSession::GetTotalMessage(const QString &FolderName)
{
    const auto keepAlive = shared_from_this();
    subscribe();
    m_lastResult = client().selectMailbox(FolderName);
    if (m_lastResult == 1) {
        const qint64 count = client().messageCount();
        return countThatFits(count, FolderName);
    }
    reportFailure();
    return 0;
}

// A download's start: a new connection with the folder opened read-only, and the fetches of
// messages fetchFirst..fetchLast (when given) sent with it. False (with its box shown) when
// either fails.
bool clsImapSession::connectAndSelect(const QString &FolderName, qint64 fetchFirst, qint64 fetchLast)
{
    m_fetchesInRange = 0;
    m_failedFetches = 0;
    const bool fetchesFit = fetchFirst > 0 && fetchLast >= fetchFirst && fetchLast <= std::numeric_limits<int>::max();
    if (!connectWith(FolderName, fetchesFit ? int(fetchFirst) : 0, fetchesFit ? int(fetchLast) : 0)) {
        if (!AbortProcess)
            showMessage(QStringLiteral("Connection failed. Check username and password."));
        skipDoneAfterFailure();
        return false;
    }
    subscribe();
    m_lastResult = client().selectMailbox(FolderName);
    if (m_lastResult != 1) {
        reportFailure();
        skipDoneAfterFailure();
        return false;
    }
    return true;
}

// A download that could not start has said why in its box; a "Done." after that box would
// read as if it had worked. After Stop there is no box, and the run ends as a stopped one does.
void clsImapSession::skipDoneAfterFailure()
{
    if (!AbortProcess)
        globals().SkipDoneMessage = true;
}

void clsImapSession::StartMailExtraction(const QString &FolderName)
{
    const auto keepAlive = shared_from_this();
    // 64 bits, so that a range ending at the largest 32-bit number ends instead of wrapping.
    const qint64 first = CurrentLocation;
    const qint64 last = MaxRecord;
    if (!connectAndSelect(FolderName, first, last))
        return;
    m_fetchesInRange = qMax<qint64>(0, last - first + 1);
    client().setFetchAhead(int(first), int(last));
    const ErrorLogWriter errorLog;
    for (qint64 i = first; i <= last; ++i) {
        platform::giveEventLoopTurn();
        if (endIfConnectionTaken())
            break;
        CurrentLocation = qint32(i);
        ImapClient &imap = client();
        const std::optional<FetchedMessage> fetched = imap.fetchMessage(int(i));
        errorLog.append(imap.lastErrorText());
        // Once Stop was clicked every later fetch fails: end here rather than logging failures
        // for the rest of the range. A message obtained after Stop is not reported.
        if (endIfConnectionTaken())
            break;
        if (!fetched) {
            ++m_failedFetches;
            continue;
        }
        reportMessage(*fetched, qint32(i));
        // The next pass starts with a turn; one here as well only doubled it.
    }
    // A connection taken away is the new owner's: nothing of this run may touch it.
    if (Imap1 && !m_connectionTaken)
        Imap1->setFetchAhead(0, 0);
}

void clsImapSession::reportMessage(const FetchedMessage &fetched, qint32 sequenceNumber)
{
    MessageEntry entry = parseMailMessage(fetched.raw, fetched.internalDate);
    entry.ReceivedDate = formatGeneralDate(entry.ReceivedDateTime);
    emit messageArrived(entry, sequenceNumber);
}

QStringList clsImapSession::EnumMailFolders()
{
    const auto keepAlive = shared_from_this();
    QStringList names;
    try {
        subscribe();
        const auto mailboxes = client().listMailboxes(QString(), QStringLiteral("*"));
        if (!mailboxes) {
            GetLastError();
            return names;
        }
        storeFolderListing(classifyMailboxes(*mailboxes));
        for (const MailboxInfo &mailbox : *mailboxes) {
            names << mailbox.name;
            platform::giveEventLoopTurn();
        }
    } catch (const std::exception &) {
        throw AppError(QStringLiteral("clsImapSession component failure"), -2147221404L,
                       QStringLiteral("Vantelo.clsImapSession.EnumMailFolders"));
    }
    return names;
}

void clsImapSession::Imap1_AbortCheck(qint32 &abort)
{
    abort = AbortProcess ? -1 : 0;
    platform::giveEventLoopTurn();
}

void clsImapSession::Imap1_PercentDone(qint32 &percent)
{
    emit ScrapProgress(percent);
    platform::giveEventLoopTurn();
}
