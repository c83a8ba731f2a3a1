#include "TestServer.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtGlobal>

#include <cstdlib>

namespace {

const char *const kDirVariable = "QUORVALE_TEST_DOVECOT_DIR";

[[noreturn]] void fail(const QString &text)
{
    qFatal("Dovecot test fixture: %s", qPrintable(text));
    std::abort();  // qFatal does not return; this keeps [[noreturn]] honest for the compiler
}

// KEY=VALUE lines. The value is everything after the first '=', taken literally: the test
// password holds a space, a double quote and a backslash.
QHash<QString, QString> readEnvFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail(QStringLiteral("cannot read %1 (%2); did the dovecot_start test run?")
                 .arg(path, file.errorString()));
    QHash<QString, QString> values;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const QByteArray &line : lines) {
        const int equals = line.indexOf('=');
        if (equals > 0)
            values.insert(QString::fromUtf8(line.left(equals)),
                          QString::fromUtf8(line.mid(equals + 1)));
    }
    return values;
}

QString required(const QHash<QString, QString> &values, const QString &key, const QString &path)
{
    const QString value = values.value(key);
    if (value.isEmpty())
        fail(QStringLiteral("%1 has no %2").arg(path, key));
    return value;
}

QDateTime isoDate(const QJsonValue &value, const QString &where)
{
    const QDateTime date = QDateTime::fromString(value.toString(), Qt::ISODate);
    if (!date.isValid())
        fail(QStringLiteral("%1: bad date '%2'").arg(where, value.toString()));
    return date;
}

QJsonObject userEntry(const QString &dir, const QString &user)
{
    const QString path = dir + QStringLiteral("/corpus.json");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail(QStringLiteral("cannot read the manifest %1 (%2)").arg(path, file.errorString()));
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    if (doc.isNull())
        fail(QStringLiteral("%1 is not valid JSON: %2").arg(path, error.errorString()));
    const QJsonObject users = doc.object().value(QStringLiteral("users")).toObject();
    if (!users.contains(user))
        fail(QStringLiteral("the manifest has no user '%1'").arg(user));
    return users.value(user).toObject();
}

TestServer::ExpectedMessage parseMessage(const QJsonObject &o, const QString &dir,
                                         const QString &where)
{
    TestServer::ExpectedMessage m;
    m.shape = o.value(QStringLiteral("shape")).toString();
    m.from = o.value(QStringLiteral("from")).toString();
    m.fromName = o.value(QStringLiteral("fromName")).toString();
    m.fromAddress = o.value(QStringLiteral("fromAddress")).toString();
    m.subject = o.value(QStringLiteral("subject")).toString();
    m.date = isoDate(o.value(QStringLiteral("date")), where);
    m.dateFromInternalDate = o.value(QStringLiteral("dateFromInternalDate")).toBool();
    m.hasPlain = o.value(QStringLiteral("hasPlain")).toBool();
    m.hasHtml = o.value(QStringLiteral("hasHtml")).toBool();
    m.plainSnippet = o.value(QStringLiteral("plainSnippet")).toString();
    m.htmlSnippet = o.value(QStringLiteral("htmlSnippet")).toString();
    m.seq = o.value(QStringLiteral("seq")).toInt();
    m.messageId = o.value(QStringLiteral("messageId")).toString();
    m.fromMalformed = o.value(QStringLiteral("fromMalformed")).toBool();
    m.absentSnippet = o.value(QStringLiteral("absentSnippet")).toString();
    m.internalDate = isoDate(o.value(QStringLiteral("internalDate")), where);
    m.size = o.value(QStringLiteral("size")).toInteger();
    m.emlPath = dir + QLatin1Char('/') + o.value(QStringLiteral("file")).toString();
    return m;
}

}  // namespace

TestServer TestServer::fromFixture()
{
    const QString dir = qEnvironmentVariable(kDirVariable);
    if (dir.isEmpty())
        fail(QStringLiteral("%1 is not set; run the test through ctest so that the dovecot "
                            "fixture starts first").arg(QLatin1String(kDirVariable)));
    const QString path = dir + QStringLiteral("/env");
    const QHash<QString, QString> values = readEnvFile(path);

    TestServer server;
    server.dir = dir;
    server.host = required(values, QStringLiteral("QUORVALE_IMAP_HOST"), path);
    bool ok = false;
    server.port = required(values, QStringLiteral("QUORVALE_IMAP_PORT"), path).toInt(&ok);
    if (!ok || server.port <= 0 || server.port > 65535)
        fail(QStringLiteral("%1 has a bad QUORVALE_IMAP_PORT").arg(path));
    server.caFile = required(values, QStringLiteral("QUORVALE_IMAP_CAFILE"), path);
    if (!QFileInfo::exists(server.caFile))
        fail(QStringLiteral("the CA file %1 does not exist").arg(server.caFile));
    server.user = required(values, QStringLiteral("TEST_USER"), path);
    server.password = required(values, QStringLiteral("TEST_PASSWORD"), path);
    server.emptyUser = required(values, QStringLiteral("EMPTY_USER"), path);
    server.emptyPassword = required(values, QStringLiteral("EMPTY_PASSWORD"), path);
    return server;
}

void TestServer::applyToEnvironment() const
{
    qputenv("QUORVALE_IMAP_HOST", host.toUtf8());
    qputenv("QUORVALE_IMAP_PORT", QByteArray::number(port));
    qputenv("QUORVALE_IMAP_CAFILE", caFile.toUtf8());
}

QList<TestServer::ExpectedMessage> TestServer::corpus(const QString &user,
                                                      const QString &mailbox) const
{
    const QJsonObject boxes = userEntry(dir, user).value(QStringLiteral("mailboxes")).toObject();
    if (!boxes.contains(mailbox))
        fail(QStringLiteral("the manifest has no mailbox '%1' for %2").arg(mailbox, user));
    const QJsonArray entries =
        boxes.value(mailbox).toObject().value(QStringLiteral("messages")).toArray();
    QList<ExpectedMessage> messages;
    messages.reserve(entries.size());
    for (const QJsonValue &entry : entries) {
        const QString where = QStringLiteral("%1 %2 #%3").arg(user, mailbox).arg(messages.size() + 1);
        messages.append(parseMessage(entry.toObject(), dir, where));
        if (messages.constLast().seq != messages.size())
            fail(where + QStringLiteral(": manifest entries are out of sequence order"));
    }
    return messages;
}

QList<TestServer::ExpectedMailbox> TestServer::mailboxes(const QString &user) const
{
    const QJsonObject boxes = userEntry(dir, user).value(QStringLiteral("mailboxes")).toObject();
    QList<ExpectedMailbox> result;
    for (auto it = boxes.begin(); it != boxes.end(); ++it) {
        const QJsonObject box = it.value().toObject();
        result.append({it.key(), box.value(QStringLiteral("specialUse")).toString(),
                       int(box.value(QStringLiteral("messages")).toArray().size())});
    }
    return result;
}

TestServer::ExpectedMessage TestServer::message(const QString &user, const QString &mailbox,
                                                const QString &shape) const
{
    const QList<ExpectedMessage> messages = corpus(user, mailbox);
    for (const ExpectedMessage &m : messages) {
        if (m.shape == shape)
            return m;
    }
    fail(QStringLiteral("no message of shape '%1' in %2 of %3").arg(shape, mailbox, user));
}
