#include "ScriptedImapServer.h"

#include "imap/ImapResponseParser.h"

#include <QFile>
#include <QHostAddress>
#include <QMutexLocker>
#include <QProcess>
#include <QRegularExpression>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <algorithm>

class ScriptedImapServer::Listener : public QTcpServer {
public:
    explicit Listener(ScriptedImapServer &server) : m_server(server) {}

protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto *socket = new QSslSocket(this);
        if (!socket->setSocketDescriptor(descriptor)) {
            delete socket;
            return;
        }
        ++m_server.m_accepted;
        ++m_server.m_open;
        // The sockets are the listener's children, so this may run from ~QObject after
        // ~Listener: it must not reach the listener, only the server, which outlives it.
        std::atomic<int> *open = &m_server.m_open;
        QObject::connect(socket, &QSslSocket::disconnected, socket, [open, socket] {
            --*open;
            socket->deleteLater();
        });
        bool handshake;
        QByteArray greeting;
        {
            QMutexLocker lock(&m_server.m_mutex);
            handshake = m_server.m_handshake;
            greeting = m_server.m_greeting;
        }
        if (!handshake)
            return;  // nothing reads or answers: the client waits for a handshake that never comes
        auto *session = new ScriptedImapSession(m_server, socket);
        QObject::connect(socket, &QSslSocket::encrypted, session, [session, greeting] {
            if (!greeting.isEmpty())
                session->send(greeting + "\r\n");
        });
        socket->setLocalCertificate(m_server.m_certificate);
        socket->setPrivateKey(m_server.m_key);
        socket->startServerEncryption();
    }

private:
    ScriptedImapServer &m_server;
};

// ---- session ---------------------------------------------------------------------------------

ScriptedImapSession::ScriptedImapSession(ScriptedImapServer &server, QSslSocket *socket)
    : QObject(socket), m_server(server), m_socket(socket), m_timer(new QTimer(this)),
      m_number(server.m_accepted)
{
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, [this] {
        if (!m_output.isEmpty())
            m_output.first().delayMs = 0;
        pumpOutput();
    });
    connect(socket, &QSslSocket::readyRead, this, &ScriptedImapSession::readCommands);
    connect(socket, &QSslSocket::encryptedBytesWritten, this, [this] {
        if (!m_timer->isActive())
            pumpOutput();
    });
}

ScriptedImapSession::~ScriptedImapSession() = default;

void ScriptedImapSession::send(const QByteArray &bytes, int delayMs)
{
    m_output.append({delayMs, bytes, false});
    if (!m_timer->isActive())
        pumpOutput();
}

void ScriptedImapSession::sendSlowly(const QByteArray &bytes, int chunkSize, int delayMs)
{
    for (qsizetype pos = 0; pos < bytes.size(); pos += chunkSize)
        send(bytes.mid(pos, chunkSize), pos == 0 ? 0 : delayMs);
}

void ScriptedImapSession::sendGenerated(qint64 size, Generator piece, qint64 bytesPerSecond)
{
    Output output;
    output.generate = std::move(piece);
    output.size = size;
    output.bytesPerSecond = bytesPerSecond;
    m_output.append(std::move(output));
    if (!m_timer->isActive())
        pumpOutput();
}

void ScriptedImapSession::closeAfterOutput()
{
    m_output.append({0, QByteArray(), true});
    if (!m_timer->isActive())
        pumpOutput();
}

void ScriptedImapSession::holdOutput(bool on)
{
    m_released = m_released || (m_held && !on);
    m_held = on;
    if (!on && !m_timer->isActive())
        pumpOutput();
}

void ScriptedImapSession::pumpOutput()
{
    while (!m_output.isEmpty() && !m_held) {
        if (m_output.first().delayMs > 0) {
            m_timer->start(m_output.first().delayMs);
            return;
        }
        if (m_output.first().generate) {
            if (!pumpGenerated(m_output.first()))
                return;
            m_output.removeFirst();
            continue;
        }
        const Output output = m_output.takeFirst();
        if (output.close) {
            m_output.clear();
            m_socket->disconnectFromHost();
            return;
        }
        m_socket->write(output.bytes);
    }
}

// Keeps a few pieces on their way; the socket's encryptedBytesWritten, or the timer when the
// rate holds it back, brings it here again.
bool ScriptedImapSession::pumpGenerated(Output &output)
{
    constexpr qint64 pieceSize = qint64(1) << 20;
    constexpr qint64 onTheWay = qint64(4) << 20;
    if (!output.clock.isValid())
        output.clock.start();
    while (output.sent < output.size) {
        if (m_socket->state() != QAbstractSocket::ConnectedState)
            return false;
        if (m_socket->bytesToWrite() + m_socket->encryptedBytesToWrite() >= onTheWay)
            return false;
        qint64 length = qMin(pieceSize, output.size - output.sent);
        if (output.bytesPerSecond > 0) {
            length = qMin(length, output.clock.elapsed() * output.bytesPerSecond / 1000 - output.sent);
            if (length <= 0) {
                m_timer->start(5);
                return false;
            }
        }
        m_socket->write(output.generate(output.sent, length));
        output.sent += length;
    }
    return true;
}

// Assembles commands from lines and literals; a synchronising literal gets its "+" unless the
// server is scripted to refuse it (then the client must not send it).
void ScriptedImapSession::readCommands()
{
    m_input += m_socket->readAll();
    static const QRegularExpression literalAtEnd(QStringLiteral("\\{(\\d+)(\\+?)\\}$"));
    for (;;) {
        if (m_literalRemaining > 0) {
            const qint64 taken = qMin<qint64>(m_literalRemaining, m_input.size());
            m_command += m_input.left(taken);
            m_input.remove(0, taken);
            m_literalRemaining -= taken;
            if (m_literalRemaining > 0)
                return;
            continue;
        }
        const qsizetype lineEnd = m_input.indexOf("\r\n");
        if (lineEnd < 0)
            return;
        const QByteArray line = m_input.left(lineEnd);
        m_input.remove(0, lineEnd + 2);
        m_command += line;
        const QRegularExpressionMatch literal = literalAtEnd.match(QString::fromLatin1(line));
        if (literal.hasMatch()) {
            const bool synchronising = literal.captured(2).isEmpty();
            bool refuse;
            {
                QMutexLocker lock(&m_server.m_mutex);
                refuse = m_server.m_refuseLiterals;
            }
            if (synchronising && refuse) {
                m_server.noteCommand(m_command);
                send(m_command.left(m_command.indexOf(' ')) + " NO Literals are not accepted here\r\n");
                m_command.clear();
                continue;
            }
            m_command += "\r\n";
            m_literalRemaining = literal.captured(1).toLongLong();
            if (synchronising)
                send("+ go ahead\r\n");
            continue;
        }
        const QByteArray command = m_command;
        m_command.clear();
        const qsizetype tagEnd = command.indexOf(' ');
        const QByteArray tag = command.left(tagEnd);
        const QByteArray rest = tagEnd < 0 ? QByteArray() : command.mid(tagEnd + 1);
        const qsizetype nameEnd = rest.indexOf(' ');
        const QByteArray name = (nameEnd < 0 ? rest : rest.left(nameEnd)).toUpper();
        const QByteArray arguments = nameEnd < 0 ? QByteArray() : rest.mid(nameEnd + 1);
        m_server.noteCommand(rest);
        m_server.handle(*this, tag, name, arguments);
    }
}

// ---- server ----------------------------------------------------------------------------------

ScriptedImapServer::ScriptedImapServer()
{
    for (int i = 1; i <= 3; ++i) {
        m_messages.append(QStringLiteral("From: Sender %1 <sender%1@example.com>\r\n"
                                         "To: user@example.com\r\n"
                                         "Subject: Scripted message %1\r\n"
                                         "Date: Wed, 1 Sep 2021 15:00:00 +0200\r\n"
                                         "Content-Type: text/plain; charset=utf-8\r\n\r\n"
                                         "Body of message %1.\r\n")
                              .arg(i)
                              .toUtf8());
    }
}

ScriptedImapServer::~ScriptedImapServer()
{
    if (!m_thread)
        return;
    QMetaObject::invokeMethod(m_listener, [this] { delete m_listener; }, Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
    delete m_thread;
}

bool ScriptedImapServer::start(QString *error)
{
    if (!m_dir.isValid()) {
        *error = QStringLiteral("no temporary folder");
        return false;
    }
    QProcess openssl;
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    openssl.start(QStringLiteral("openssl"),
                  {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                   "-keyout", m_dir.filePath("key.pem"), "-out", caFile(), "-days", "2", "-subj",
                   "/CN=localhost", "-addext", "subjectAltName=DNS:localhost,IP:127.0.0.1"});
    if (!openssl.waitForFinished(30000) || openssl.exitCode() != 0) {
        *error = QStringLiteral("openssl failed: ") + QString::fromLocal8Bit(openssl.readAll());
        return false;
    }
    QFile keyFile(m_dir.filePath("key.pem"));
    if (!keyFile.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("no key file");
        return false;
    }
    m_key = QSslKey(keyFile.readAll(), QSsl::Ec);
    const QList<QSslCertificate> certificates = QSslCertificate::fromPath(caFile());
    if (m_key.isNull() || certificates.isEmpty()) {
        *error = QStringLiteral("could not read the generated certificate or key");
        return false;
    }
    m_certificate = certificates.first();

    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("ScriptedImapServer"));
    m_listener = new Listener(*this);
    m_listener->moveToThread(m_thread);
    m_thread->start();
    bool listening = false;
    QMetaObject::invokeMethod(m_listener, [&] {
        m_listener->setListenBacklogSize(1);  // small, so that holdNewConnections can fill it
        listening = m_listener->listen(QHostAddress::LocalHost, 0);
        m_port = m_listener->serverPort();
    }, Qt::BlockingQueuedConnection);
    if (!listening)
        *error = QStringLiteral("could not listen on 127.0.0.1");
    return listening;
}

void ScriptedImapServer::holdNewConnections(int ms)
{
    QMetaObject::invokeMethod(m_listener, [this, ms] {
        m_listener->pauseAccepting();
        auto *fillers = new QObject(m_listener);
        for (int i = 0; i < 3; ++i) {
            auto *filler = new QTcpSocket(fillers);
            filler->connectToHost(QHostAddress::LocalHost, m_port);
        }
        QTimer::singleShot(ms, m_listener, [this, fillers] {
            m_listener->resumeAccepting();
            fillers->deleteLater();
        });
    }, Qt::BlockingQueuedConnection);
    // Let the fillers' handshakes complete in the kernel before the client's SYN comes.
    QThread::msleep(50);
}

QString ScriptedImapServer::caFile() const { return m_dir.filePath("cert.pem"); }

void ScriptedImapServer::setGreeting(const QByteArray &line)
{
    QMutexLocker lock(&m_mutex);
    m_greeting = line;
}

void ScriptedImapServer::setHandshake(bool on)
{
    QMutexLocker lock(&m_mutex);
    m_handshake = on;
}

void ScriptedImapServer::setRefuseLiterals(bool on)
{
    QMutexLocker lock(&m_mutex);
    m_refuseLiterals = on;
}

void ScriptedImapServer::setAccount(const QByteArray &user, const QByteArray &password)
{
    QMutexLocker lock(&m_mutex);
    m_user = user;
    m_password = password;
}

void ScriptedImapServer::setMessages(const QList<QByteArray> &messages)
{
    QMutexLocker lock(&m_mutex);
    m_messages = messages;
}

void ScriptedImapServer::on(const QByteArray &commandName, Handler handler)
{
    QMutexLocker lock(&m_mutex);
    m_handlers.insert(commandName.toUpper(), std::move(handler));
}

QByteArray ScriptedImapServer::message(int number) const
{
    QMutexLocker lock(&m_mutex);
    return number >= 1 && number <= m_messages.size() ? m_messages.at(number - 1) : QByteArray();
}

int ScriptedImapServer::messageCount() const
{
    QMutexLocker lock(&m_mutex);
    return int(m_messages.size());
}

QList<QByteArray> ScriptedImapServer::commandsReceived() const
{
    QMutexLocker lock(&m_mutex);
    return m_commands;
}

void ScriptedImapServer::noteCommand(const QByteArray &line)
{
    QMutexLocker lock(&m_mutex);
    m_commands.append(line);
}

QByteArray ScriptedImapServer::fetchResponse(int number, const QByteArray &message)
{
    return "* " + QByteArray::number(number) + " FETCH (INTERNALDATE \"01-Sep-2021 15:00:00 +0200\" BODY[] {"
        + QByteArray::number(message.size()) + "}\r\n" + message + ")\r\n";
}

ScriptedImapSession::Generator ScriptedImapServer::filledAnswer(const QByteArray &head, qint64 fillerSize,
                                                               const QByteArray &tail)
{
    const QByteArray line = QByteArray(78, 'x') + "\r\n";
    const QByteArray lines = line.repeated((2 << 20) / line.size());
    return [=](qint64 offset, qint64 length) {
        QByteArray piece;
        piece.reserve(length);
        for (qint64 at = offset; at < offset + length;) {
            const qint64 left = offset + length - at;
            qint64 taken;
            if (at < head.size()) {
                taken = qMin(left, head.size() - at);
                piece.append(head.constData() + at, taken);
            } else if (at < head.size() + fillerSize) {
                const qint64 inFiller = at - head.size();
                taken = std::min({left, fillerSize - inFiller, qint64(1) << 20});
                piece.append(lines.constData() + inFiller % line.size(), taken);
            } else {
                const qint64 inTail = at - head.size() - fillerSize;
                taken = qMin(left, tail.size() - inTail);
                piece.append(tail.constData() + inTail, taken);
            }
            at += taken;
        }
        return piece;
    };
}

void ScriptedImapServer::handle(ScriptedImapSession &session, const QByteArray &tag, const QByteArray &name,
                                const QByteArray &arguments)
{
    Handler handler;
    QByteArray release;
    {
        QMutexLocker lock(&m_mutex);
        handler = m_handlers.value(name);
        release = m_holdReleases.value(session.number() - m_holdFrom - 1);
    }
    const bool holds = !release.isEmpty() && !session.outputReleased();
    if (holds)
        session.holdOutput(true);
    if (handler)
        handler(session, tag, arguments);
    else
        defaultAnswer(session, tag, name, arguments);
    if (holds && name == release)
        session.holdOutput(false);
}

void ScriptedImapServer::holdAnswersUntil(const QList<QByteArray> &releases)
{
    QMutexLocker lock(&m_mutex);
    m_holdReleases = releases;
    m_holdFrom = m_accepted;
}

void ScriptedImapServer::defaultAnswer(ScriptedImapSession &session, const QByteArray &tag,
                                       const QByteArray &name, const QByteArray &arguments)
{
    if (name == "CAPABILITY") {
        session.send("* CAPABILITY IMAP4rev1 ID\r\n" + tag + " OK CAPABILITY completed\r\n");
    } else if (name == "NOOP" || name == "LIST") {
        session.send(tag + " OK " + name + " completed\r\n");
    } else if (name == "ID") {
        session.send("* ID (\"name\" \"Scripted\")\r\n" + tag + " OK ID completed\r\n");
    } else if (name == "LOGIN") {
        QList<ImapValue> values;
        qsizetype pos = 0;
        parseImapValues(arguments, pos, values);
        QMutexLocker lock(&m_mutex);
        const bool ok = values.size() == 2 && values[0].text == m_user && values[1].text == m_password;
        lock.unlock();
        session.send(tag + (ok ? " OK Logged in\r\n" : " NO [AUTHENTICATIONFAILED] Authentication failed.\r\n"));
    } else if (name == "EXAMINE" || name == "SELECT") {
        session.send("* FLAGS (\\Seen)\r\n* " + QByteArray::number(messageCount()) + " EXISTS\r\n* 0 RECENT\r\n"
                     + tag + " OK [READ-ONLY] Examine completed\r\n");
    } else if (name == "FETCH") {
        const int number = arguments.left(arguments.indexOf(' ')).toInt();
        const QByteArray body = message(number);
        if (body.isEmpty())
            session.send(tag + " BAD Error in IMAP command FETCH: Invalid messageset\r\n");
        else
            session.send(fetchResponse(number, body) + tag + " OK Fetch completed\r\n");
    } else if (name == "LOGOUT") {
        session.send("* BYE Logging out\r\n" + tag + " OK Logout completed\r\n");
        session.closeAfterOutput();
    } else {
        session.send(tag + " BAD Unknown command\r\n");
    }
}
