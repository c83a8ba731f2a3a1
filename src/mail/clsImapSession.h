#pragma once
// One IMAP session of the main window: connection settings and credentials, connect and
// login, mailbox count, the download loop and the mailbox listing. It drives the window's
// one ImapClient and turns the client's abort and progress questions into its own answers.
//
// Held by std::shared_ptr: Stop drops the window's reference while this object's own download
// is still running, and every public call keeps the object alive until it returns.
//
// A session owns the connection its last Connect opened. When a later connect or disconnect
// takes it away (the user may do either inside an event-loop turn of a running call), the
// session behaves as if Stop had been clicked: the call ends at its next step, quietly.

#include <QObject>
#include <QPointer>
#include <QString>
#include <memory>

#include "mail/MailSearchOutcome.h"
#include "mime/MailMessage.h"

#include <QList>

class ImapClient;
class MailConnection;
struct FetchedMessage;

class clsImapSession : public QObject, public std::enable_shared_from_this<clsImapSession> {
    Q_OBJECT
public:
    // Given the window's connection, a session on its client, set for the configured server.
    static std::shared_ptr<clsImapSession> create(const MailConnection *connection = nullptr);
    ~clsImapSession() override;

    bool AbortProcess = false;
    qint32 MaxRecord = 0;
    qint32 CurrentLocation = 0;
    QPointer<ImapClient> ImapObject;
    qint32 PORT = 0;
    bool SSL = false;
    QString IMAPServer;
    QString Password;
    QString Username;

    // The one failure box of every failed connect, login, select or listing.
    void GetLastError();
    bool Connect();
    qint32 GetTotalMessage(const QString &FolderName);
    void StartMailExtraction(const QString &FolderName);
    // Searches the folder on the server: with Gmail's own search where the server offers it,
    // otherwise with the standard keys the query translates to. Keeps what it found for
    // StartSearchExtraction.
    MailSearchOutcome SearchMailbox(const QString &FolderName, const QString &query);
    // Downloads the messages the last SearchMailbox found, as StartMailExtraction does a range;
    // CurrentLocation and MaxRecord count the messages found.
    void StartSearchExtraction(const QString &FolderName);
    // Lists the mailboxes into the application-wide folder lists; returns every listed name.
    QStringList EnumMailFolders();

    // The outcome of the last StartMailExtraction: how many numbers its range held, and how
    // many of those fetches obtained no message (fetches cut short by Stop not counted).
    qint64 fetchesInRange() const { return m_fetchesInRange; }
    qint64 failedFetches() const { return m_failedFetches; }
    // True once a later connect or disconnect took this session's connection away.
    bool connectionTaken() const { return m_connectionTaken; }

signals:
    // One message obtained, whole, with its shown date written.
    void messageArrived(const MessageEntry &entry, qint32 sequenceNumber);
    void ScrapProgress(qint32 &percent);

private:
    clsImapSession() = default;
    void subscribe();
    void reportFailure();
    bool connectWith(const QString &mailbox, int fetchFirst, int fetchLast);
    bool connectAndSelect(const QString &FolderName, qint64 fetchFirst = 0, qint64 fetchLast = 0);
    bool endIfConnectionTaken();
    void skipDoneAfterFailure();
    ImapClient &client();
    void reportMessage(const FetchedMessage &fetched, qint32 sequenceNumber);
    void Imap1_AbortCheck(qint32 &abort);
    void Imap1_PercentDone(qint32 &percent);

    QPointer<ImapClient> Imap1;
    QMetaObject::Connection m_abortConnection;
    QMetaObject::Connection m_percentConnection;
    qint32 m_lastResult = 0;
    quint64 m_connectionEpoch = 0;
    bool m_connectionTaken = false;
    qint64 m_fetchesInRange = 0;
    qint64 m_failedFetches = 0;
    QList<qint64> m_foundUids;
    qint64 m_foundUidValidity = -1;  // the folder's UIDVALIDITY when the UIDs were found
};

using ImapSessionPtr = std::shared_ptr<clsImapSession>;
