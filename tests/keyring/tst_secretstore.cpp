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

QTEST_GUILESS_MAIN(TestSecretStore)
#include "tst_secretstore.moc"
