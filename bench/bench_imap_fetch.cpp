// How many messages a second the IMAP client downloads: one FETCH at a time, waiting for each
// answer, and with later FETCH commands sent ahead (setFetchAhead). Prints figures; judges
// nothing.
//
//   bench_imap_fetch [--env-file FILE] [--host H] [--port P] [--cafile F] [--user U]
//                    [--password P] [--mailbox M] [--count N] [--rtt-ms MS] [--no-warmup]
//
// Unset options come from the environment: QUORVALE_IMAP_HOST / _PORT / _CAFILE, and
// BENCH_USER (or TEST_USER), BENCH_PASSWORD (or TEST_PASSWORD), BENCH_MAILBOX, BENCH_MESSAGES.
// --env-file reads the same names from a KEY=VALUE file, such as the one the Dovecot fixture
// writes (tests/fixtures/dovecot/start.sh DIR --bench-messages 1000 makes DIR/env).
// --rtt-ms puts a local relay in front of the server that delays every piece of data by half
// the given round trip each way, to show what latency does.

#include "imap/ImapClient.h"
#include "mime/MailMessage.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QHostAddress>
#include <QMutex>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <deque>

namespace {

struct Settings {
    QString host, caFile, user, password, mailbox;
    int port = 993;
    int count = 0;
    int rttMs = 0;
    bool warmup = true;
};

QHash<QString, QString> readEnvFile(const QString &path)
{
    QHash<QString, QString> values;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
        return values;
    }
    for (const QByteArray &line : file.readAll().split('\n')) {
        const int equals = line.indexOf('=');
        if (equals > 0)
            values.insert(QString::fromUtf8(line.left(equals)), QString::fromUtf8(line.mid(equals + 1)));
    }
    return values;
}

Settings readSettings(const QStringList &arguments)
{
    QHash<QString, QString> given;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &a = arguments[i];
        if (a == QLatin1String("--no-warmup"))
            given.insert(QStringLiteral("no-warmup"), QStringLiteral("1"));
        else if (a.startsWith(QLatin1String("--")) && i + 1 < arguments.size())
            given.insert(a.mid(2), arguments[++i]);
    }
    QHash<QString, QString> file;
    if (given.contains(QStringLiteral("env-file")))
        file = readEnvFile(given.value(QStringLiteral("env-file")));
    auto pick = [&](const QString &option, const QStringList &names, const QString &fallback = QString()) {
        if (given.contains(option))
            return given.value(option);
        for (const QString &name : names) {
            if (file.contains(name))
                return file.value(name);
            if (qEnvironmentVariableIsSet(name.toUtf8().constData()))
                return qEnvironmentVariable(name.toUtf8().constData());
        }
        return fallback;
    };
    Settings s;
    s.host = pick("host", {"QUORVALE_IMAP_HOST"}, "imap.gmail.com");
    s.port = pick("port", {"QUORVALE_IMAP_PORT"}, "993").toInt();
    s.caFile = pick("cafile", {"QUORVALE_IMAP_CAFILE"});
    s.user = pick("user", {"BENCH_USER", "TEST_USER"});
    s.password = pick("password", {"BENCH_PASSWORD", "TEST_PASSWORD"});
    s.mailbox = pick("mailbox", {"BENCH_MAILBOX"}, "INBOX");
    s.count = pick("count", {"BENCH_MESSAGES"}, "0").toInt();
    s.rttMs = pick("rtt-ms", {}, "0").toInt();
    s.warmup = !given.contains(QStringLiteral("no-warmup"));
    return s;
}

// A TCP relay in its own thread that holds every piece of data back for a while in each
// direction: a slow network on the loopback interface.
class DelayRelay : public QTcpServer {
public:
    DelayRelay(QString host, int port, int delayMs) : m_host(std::move(host)), m_port(port), m_delayMs(delayMs) {}

protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto *client = new QTcpSocket(this);
        client->setSocketDescriptor(descriptor);
        auto *server = new QTcpSocket(this);
        // Without this, Nagle's algorithm and delayed ACKs add their own waits to the relay's.
        client->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        server->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        server->connectToHost(m_host, quint16(m_port));
        relay(client, server);
        relay(server, client);
    }

private:
    void relay(QTcpSocket *from, QTcpSocket *to)
    {
        connect(from, &QTcpSocket::readyRead, this, [this, from, to] {
            const QByteArray bytes = from->readAll();
            QTimer::singleShot(m_delayMs, Qt::PreciseTimer, to, [to, bytes] {
                // A socket still connecting keeps what is written until it is connected.
                if (to->state() != QAbstractSocket::UnconnectedState)
                    to->write(bytes);
            });
        });
        connect(from, &QTcpSocket::disconnected, this, [this, to] {
            QTimer::singleShot(m_delayMs, to, [to] { to->disconnectFromHost(); });
        });
    }

    QString m_host;
    int m_port;
    int m_delayMs;
};

struct Run {
    int messages = 0;
    qint64 bodyCharacters = 0;
    double seconds = 0;
    QString error;
};

Run fetchAll(ImapClient &client, const Settings &s, bool ahead)
{
    Run run;
    if (client.selectMailbox(s.mailbox) != 1) {
        run.error = client.lastErrorText();
        return run;
    }
    const int count = int(s.count > 0 ? qMin<qint64>(s.count, client.messageCount()) : client.messageCount());
    client.setFetchAhead(ahead ? 1 : 0, ahead ? count : 0);
    QElapsedTimer timer;
    timer.start();
    for (int number = 1; number <= count; ++number) {
        const std::optional<FetchedMessage> message = client.fetchMessage(number);
        if (!message) {
            run.error = client.lastErrorText();
            break;
        }
        ++run.messages;
        const MessageEntry parsed = parseMailMessage(message->raw, message->internalDate);
        run.bodyCharacters += parsed.PlainTextBody.size() + parsed.HTMLTextBody.size();
    }
    run.seconds = timer.nsecsElapsed() / 1e9;
    client.setFetchAhead(0, 0);
    return run;
}

void print(const char *label, const Run &run)
{
    if (!run.error.isEmpty())
        std::printf("%-12s failed after %d messages: %s\n", label, run.messages, qPrintable(run.error));
    if (run.messages == 0)
        return;
    std::printf("%-12s %6d messages in %8.3f s = %9.1f msg/s\n", label, run.messages, run.seconds,
                run.messages / run.seconds);
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const Settings s = readSettings(app.arguments());
    if (s.user.isEmpty()) {
        std::fprintf(stderr, "no user: give --user or --env-file, or set BENCH_USER\n");
        return 2;
    }

    QString host = s.host;
    int port = s.port;
    QThread relayThread;
    std::unique_ptr<DelayRelay> relay;
    if (s.rttMs > 0) {
        relay = std::make_unique<DelayRelay>(s.host, s.port, s.rttMs / 2);
        relay->moveToThread(&relayThread);
        relayThread.start();
        QMetaObject::invokeMethod(relay.get(), [&] { relay->listen(QHostAddress::LocalHost, 0); },
                                  Qt::BlockingQueuedConnection);
        port = relay->serverPort();
    }

    ImapClient client;
    client.setPort(port);
    if (!s.caFile.isEmpty())
        client.setExtraCaCertificates(QSslCertificate::fromPath(s.caFile, QSsl::Pem,
                                                                QSslCertificate::PatternSyntax::FixedString));
    if (client.connectToServer(host) != 1 || client.login(s.user, s.password) != 1) {
        std::fprintf(stderr, "%s\n", qPrintable(client.lastErrorText()));
        return 1;
    }
    std::printf("bench_imap_fetch: %s:%d, mailbox \"%s\", round trip %s\n", qPrintable(s.host), s.port,
                qPrintable(s.mailbox), s.rttMs > 0 ? qPrintable(QStringLiteral("+%1 ms (relay)").arg(s.rttMs)) : "as is");
    if (s.warmup)
        fetchAll(client, s, true);  // the server's caches warm for both runs alike
    print("one-by-one", fetchAll(client, s, false));
    print("fetch-ahead", fetchAll(client, s, true));
    client.disconnect();

    if (relay) {
        QMetaObject::invokeMethod(relay.get(), [&] { relay.reset(); }, Qt::BlockingQueuedConnection);
        relayThread.quit();
        relayThread.wait();
    }
    return 0;
}
