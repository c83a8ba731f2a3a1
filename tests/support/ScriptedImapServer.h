#pragma once
// A small IMAP server over TLS whose answers a test scripts, for faults a real server cannot be
// made to show: silence, a cut in the middle of a literal, a slow literal, odd answers.
//
// It runs in its own thread, so the synchronous client under test can block on its socket while
// the server answers. Handlers run in that thread; they talk to the client only through the
// session they are given. Its certificate is made at start with openssl for "localhost" and is
// its own CA: give caCertificates() to the client.

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QMap>
#include <QMutex>
#include <QObject>
#include <QSslCertificate>
#include <QSslKey>
#include <QString>
#include <QTemporaryDir>
#include <atomic>
#include <functional>
#include <memory>

class QSslSocket;
class QThread;
class QTimer;
class ScriptedImapServer;

// One client connection, living in the server thread. Output is queued: each piece goes out
// after its delay, in order, so a handler can describe a slow or broken answer in one go.
class ScriptedImapSession : public QObject {
    Q_OBJECT
public:
    ScriptedImapSession(ScriptedImapServer &server, QSslSocket *socket);
    ~ScriptedImapSession() override;

    void send(const QByteArray &bytes, int delayMs = 0);
    void sendSlowly(const QByteArray &bytes, int chunkSize, int delayMs);
    // Sends `size` bytes that piece(offset, length) makes, a piece at a time as the client takes
    // them, so that a huge answer is never held whole; at most bytesPerSecond when that is set.
    using Generator = std::function<QByteArray(qint64 offset, qint64 length)>;
    void sendGenerated(qint64 size, Generator piece, qint64 bytesPerSecond = 0);
    void closeAfterOutput();  // closes once everything queued has gone out
    // While held, answers queue up unsent; releasing sends them in order.
    void holdOutput(bool on);
    bool outputReleased() const { return m_released; }

    ScriptedImapServer &server() { return m_server; }
    int number() const { return m_number; }  // 1 for the first connection of the server

private:
    struct Output {
        int delayMs = 0;
        QByteArray bytes;
        bool close = false;
        Generator generate;  // with size and sent: made piece by piece
        qint64 size = 0;
        qint64 sent = 0;
        qint64 bytesPerSecond = 0;
        QElapsedTimer clock;
    };
    void readCommands();
    void dispatch(const QByteArray &tag, const QByteArray &name, const QByteArray &arguments);
    void pumpOutput();
    bool pumpGenerated(Output &output);  // false while it waits for the client or the rate

    ScriptedImapServer &m_server;
    QSslSocket *m_socket;
    QTimer *m_timer;
    QByteArray m_input;
    QByteArray m_command;          // a command being assembled across literals
    qint64 m_literalRemaining = 0;
    QList<Output> m_output;
    int m_number;
    bool m_held = false;
    bool m_released = false;  // held once and let go
};

class ScriptedImapServer {
public:
    // Answers one command. arguments is the rest of the command line with literals inline
    // ("{5}\r\nhello"), as parseImapValues reads it.
    using Handler = std::function<void(ScriptedImapSession &session, const QByteArray &tag,
                                       const QByteArray &arguments)>;

    ScriptedImapServer();
    ~ScriptedImapServer();

    // Makes the certificate and starts listening on a free port of 127.0.0.1.
    bool start(QString *error);

    QString host() const { return QStringLiteral("localhost"); }
    quint16 port() const { return m_port; }
    QList<QSslCertificate> caCertificates() const { return {m_certificate}; }
    QString caFile() const;

    // Set these before a client connects.
    void setGreeting(const QByteArray &line);  // without CRLF; empty: never greet
    void setHandshake(bool on);                 // false: accept TCP and never start TLS
    void setAccount(const QByteArray &user, const QByteArray &password);
    void setMessages(const QList<QByteArray> &messages);  // what EXAMINE and FETCH serve
    void setRefuseLiterals(bool on);  // answer NO instead of "+" to a synchronising literal
    void on(const QByteArray &commandName, Handler handler);  // replaces the default answer
    // The n-th connection from now answers nothing until the command releases[n - 1] arrives,
    // then everything at once: a client that waits for an answer before sending that command
    // waits for ever.
    void holdAnswersUntil(const QList<QByteArray> &releases);
    // Makes the next TCP connects slow: the listen queue is filled for a while, so the kernel
    // drops a client's SYN and the client only gets in on its retransmission (about 1 s later).
    // The filler connections count as accepted connections.
    void holdNewConnections(int ms);

    // The default answer to a FETCH of message n: INTERNALDATE and BODY[] as a literal.
    static QByteArray fetchResponse(int number, const QByteArray &message);
    // For sendGenerated: head, then `fillerSize` bytes of 78 "x" and CRLF line after line, then
    // tail; a message of any size without holding it.
    static ScriptedImapSession::Generator filledAnswer(const QByteArray &head, qint64 fillerSize,
                                                       const QByteArray &tail);
    QByteArray message(int number) const;  // 1-based; empty when there is none
    int messageCount() const;

    // Observations, from any thread.
    int connectionsAccepted() const { return m_accepted; }
    int openConnections() const { return m_open; }
    QList<QByteArray> commandsReceived() const;  // "LOGIN ...", "FETCH 1 (...)": tag removed

private:
    friend class ScriptedImapSession;
    class Listener;
    void handle(ScriptedImapSession &session, const QByteArray &tag, const QByteArray &name,
                const QByteArray &arguments);
    void defaultAnswer(ScriptedImapSession &session, const QByteArray &tag, const QByteArray &name,
                       const QByteArray &arguments);
    void noteCommand(const QByteArray &line);

    QTemporaryDir m_dir;
    QSslCertificate m_certificate;
    QSslKey m_key;
    quint16 m_port = 0;
    QThread *m_thread = nullptr;
    Listener *m_listener = nullptr;

    mutable QMutex m_mutex;  // guards what follows
    QByteArray m_greeting = "* OK [CAPABILITY IMAP4rev1 ID] Scripted server ready";
    bool m_handshake = true;
    bool m_refuseLiterals = false;
    QByteArray m_user = "user";
    QByteArray m_password = "secret";
    QList<QByteArray> m_messages;
    QMap<QByteArray, Handler> m_handlers;
    QList<QByteArray> m_commands;
    QList<QByteArray> m_holdReleases;
    int m_holdFrom = 0;  // connections accepted before holdAnswersUntil

    std::atomic<int> m_accepted{0};
    std::atomic<int> m_open{0};
};
