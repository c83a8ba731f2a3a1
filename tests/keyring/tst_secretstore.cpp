// The password and the real secret store (a private gnome-keyring that run-with-keyring.sh
// starts): kept there only while "Remember me" is on, never in a file, and moved out of the
// settings file where an earlier version left it.

#include "TestFiles.h"
#include "core/SecretStore.h"
#include "core/SettingsStore.h"
#include "platform/ScriptedDialogs.h"

#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QtTest>

#include <csignal>

namespace {

// What the secret store holds for us, asked through another program so that no state of this
// process can answer; empty when it holds nothing.
QString storedPassword()
{
    QProcess lookup;
    lookup.start("secret-tool", {"lookup", "user", "Password", "server", "Tervane Quorvale"});
    if (!lookup.waitForFinished(10000))
        return QStringLiteral("<secret-tool did not answer>");
    return QString::fromUtf8(lookup.readAllStandardOutput());
}

// The process id of the secret store daemon run-with-keyring.sh started, asked of the bus.
qint64 secretStoreDaemon()
{
    QProcess ask;
    ask.start("dbus-send", {"--session", "--print-reply", "--dest=org.freedesktop.DBus",
                            "/org/freedesktop/DBus", "org.freedesktop.DBus.GetConnectionUnixProcessID",
                            "string:org.freedesktop.secrets"});
    if (!ask.waitForFinished(10000))
        return 0;
    const QRegularExpressionMatch match =
        QRegularExpression("uint32 (\\d+)").match(QString::fromUtf8(ask.readAllStandardOutput()));
    return match.hasMatch() ? match.captured(1).toLongLong() : 0;
}

// Holds the daemon still for as long as it lives: requests sent meanwhile get no answer.
class PausedStore {
public:
    explicit PausedStore(qint64 pid) : m_pid(pid) { ::kill(pid_t(m_pid), SIGSTOP); }
    ~PausedStore() { ::kill(pid_t(m_pid), SIGCONT); }

private:
    qint64 m_pid;
};

void writeSettingsFile(const QByteArray &content)
{
    QDir().mkpath(QFileInfo(settingsFilePath()).path());
    QFile file(settingsFilePath());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

}  // namespace

class TestSecretStore : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void rememberedPasswordGoesOnlyToTheStore_data();
    void rememberedPasswordGoesOnlyToTheStore();
    void forgottenPasswordIsStoredNowhere();
    void emptyPasswordDeletes();
    void plainPasswordMovesToTheStoreWhenRemembered();
    void plainPasswordIsErasedWhenNotRemembered();
    void writeAlsoClearsAPlainPassword();
    void slowAnswerCostsOnlyItsOwnRequest();
    void forgettingIsRetriedUntilTheStoreAnswers();

private:
    void verifyNoFileContains(const QString &text);

    platform::ScriptedDialogs m_dialogs;
};

void TestSecretStore::initTestCase()
{
    QVERIFY2(qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS"),
             "run through tests/fixtures/keyring/run-with-keyring.sh");
    // The wrapper gives this run its own HOME; never grep or write a real one.
    QVERIFY(QDir::homePath().contains("quorvale-keyring"));
    QVERIFY2(secretstore::isAvailable(), qPrintable(secretstore::unavailableReason()));
}

void TestSecretStore::init()
{
    QFile::remove(settingsFilePath());
    secretstore::deletePassword();
    QCOMPARE(storedPassword(), QString());
}

void TestSecretStore::verifyNoFileContains(const QString &text)
{
    QCOMPARE(filesContaining(QDir::homePath(), text), QStringList());
    QCOMPARE(filesContaining(qEnvironmentVariable("XDG_CONFIG_HOME"), text), QStringList());
}

void TestSecretStore::rememberedPasswordGoesOnlyToTheStore_data()
{
    QTest::addColumn<QString>("password");
    QTest::newRow("ASCII") << "Remembered-Secret-4821";
    QTest::newRow("non-ASCII and INI syntax") << "pässwörd €=[x]; \"q\" 日本";
}

void TestSecretStore::rememberedPasswordGoesOnlyToTheStore()
{
    QFETCH(QString, password);
    saveSetting("StayConnected", "1");
    saveSetting("Password", password);
    QCOMPARE(storedPassword(), password);
    QCOMPARE(getSetting("Password"), password);
    verifyNoFileContains(password);
    QVERIFY(!QString::fromUtf8([] {
                 QFile f(settingsFilePath());
                 return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
             }())
                 .contains("Password"));
    QVERIFY(m_dialogs.shown.isEmpty());
}

void TestSecretStore::forgottenPasswordIsStoredNowhere()
{
    saveSetting("StayConnected", "1");
    saveSetting("Password", "Earlier-Secret-1111");
    QCOMPARE(storedPassword(), QString("Earlier-Secret-1111"));

    // Unticking "Remember me" and saving again forgets the password that was remembered.
    saveSetting("StayConnected", "0");
    saveSetting("Password", "Forgotten-Secret-2222");
    QCOMPARE(storedPassword(), QString());
    QCOMPARE(getSetting("Password"), QString());
    verifyNoFileContains("Forgotten-Secret-2222");
    verifyNoFileContains("Earlier-Secret-1111");

    // A "Remember me" that is no number keeps the password out too.
    saveSetting("StayConnected", "abc");
    saveSetting("Password", "Unclear-Secret-3333");
    QCOMPARE(storedPassword(), QString());
}

void TestSecretStore::emptyPasswordDeletes()
{
    saveSetting("StayConnected", "-1");
    saveSetting("Password", "Short-Lived-5555");
    QCOMPARE(getSetting("Password"), QString("Short-Lived-5555"));
    saveSetting("Password", "");
    QCOMPARE(storedPassword(), QString());
    QCOMPARE(getSetting("Password", "default"), QString("default"));
}

void TestSecretStore::plainPasswordMovesToTheStoreWhenRemembered()
{
    writeSettingsFile("[Quorvale]\nUser=someone@gmail.com\nStayConnected=1\nPassword=Plain-Old-6666\n");
    QCOMPARE(getSetting("Password"), QString("Plain-Old-6666"));
    QCOMPARE(storedPassword(), QString("Plain-Old-6666"));
    verifyNoFileContains("Plain-Old-6666");
    QCOMPARE(getSetting("User"), QString("someone@gmail.com"));
}

void TestSecretStore::plainPasswordIsErasedWhenNotRemembered()
{
    writeSettingsFile("[Quorvale]\nStayConnected=0\nPassword=Plain-Old-7777\n");
    QCOMPARE(getSetting("Password"), QString());
    QCOMPARE(storedPassword(), QString());
    verifyNoFileContains("Plain-Old-7777");
}

void TestSecretStore::writeAlsoClearsAPlainPassword()
{
    writeSettingsFile("[Quorvale]\nStayConnected=1\nPassword=Plain-Old-8888\n");
    saveSetting("Password", "New-Secret-9999");
    QCOMPARE(storedPassword(), QString("New-Secret-9999"));
    verifyNoFileContains("Plain-Old-8888");
    verifyNoFileContains("New-Secret-9999");
}

void TestSecretStore::slowAnswerCostsOnlyItsOwnRequest()
{
    const qint64 daemon = secretStoreDaemon();
    QVERIFY(daemon > 0);
    saveSetting("StayConnected", "1");
    {
        PausedStore paused(daemon);
        saveSetting("Password", "Slow-Write-1212");  // no answer within the limit
    }
    // The late write lands once the store runs again.
    QTRY_COMPARE_WITH_TIMEOUT(storedPassword(), QString("Slow-Write-1212"), 20000);

    // The store answers again, so "Remember me" unticked forgets the password at once.
    saveSetting("StayConnected", "0");
    saveSetting("Password", "Slow-Write-1212");
    QCOMPARE(storedPassword(), QString());
    QVERIFY(m_dialogs.shown.isEmpty());
}

void TestSecretStore::forgettingIsRetriedUntilTheStoreAnswers()
{
    const qint64 daemon = secretStoreDaemon();
    QVERIFY(daemon > 0);
    saveSetting("StayConnected", "1");
    saveSetting("Password", "Must-Be-Forgotten-3434");
    saveSetting("StayConnected", "0");
    {
        PausedStore paused(daemon);
        saveSetting("Password", "Must-Be-Forgotten-3434");  // the delete gets no answer: told
        saveSetting("User", "someone@gmail.com");            // retried, no answer: not told again
        QCOMPARE(m_dialogs.shown.size(), 1);
        QVERIFY2(m_dialogs.messageTexts().first().contains("could not be removed from the secret store"),
                 qPrintable(m_dialogs.messageTexts().first()));
        // Start-up reads the password: one asked to be forgotten is never shown again.
        QCOMPARE(getSetting("Password"), QString());
    }
    // Start-up retries the delete once the store answers, and then the matter is settled.
    QCOMPARE(getSetting("Password"), QString());
    QCOMPARE(storedPassword(), QString());
    QFile settings(settingsFilePath());
    QVERIFY(!settings.open(QIODevice::ReadOnly) || !settings.readAll().contains("Pending"));
    QCOMPARE(m_dialogs.shown.size(), 1);
}

QTEST_GUILESS_MAIN(TestSecretStore)
#include "tst_secretstore.moc"
