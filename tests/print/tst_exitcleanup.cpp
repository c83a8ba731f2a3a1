// Every way the program ends takes its private temporary folder (the page file and the logo
// copy) with it. Closing the main window or the preview ends the process at once, so each way
// out runs in a child process: this same program, started again with the way in its
// environment, downloads the test server's Inbox, previews a message and leaves.

#include "TestServer.h"
#include "app/Form1.h"
#include "core/ProgramFolder.h"
#include "list/MessageListView.h"
#include "platform/MessagePageScheme.h"
#include "platform/PrivateTempFolder.h"
#include "platform/ScriptedDialogs.h"
#include "print/Form3.h"
#include "WindowTests.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>
#include <cstdio>

namespace {

const char WayOut[] = "QUORVALE_TEST_WAY_OUT";
const char ChildFolder[] = "QUORVALE_TEST_CHILD_FOLDER";

// The child: the real program's ending, not a test's stand-in, so the folders of the window
// tests are set up here by hand.
int runChild(const QByteArray &way)
{
    const QString programFolder = qEnvironmentVariable(ChildFolder);
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    setProgramFolder(programFolder);
    for (const char *file : {"Base.tmp", "gmail_logo.gif"})
        QFile::copy(QStringLiteral(QUORVALE_TEST_SOURCE_DIR "/../resources/") + file,
                    QDir(programFolder).filePath(file));
    platform::ScriptedDialogs dialogs;
    const TestServer server = TestServer::fromFixture();
    server.applyToEnvironment();

    auto form = windowWithInbox(server);
    form->PushButton6->click();  // uncheck all
    form->ListView1->topLevelItem(0)->setCheckState(0, Qt::Checked);
    form->PushButton4->click();
    Form3 *preview = form->previewWindow();
    const QString folder = platform::privateTempFolder();
    std::printf("folder=%s\npage=%d\n", qPrintable(folder), int(QFile::exists(folder + "/tmp.tmp")));
    std::fflush(stdout);
    if (!preview)
        return 2;
    if (way == "preview closed by its frame") {
        preview->close();
    } else if (way == "main window closed") {
        preview->PushButton8_Click();
        form->close();
    } else {
        return 0;  // a plain return from main
    }
    return 3;  // the ways above end the process before this
}

}  // namespace

class TestExitCleanup : public QObject {
    Q_OBJECT
private slots:
    void noTemporaryFolderOutlivesTheProgram_data();
    void noTemporaryFolderOutlivesTheProgram();
};

void TestExitCleanup::noTemporaryFolderOutlivesTheProgram_data()
{
    QTest::addColumn<QString>("way");
    QTest::newRow("preview") << "preview closed by its frame";
    QTest::newRow("main window") << "main window closed";
    QTest::newRow("return") << "return";
}

void TestExitCleanup::noTemporaryFolderOutlivesTheProgram()
{
    QFETCH(QString, way);
    QTemporaryDir temp;
    QTemporaryDir program;
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TEMP"), temp.path());
    environment.insert(QStringLiteral("TMPDIR"), temp.path());
    environment.insert(WayOut, way);
    environment.insert(ChildFolder, program.path());
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {});
    QVERIFY(child.waitForFinished(300000));
    const QString output = QString::fromLocal8Bit(child.readAllStandardOutput());
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 0);

    // The preview really made its page there, and the folder is gone with everything in it.
    const QString folder = output.section(QStringLiteral("folder="), 1).section('\n', 0, 0);
    QVERIFY2(folder.startsWith(temp.path() + "/quorvale-"), qPrintable(output));
    QVERIFY2(output.contains(QStringLiteral("page=1")), qPrintable(output));
    QVERIFY2(!QFileInfo::exists(folder), qPrintable(folder));
    QCOMPARE(QDir(temp.path()).entryList({QStringLiteral("quorvale-*")}, QDir::AllEntries | QDir::Hidden),
             QStringList());
}

int main(int argc, char **argv)
{
    platform::registerMessagePageScheme();  // before the first web engine object, as main() does
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    const QByteArray way = qgetenv(WayOut);
    if (!way.isEmpty())
        return runChild(way);
    TestExitCleanup test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_exitcleanup.moc"
