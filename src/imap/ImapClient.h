#pragma once
// The program's IMAP client: one TLS connection to the mail server, used synchronously from the
// GUI thread. Each call waits for its answer in short slices and raises abortCheck while it
// waits, so the window stays responsive and a click on Stop can end the call. Handlers of those
// signals give the event loop a turn, so the user may connect, disconnect or fetch again inside a
// running call; the running call then notices its connection was replaced and fails cleanly.
//
// The client never changes the mailbox: EXAMINE instead of SELECT, BODY.PEEK[] so \Seen is left
// alone.

#include "platform/Wait.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QMap>
#include <QObject>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

// One message as the server sent it; parsing it is the caller's business.
struct FetchedMessage {
    QByteArray raw;          // the whole RFC 5322 message
    QDateTime internalDate;  // INTERNALDATE in local time; invalid when the server sent none
};

struct MailboxInfo {
    QString name;            // Unicode, decoded from modified UTF-7
    QStringList attributes;  // e.g. "\\All", "\\HasNoChildren"
    QString delimiter;       // empty when the server has none
};

// The calls a caller will make right after the next connectToServer, in this order, announced
// before it: the client sends them in one write as soon as the server greets, so that they
// cost one round trip together instead of one each. The calls are then made as usual and take
// the answers; a call that differs from what was announced is sent on its own, and whatever
// was announced after it is dropped unanswered.
struct ImapOpening {
    QString identification;             // a raw command line (sendRawCommand)
    QString user, password;             // login
    QString mailbox;                    // selectMailbox; empty: none
    int fetchFirst = 0, fetchLast = 0;  // setFetchAhead right after the mailbox; 0: none
};

struct ImapPendingCommand;
struct ImapSearchRequest;
struct ImapFetchData;

class ImapClient : public QObject {
    Q_OBJECT
public:
    // How many FETCH commands may be in flight at once when fetching ahead. The window follows
    // the size of the messages seen so far, so that about fetchAheadBudget bytes are on their
    // way: many small messages keep a long pipe full, a run of large ones does not fill memory.
    static constexpr int minFetchAheadWindow = 4;
    static constexpr int initialFetchAheadWindow = 16;
    static constexpr int maxFetchAheadWindow = 512;
    static constexpr qint64 fetchAheadBudget = qint64(16) << 20;

    explicit ImapClient(QObject *parent = nullptr);
    ~ImapClient() override;  // logs out within a short bound and closes; raises no signals

    void setSsl(bool on);    // implicit TLS; only true can connect
    void setPort(int port);  // default: QUORVALE_IMAP_PORT or 993

    // 1 = connected and the greeting read; anything else is a failure (see lastErrorText).
    // An existing connection is ended first: never more than one connection at a time.
    int connectToServer(const QString &host);
    // For the next connectToServer only (see ImapOpening).
    void announceOpening(const ImapOpening &opening);

    // Sends one line (the client adds the tag) and returns every response line up to and
    // including the tagged one. Empty on failure or a NO/BAD answer.
    QString sendRawCommand(const QString &command);

    int login(const QString &user, const QString &password);  // 1 = logged in
    std::optional<QList<MailboxInfo>> listMailboxes(const QString &reference, const QString &pattern);
    int selectMailbox(const QString &name);  // EXAMINE (read-only); 1 = selected
    // Messages in the selected mailbox, 0 when none. Carried whole as the server sent it, which
    // may be more than an int holds: the caller decides what it can take.
    qint64 messageCount() const;
    qint64 uidValidity() const;  // of the selected mailbox; -1 when unknown
    // Untagged responses on this connection that no command asked for: counted and dropped.
    qint64 droppedResponseCount() const;

    // Fetches message n (1-based) of the selected mailbox. Nothing is sent for a number outside
    // the mailbox.
    std::optional<FetchedMessage> fetchMessage(int sequenceNumber);

    // Announces that fetches of first..last follow in this order, so later FETCH commands can be
    // sent while earlier answers are read. (0, 0) turns this off. Any other call keeps working:
    // answers to commands sent ahead and no longer wanted are read and dropped.
    void setFetchAhead(int first, int last);

    // UID SEARCH in the selected mailbox: the UIDs found, in the order the server sent them.
    // Nothing on failure; a refusal carries the server's reason in lastErrorText.
    std::optional<QList<qint64>> searchUids(const ImapSearchRequest &request);
    // Announces that fetches of these UIDs follow in this order (like setFetchAhead); an empty
    // list turns it off.
    void setUidFetchAhead(const QList<qint64> &uids);
    // Fetches the message with this UID in the selected mailbox (UID FETCH ... BODY.PEEK[]).
    std::optional<FetchedMessage> fetchMessageByUid(qint64 uid);

    // The outcome of the last call: why it failed, or a short "OK: ..." after success. Never
    // contains the password.
    QString lastErrorText() const;

    void disconnect();  // LOGOUT (short bound) and close; safe when not connected

    // Test seams. Timeouts in ms: connect (TCP and TLS handshake) and silence while waiting for
    // an answer. CA certificates trusted besides the system's; by default the one in
    // QUORVALE_IMAP_CAFILE.
    void setTimeouts(int connectMs, int responseMs);
    // The most one response may hold, literals included, when it does not give its message's
    // size; by default the size the settings allow a message (largestMessageWithoutSize) and a
    // little more. A FETCH answer that gives the size (RFC822.SIZE) is bounded by it instead.
    void setMaxResponseSize(qint64 bytes);
    void setExtraCaCertificates(const QList<QSslCertificate> &certificates);

signals:
    void abortCheck(qint32 &abort);    // a handler sets -1 to end the running call (it then fails)
    void percentDone(qint32 &percent); // 0..100 of the running call (a fetch: of its message)

private:
    struct Connection;
    struct CommandSpec;
    struct WaitSpec;
    using Command = std::shared_ptr<ImapPendingCommand>;

    platform::WaitPlan callWait(const platform::LifeToken &life, platform::Deadline *deadline);
    bool raiseAbortCheck();
    bool startCall(const platform::LifeToken &life, const QString &what);
    bool checkAbort(const platform::LifeToken &life, const QString &what);
    bool reportPercent(const platform::LifeToken &life, int percent, int &lastPercent, const QString &what);
    bool isCurrent(const platform::LifeToken &life) const;
    bool requireConnection(const platform::LifeToken &life, const QString &what);

    qint64 responseSizeBound() const;
    void prepareTlsConfiguration();
    bool openSocket(const platform::LifeToken &life, const QString &host);
    bool waitForEncrypted(const platform::LifeToken &life, const QString &what, platform::Deadline &deadline);
    bool waitFor(const platform::LifeToken &life, const WaitSpec &plan);
    struct SliceState;
    void readSlice(const platform::LifeToken &life, const WaitSpec &plan, SliceState &state, int ms);
    platform::WaitOutcome endConnection(std::unique_ptr<Connection> connection, const platform::LifeToken &life,
                                        bool raiseSignals);
    Command sendLogout(Connection &connection);
    bool interruptedWait(platform::WaitOutcome outcome, const QString &what);
    void dropConnection(const QString &error);

    static CommandSpec rawCommandSpec(const QByteArray &line);
    static CommandSpec loginSpec(const QByteArray &user, const QByteArray &password);
    static CommandSpec examineSpec(const QString &mailbox);
    void sendOpening(const platform::LifeToken &life, const ImapOpening &opening);
    Command takeSentAhead(const CommandSpec &plan);
    bool nextSentAheadIs(const CommandSpec &plan) const;
    void discardSentAhead();

    Command sendCommand(const platform::LifeToken &life, const CommandSpec &plan);
    Command runCommand(const platform::LifeToken &life, const CommandSpec &plan);
    bool sendBytes(const QByteArray &bytes, const QString &what);

    Command takeOrSendFetch(const platform::LifeToken &life, int number);
    bool sendFetchesAhead(const platform::LifeToken &life, int current);
    QByteArray fetchesAheadUpTo(qint64 last);
    int fetchAheadWindow() const;
    void discardFetchesAhead();
    std::optional<FetchedMessage> messageFrom(const ImapPendingCommand &command, int number,
                                           qsizetype *size);

    void setError(const QString &text);
    void setSuccess(const QString &text);
    QString redacted(QString text) const;
    QString serverText(const QString &text) const;
    QString commandFailure(const QString &what, const ImapPendingCommand &command) const;
    QString connectionLostText(const QString &what) const;

    std::unique_ptr<Connection> m_connection;
    // Renewed whenever the connection is opened, closed or replaced, and ended with this object:
    // a call that waited while a signal handler did either finds its token gone.
    platform::Lifetime m_connectionLife;
    bool m_ssl = true;
    int m_port;
    int m_connectTimeoutMs = 20000;
    int m_responseTimeoutMs = 60000;
    qint64 m_maxResponseSize = 0;  // 0: from the settings, read at each connect
    QList<QSslCertificate> m_extraCaCertificates;
    QSslConfiguration m_tlsConfiguration;
    QString m_lastError;
    QByteArray m_secret;  // the password while LOGIN runs, to keep it out of every error text

    std::optional<ImapOpening> m_opening;
    // Commands of the opening not yet taken by their calls, in the order sent, each with its
    // text (without the tag) to know its call by.
    QList<QPair<QByteArray, Command>> m_sentAhead;

    int m_aheadFirst = 0;
    int m_aheadLast = 0;
    int m_aheadNext = 0;  // the next number not yet sent ahead
    QMap<int, Command> m_ahead;
    qint64 m_fetchedBytes = 0;  // message sizes seen, for the window
    int m_fetchedMessages = 0;

    // UID fetches: the announced UIDs, the next one to send ahead, and those in flight in the
    // order sent.
    Command takeOrSendUidFetch(const platform::LifeToken &life, qint64 uid);
    bool sendUidFetchesAhead(const platform::LifeToken &life);
    void discardUidFetchesAhead();
    std::optional<FetchedMessage> messageWithUid(const ImapPendingCommand &command, qint64 uid);
    // The message of fetched data, counted for the fetch-ahead window.
    FetchedMessage countFetched(ImapFetchData &data);
    QList<qint64> m_uidAhead;
    qsizetype m_uidAheadNext = 0;
    QList<QPair<qint64, Command>> m_uidInFlight;
};
