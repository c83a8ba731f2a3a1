// Where the program keeps its files once installed, and that its private files are private:
// the settings and the error log 0600 in 0700 folders it creates, never in a shared folder.

#include "core/ErrorLog.h"
#include "core/ProgramFolder.h"
#include "core/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>

namespace {

int modeOf(const QString &path)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return -1;
    return int(info.st_mode & 0777);
}

void touch(const QString &path)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
}

}  // namespace

class TestPrivateFiles : public QObject {
    Q_OBJECT
private slots:
    void installedExecutableUsesTheSharedFolder();
    void settingsFileAndItsNewFolderAreOwnerOnly();
    void errorLogLeavesAnInstalledOrUnwritableProgramFolder();
};

void TestPrivateFiles::installedExecutableUsesTheSharedFolder()
{
    QTemporaryDir prefix;
    const QString bin = prefix.filePath("bin");
    QDir().mkpath(bin);
    // A share/quorvale without the marker is somebody else's folder.
    QDir().mkpath(prefix.filePath("share/quorvale"));
    QCOMPARE(locateProgramFolder(bin, {}).path, bin);
    QVERIFY(!locateProgramFolder(bin, {}).installed);

    touch(prefix.filePath("share/quorvale/installed-program-folder"));
    const ProgramFolderLocation installed = locateProgramFolder(bin + "/", {});
    QCOMPARE(installed.path, prefix.filePath("share/quorvale"));
    QVERIFY(installed.installed);

    const ProgramFolderLocation overridden = locateProgramFolder(bin, prefix.filePath("x/../y"));
    QCOMPARE(overridden.path, prefix.filePath("y"));
    QVERIFY(!overridden.installed);
}

void TestPrivateFiles::settingsFileAndItsNewFolderAreOwnerOnly()
{
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.filePath("new/config")));
    const QString path = settingsFilePath();
    QVERIFY(path.startsWith(config.filePath("new/config/")));
    saveSetting("User", "someone@example.com");
    QCOMPARE(getSetting("User"), QStringLiteral("someone@example.com"));
    QCOMPARE(modeOf(path), 0600);
    QCOMPARE(modeOf(QFileInfo(path).path()), 0700);
    QCOMPARE(modeOf(config.filePath("new")), 0700);

    // A file an earlier version left readable by everyone is narrowed at the next save, and
    // stays narrow through the rewrite.
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup
                                            | QFile::ReadOther));
    saveSetting("Option3", "True");
    saveSetting("Option4", "False");
    QCOMPARE(modeOf(path), 0600);
    QCOMPARE(getSetting("User"), QStringLiteral("someone@example.com"));

    // A folder that existed before keeps its permissions: it is the user's, not ours.
    QTemporaryDir existing;
    QVERIFY(QFile::setPermissions(existing.path(), QFileDevice::Permissions(0x7755)));
    const int before = modeOf(existing.path());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(existing.path()));
    saveSetting("User", "x");
    QCOMPARE(modeOf(existing.path()), before);
    QCOMPARE(modeOf(settingsFilePath()), 0600);
}

void TestPrivateFiles::errorLogLeavesAnInstalledOrUnwritableProgramFolder()
{
    QTemporaryDir state;
    qputenv("XDG_STATE_HOME", QFile::encodeName(state.filePath("s")));
    const QString stateLog = state.filePath("s/Tervane/errorlog.txt");

    // A program folder it may write to, run from a build: the log stays beside the program.
    QTemporaryDir program;
    setProgramFolder(program.path());
    QCOMPARE(errorLogPath(), program.filePath("errorlog.txt"));
    appendErrorLogRecord("first");
    QCOMPARE(modeOf(program.filePath("errorlog.txt")), 0600);
    // A log that others were let read is narrowed again, by a download's writer as well.
    QVERIFY(QFile::setPermissions(program.filePath("errorlog.txt"), QFile::ReadOwner | QFile::WriteOwner
                                                                      | QFile::ReadOther));
    ErrorLogWriter().append("again");
    QCOMPARE(modeOf(program.filePath("errorlog.txt")), 0600);

    // A program folder it cannot write to: the log goes to the user's state folder.
    setProgramFolder(program.filePath("missing/folder"));
    QCOMPARE(errorLogPath(), stateLog);
    appendErrorLogRecord("second");
    appendErrorLogRecord("third");
    QFile log(stateLog);
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QByteArray text = log.readAll();
    QVERIFY(text.contains(" : second\r\n"));
    QVERIFY(text.indexOf("third") > text.indexOf("second"));
    QCOMPARE(modeOf(stateLog), 0600);
    QCOMPARE(modeOf(state.filePath("s/Tervane")), 0700);
    QCOMPARE(modeOf(state.filePath("s")), 0700);

    // Without XDG_STATE_HOME, the place the base-directory rules give.
    qunsetenv("XDG_STATE_HOME");
    QCOMPARE(errorLogPath(), QDir::homePath() + "/.local/state/Tervane/errorlog.txt");
}

QTEST_MAIN(TestPrivateFiles)
#include "tst_privatefiles.moc"
