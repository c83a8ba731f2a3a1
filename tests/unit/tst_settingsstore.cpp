// The settings store against a real INI file in a private configuration folder.

#include "core/AppError.h"
#include "core/Conversions.h"
#include "core/SettingsStore.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class TestSettingsStore : public QObject {
    Q_OBJECT

private slots:
    void init();
    void fileLivesUnderXdgConfigHome();
    void emptyStoreGivesDefaults();
    void valuesRoundTripAsText_data();
    void valuesRoundTripAsText();
    void keyWithASpaceKeepsItsName();
    void everyReadSeesOutsideEdits();
    void badRememberMeIsATypeMismatch();
    void refusedWriteRaisesNamingTheFile();
    void emptyKeyIsRefused();

private:
    void writeFile(const QByteArray &content);
    QByteArray fileContent() const;

    std::unique_ptr<QTemporaryDir> m_config;
};

void TestSettingsStore::init()
{
    m_config = std::make_unique<QTemporaryDir>();
    QVERIFY(m_config->isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config->path()));
}

void TestSettingsStore::writeFile(const QByteArray &content)
{
    QDir().mkpath(QFileInfo(settingsFilePath()).path());
    QFile file(settingsFilePath());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

QByteArray TestSettingsStore::fileContent() const
{
    QFile file(settingsFilePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void TestSettingsStore::fileLivesUnderXdgConfigHome()
{
    QCOMPARE(settingsFilePath(), m_config->path() + "/Tervane/Tervane.conf");
    saveSetting("User", "someone@gmail.com");
    QVERIFY(QFile::exists(settingsFilePath()));
    const QByteArray content = fileContent();
    QVERIFY(content.contains("[Quorvale]"));
    QVERIFY(content.contains("User=someone@gmail.com"));
}

void TestSettingsStore::emptyStoreGivesDefaults()
{
    QCOMPARE(getSetting("User"), QString());
    QCOMPARE(getSetting("Option3", "1"), QString("1"));
    QCOMPARE(getSetting("Backup Path", "/tmp"), QString("/tmp"));
    QVERIFY2(!QFile::exists(settingsFilePath()), "a read must not create the file");

    // A key of another section is not ours.
    writeFile("[Other]\nUser=elsewhere\n");
    QCOMPARE(getSetting("User", "none"), QString("none"));
}

void TestSettingsStore::valuesRoundTripAsText_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::newRow("plain") << "User" << "someone@gmail.com";
    QTest::newRow("number") << "Option3" << "1";
    QTest::newRow("looks boolean") << "AutoConnect" << "true";
    QTest::newRow("empty") << "Text1" << "";
    QTest::newRow("comma") << "CharactersFilter" << "a, b,c";
    QTest::newRow("INI syntax") << "LabelFilter" << "[x] a=b ; c # d \\ e";
    QTest::newRow("variant syntax") << "Combo1" << "@Variant(junk)";
    QTest::newRow("blanks kept") << "Option4" << "  padded  ";
    QTest::newRow("non-ASCII") << "Backup Path" << "/home/zoë/Reçus €/日本";
    QTest::newRow("line break") << "Option5" << "one\r\ntwo";
}

void TestSettingsStore::valuesRoundTripAsText()
{
    QFETCH(QString, key);
    QFETCH(QString, value);
    saveSetting(key, "something else first");
    saveSetting(key, value);
    QCOMPARE(getSetting(key, "default"), value);
}

void TestSettingsStore::keyWithASpaceKeepsItsName()
{
    saveSetting("Backup Path", "/media/backup");
    QSettings outside(settingsFilePath(), QSettings::IniFormat);
    outside.beginGroup("Quorvale");
    QCOMPARE(outside.childKeys(), QStringList{"Backup Path"});
    QCOMPARE(getSetting("BackupPath", "none"), QString("none"));

    // As another program (or an older version) writes the key.
    writeFile("[Quorvale]\nBackup%20Path=/srv/pdf\n");
    QCOMPARE(getSetting("Backup Path"), QString("/srv/pdf"));
}

void TestSettingsStore::everyReadSeesOutsideEdits()
{
    saveSetting("User", "first@gmail.com");
    QCOMPARE(getSetting("User"), QString("first@gmail.com"));
    writeFile("[Quorvale]\nUser=changed.from.outside@gmail.com\nOption6=0\n");
    QCOMPARE(getSetting("User"), QString("changed.from.outside@gmail.com"));
    QCOMPARE(getSetting("Option6"), QString("0"));

    // Writing one key keeps what the outside edit put there.
    saveSetting("Option7", "1");
    QCOMPARE(getSetting("User"), QString("changed.from.outside@gmail.com"));

    QVERIFY(QFile::remove(settingsFilePath()));
    QCOMPARE(getSetting("User", "gone"), QString("gone"));
}

void TestSettingsStore::badRememberMeIsATypeMismatch()
{
    saveSetting("StayConnected", "abc");
    QCOMPARE(getSetting("StayConnected"), QString("abc"));
    try {
        toInteger(getSetting("StayConnected"));
        QFAIL("a text that is no number converted");
    } catch (const AppError &e) {
        QCOMPARE(e.number(), apperror::TypeMismatch);
        QCOMPARE(e.description(), QString("Type mismatch"));
    }
}

void TestSettingsStore::refusedWriteRaisesNamingTheFile()
{
    // A file where the settings folder should be: no write can succeed, not even as root.
    QFile blocker(m_config->path() + "/Tervane");
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    try {
        saveSetting("User", "someone@gmail.com");
        QFAIL("the write was reported as done");
    } catch (const AppError &e) {
        QVERIFY2(e.description().contains(settingsFilePath()), qPrintable(e.description()));
        QVERIFY(e.description().contains("User"));
    }
    QCOMPARE(getSetting("User", "unchanged"), QString("unchanged"));
}

void TestSettingsStore::emptyKeyIsRefused()
{
    QVERIFY_THROWS_EXCEPTION(AppError, saveSetting("", "x"));
}

int main(int argc, char **argv)
{
    // The password would go to a secret store; keep any desktop session's store out of reach.
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    qunsetenv("XDG_RUNTIME_DIR");
    QCoreApplication app(argc, argv);
    TestSettingsStore test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_settingsstore.moc"
