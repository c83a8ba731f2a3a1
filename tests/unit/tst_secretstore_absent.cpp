// Without any session bus the password is not remembered anywhere, nothing waits, nothing is
// shown, and the error log says why exactly once.

#include "TestFiles.h"
#include "core/ErrorLog.h"
#include "core/ProgramFolder.h"
#include "core/SecretStore.h"
#include "core/SettingsStore.h"
#include "platform/ScriptedDialogs.h"

#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const QString Secret = QStringLiteral("Absent-Store-Secret-7391");

int logLinesMentioning(const QString &text)
{
    QFile log(errorLogPath());
    if (!log.open(QIODevice::ReadOnly))
        return 0;
    return QString::fromUtf8(log.readAll()).count(text);
}
}  // namespace

class TestSecretStoreAbsent : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void unavailableIsDecidedWithoutAJob();
    void rememberedPasswordIsStoredNowhere();
    void plainPasswordInTheFileIsErased();
    void unavailabilityIsLoggedOnce();

private:
    QTemporaryDir m_home;
    QTemporaryDir m_programFolder;
    platform::ScriptedDialogs m_dialogs;
};

void TestSecretStoreAbsent::initTestCase()
{
    QVERIFY(m_home.isValid() && m_programFolder.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.path() + "/config"));
    qputenv("HOME", QFile::encodeName(m_home.path()));
    setProgramFolder(m_programFolder.path());
}

void TestSecretStoreAbsent::unavailableIsDecidedWithoutAJob()
{
    QVERIFY(!secretstore::isAvailable());
    QVERIFY2(secretstore::unavailableReason().contains("DBUS_SESSION_BUS_ADDRESS"),
             qPrintable(secretstore::unavailableReason()));
    QCOMPARE(secretstore::readPassword(), QString());
}

void TestSecretStoreAbsent::rememberedPasswordIsStoredNowhere()
{
    saveSetting("StayConnected", "1");
    saveSetting("Password", Secret);
    saveSetting("password", Secret);  // in any letter case it is the password
    QCOMPARE(getSetting("Password"), QString());
    QCOMPARE(filesContaining(m_home.path(), Secret), QStringList());
    QCOMPARE(filesContaining(m_programFolder.path(), Secret), QStringList());
    QVERIFY(m_dialogs.shown.isEmpty());
}

void TestSecretStoreAbsent::plainPasswordInTheFileIsErased()
{
    QFile file(settingsFilePath());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(("[Quorvale]\nUser=someone@gmail.com\nStayConnected=1\nPassword=" + Secret + "\n")
                   .toUtf8());
    file.close();

    QCOMPARE(getSetting("Password"), QString());
    QCOMPARE(filesContaining(m_home.path(), Secret), QStringList());
    QCOMPARE(getSetting("User"), QString("someone@gmail.com"));
    QCOMPARE(getSetting("StayConnected"), QString("1"));
    QVERIFY(m_dialogs.shown.isEmpty());
}

void TestSecretStoreAbsent::unavailabilityIsLoggedOnce()
{
    for (int i = 0; i < 3; ++i) {
        saveSetting("Password", Secret);
        getSetting("Password");
        secretstore::deletePassword();
    }
    QCOMPARE(logLinesMentioning("Secret store unavailable"), 1);
    QCOMPARE(logLinesMentioning("DBUS_SESSION_BUS_ADDRESS"), 1);
    QVERIFY(m_dialogs.shown.isEmpty());
}

int main(int argc, char **argv)
{
    // No bus by either way libsecret would find one.
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    QCoreApplication app(argc, argv);
    TestSecretStoreAbsent test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_secretstore_absent.moc"
