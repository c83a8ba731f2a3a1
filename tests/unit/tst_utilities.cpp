// The shell, file and process helpers: path tidying, file tests, numbered text files, running
// commands, the online check and the main window's skin.

#include "core/AppError.h"
#include "core/ErrorLog.h"
#include "core/MessageBox.h"
#include "core/ProgramFolder.h"
#include "core/SkinFramework.h"
#include "core/Utilities.h"
#include "platform/EventLoop.h"
#include "platform/ScriptedDialogs.h"

#include <QCheckBox>
#include <QDialog>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QtTest>

namespace {

QByteArray bytesOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// The AppError `action` raises; fails the test when it raises none.
template <typename Action>
AppError errorOf(Action action)
{
    try {
        action();
    } catch (const AppError &e) {
        return e;
    }
    return AppError(QStringLiteral("<no error raised>"), -1);
}

}  // namespace

class TestUtilities : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void normalizeBackslashes_data();
    void normalizeBackslashes();
    void desktopFolderEndsInOneSeparator();
    void shortenTitle_data();
    void shortenTitle();
    void pathTests();

    void textFilesRoundTrip();
    void emptyFileReadsAsEmptyText();
    void closeTextFileClosesEveryFile();
    void textFileMisuseRaisesNamingThePath();
    void fullDiskFailsTheWrite();

    void runCapturedChoosesStreams();
    void runCapturedFailures();
    void runCapturedStopsAtTheTimeout();
    void checkOnline();

    void errorLogHoldsEachRecordOnOneLine_data();
    void errorLogHoldsEachRecordOnOneLine();

    void flattenColors();
    void skinMissingKeepsTheLook();
    void skinIsAppliedOnce();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<platform::ScriptedDialogs> m_dialogs;
};

void TestUtilities::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_dialogs = std::make_unique<platform::ScriptedDialogs>();
}

void TestUtilities::cleanup()
{
    CloseTextFile(1);
    m_dialogs.reset();
}

void TestUtilities::normalizeBackslashes_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");
    QTest::newRow("doubled") << R"(C:\\Data\\PDF)" << R"(C:\Data\PDF)";
    QTest::newRow("already single") << R"(C:\Data\PDF\)" << R"(C:\Data\PDF\)";
    QTest::newRow("three become two") << R"(C:\\\Data)" << R"(C:\\Data)";
    QTest::newRow("four become two") << R"(C:\\\\Data)" << R"(C:\\Data)";
    QTest::newRow("network path") << R"(\\server\\share)" << R"(\\server\share)";
    QTest::newRow("one leading") << R"(\folder)" << R"(\\folder)";
    QTest::newRow("many leading") << R"(\\\\\folder\\x)" << R"(\\folder\x)";
    QTest::newRow("only backslashes") << R"(\\\)" << R"(\\)";
    QTest::newRow("slashes") << "home//me/pdf//" << "home/me/pdf/";
    QTest::newRow("three slashes become two") << "/home//me///pdf" << "/home/me//pdf";
    QTest::newRow("leading slashes become one") << "///srv//pdf" << "/srv/pdf";
    QTest::newRow("root") << "//" << "/";
    QTest::newRow("mixed") << R"(C:\\a//b)" << R"(C:\a/b)";
    QTest::newRow("nothing to do") << "/home/zoë/Reçus" << "/home/zoë/Reçus";
    QTest::newRow("empty") << "" << "";
}

void TestUtilities::normalizeBackslashes()
{
    QFETCH(QString, path);
    QFETCH(QString, expected);
    QCOMPARE(NormalizeBackslashes(path), expected);
}

void TestUtilities::desktopFolderEndsInOneSeparator()
{
    const QString desktop = SpecialFolderPath(0);
    QVERIFY(desktop.endsWith('/'));
    QVERIFY(!desktop.endsWith("//"));
    QCOMPARE(desktop.chopped(1), QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));

    QCOMPARE(errorOf([] { SpecialFolderPath(5); }).number(), apperror::InvalidArgument);
    QCOMPARE(errorOf([] { SpecialFolderPath(-1); }).number(), apperror::InvalidArgument);
}

void TestUtilities::shortenTitle_data()
{
    QTest::addColumn<QString>("product");
    QTest::addColumn<QString>("expected");
    QTest::newRow("one word stays whole") << "Quorvale" << "Quorvale";
    QTest::newRow("last word cut once") << "Quorvale Mail Printer" << "Quorvale Mail";
    QTest::newRow("cut until 40")
        << "Quorvale Gmail Message Printer for Everyone Everywhere Today"
        << "Quorvale Gmail Message Printer for";
    QTest::newRow("long without blanks") << QString(50, 'Q') << QString(50, 'Q');
    QTest::newRow("long, blank runs out") << QString(45, 'Q') + " Mail Printer" << QString(45, 'Q');
    QTest::newRow("leading blank only") << " Quorvale" << " Quorvale";
}

void TestUtilities::shortenTitle()
{
    QFETCH(QString, product);
    QFETCH(QString, expected);
    QCOMPARE(shortenedTitle(product), expected);

    setApplicationTitle("something else");
    ShortenTitle();
    QCOMPARE(applicationTitle(), QString("Quorvale"));
}

void TestUtilities::pathTests()
{
    const QString file = m_dir->filePath("file.txt");
    writeBytes(file, "x");
    const QString folder = m_dir->filePath("folder");
    QVERIFY(QDir().mkpath(folder));

    QVERIFY(PathExists(file) && !IsFolder(file));
    QVERIFY(PathExists(folder) && IsFolder(folder));
    QVERIFY(PathExists(folder + "/") && IsFolder(folder + "/"));
    // Paths that cannot be looked at, even by root: below a file, and a name too long.
    for (const QString &bad : {m_dir->filePath("missing"), file + "/child", QString(),
                               m_dir->filePath(QString(300, 'n'))}) {
        QVERIFY2(!PathExists(bad), qPrintable(bad));
        QVERIFY2(!IsFolder(bad), qPrintable(bad));
    }
}

void TestUtilities::textFilesRoundTrip()
{
    const QString path = m_dir->filePath("Reçus €.txt");
    const QStringList lines{"first line", "", "zoë, 日本, €", "  padded  "};
    const int out = FreeFileNumber();
    QCOMPARE(out, 1);
    OpenTextFile(path, out, false);
    QCOMPARE(FreeFileNumber(), 2);
    for (const QString &line : lines)
        WriteTextLine(line, out);
    CloseTextFile(out);
    QCOMPARE(bytesOf(path), lines.join("\r\n").toUtf8() + "\r\n");

    OpenTextFile(path, 3, true);
    QStringList read;
    while (!AtEndOfFile(3))
        read << ReadTextLine(3);
    QCOMPARE(read, lines);
    QCOMPARE(errorOf([] { ReadTextLine(3); }).number(), 62L);
    CloseTextFile(3);
    QCOMPARE(ReadWholeFile(path), lines.join("\r\n") + "\r\n");

    // Lines ending in LF alone, a byte-order mark and a last line without its end.
    writeBytes(path, "\xEF\xBB\xBFone\ntwo\r\nthree");
    OpenTextFile(path, 1, true);
    QCOMPARE(ReadTextLine(1), QString("one"));
    QCOMPARE(ReadTextLine(1), QString("two"));
    QCOMPARE(ReadTextLine(1), QString("three"));
    QVERIFY(AtEndOfFile(1));

    // Output replaces what was there.
    OpenTextFile(path, 2, false);
    WriteTextLine("new", 2);
    CloseTextFile(2);
    QCOMPARE(bytesOf(path), QByteArray("new\r\n"));
}

void TestUtilities::emptyFileReadsAsEmptyText()
{
    const QString path = m_dir->filePath("empty.txt");
    writeBytes(path, "");
    QCOMPARE(ReadWholeFile(path), QString());
    OpenTextFile(path, 1, true);
    QVERIFY(AtEndOfFile(1));
}

void TestUtilities::closeTextFileClosesEveryFile()
{
    OpenTextFile(m_dir->filePath("a.txt"), 1, false);
    OpenTextFile(m_dir->filePath("b.txt"), 2, false);
    OpenTextFile(m_dir->filePath("c.txt"), 7, false);
    CloseTextFile(2);
    for (int number : {1, 2, 7})
        QCOMPARE(errorOf([number] { WriteTextLine("late", number); }).number(), 52L);
    QCOMPARE(FreeFileNumber(), 1);

    // Closing a number that is not open still closes the others.
    OpenTextFile(m_dir->filePath("a.txt"), 1, false);
    CloseTextFile(9);
    QCOMPARE(FreeFileNumber(), 1);

    // So does reading a whole file.
    OpenTextFile(m_dir->filePath("a.txt"), 1, false);
    writeBytes(m_dir->filePath("d.txt"), "d");
    QCOMPARE(ReadWholeFile(m_dir->filePath("d.txt")), QString("d"));
    QCOMPARE(FreeFileNumber(), 1);
}

void TestUtilities::textFileMisuseRaisesNamingThePath()
{
    const QString missing = m_dir->filePath("missing.txt");
    AppError e = errorOf([&] { OpenTextFile(missing, 1, true); });
    QCOMPARE(e.number(), 53L);
    QVERIFY2(e.description().contains(missing), qPrintable(e.description()));
    e = errorOf([&] { ReadWholeFile(missing); });
    QCOMPARE(e.number(), 53L);
    QVERIFY(e.description().contains(missing));

    const QString inMissingFolder = m_dir->filePath("no/such/folder/out.txt");
    e = errorOf([&] { OpenTextFile(inMissingFolder, 1, false); });
    QVERIFY2(e.description().contains(inMissingFolder), qPrintable(e.description()));

    e = errorOf([&] { ReadWholeFile(m_dir->path()); });
    QVERIFY2(e.description().contains(m_dir->path()), qPrintable(e.description()));

    const QString path = m_dir->filePath("a.txt");
    OpenTextFile(path, 1, false);
    QCOMPARE(errorOf([&] { OpenTextFile(path, 1, false); }).number(), 55L);
    QCOMPARE(errorOf([&] { ReadTextLine(1); }).number(), 54L);
    QCOMPARE(errorOf([&] { OpenTextFile(path, 0, false); }).number(), 52L);
    QCOMPARE(errorOf([&] { OpenTextFile(path, 512, false); }).number(), 52L);
    CloseTextFile(1);
    OpenTextFile(path, 1, true);
    e = errorOf([] { WriteTextLine("x", 1); });
    QCOMPARE(e.number(), 54L);
    QVERIFY(e.description().contains(path));
}

void TestUtilities::fullDiskFailsTheWrite()
{
    if (!QFile::exists("/dev/full"))
        QSKIP("this system has no /dev/full");
    OpenTextFile("/dev/full", 1, false);
    const AppError e = errorOf([] { WriteTextLine("does not fit", 1); });
    QCOMPARE(e.number(), 61L);
    QVERIFY2(e.description().contains("/dev/full"), qPrintable(e.description()));
}

void TestUtilities::runCapturedChoosesStreams()
{
    const QString both = R"(sh -c "echo out; echo err >&2")";
    QCOMPARE(RunCaptured(both, true, false, true), QString("out\n"));
    QCOMPARE(RunCaptured(both, false, true, true), QString("err\n"));
    const QString merged = RunCaptured(both, true, true, false);
    QVERIFY2(merged.contains("out\n") && merged.contains("err\n"), qPrintable(merged));

    QCOMPARE(RunCaptured("true", true, true, true), QString());
    QCOMPARE(RunCaptured(R"(printf "%s|" "a b" e)", true, false, true), QString("a b|e|"));
    QCOMPARE(RunCaptured(R"(printf "zoë €\n日本")", true, false, false), QString("zoë €\n日本"));

    // A command that waits does so with the event loop turning.
    const long long turnsBefore = platform::eventLoopTurnCount();
    QCOMPARE(RunCaptured(R"(sh -c "sleep 0.3; echo done")", true, false, true), QString("done\n"));
    QVERIFY(platform::eventLoopTurnCount() > turnsBefore);
}

void TestUtilities::runCapturedFailures()
{
    QCOMPARE(RunCaptured("/no/such/program --flag", true, false, true), runFailedText());
    QCOMPARE(RunCaptured("", true, false, true), runFailedText());
    QCOMPARE(runFailedText(),
             QString("Failed to create process, check the path of the command line."));
    QCOMPARE(errorOf([] { RunCaptured("true", false, false, true); }).number(),
             apperror::InvalidArgument);
}

void TestUtilities::runCapturedStopsAtTheTimeout()
{
    // Without the timeout this would run for a minute (and CTest would give up first).
    const QString output =
        RunCaptured(R"(sh -c "echo started; exec sleep 60")", true, false, true, 300);
    QCOMPARE(output, QString("started\n"));
}

void TestUtilities::checkOnline()
{
    if (RunCaptured("ping -c 1 -W 2 127.0.0.1", true, true, true, 5000).contains("bytes from")) {
        CheckOnline("127.0.0.1");
        QCOMPARE(m_dialogs->shown.size(), 0);
    } else {
        qWarning("ping cannot reach 127.0.0.1 on this machine: the online case is not checked");
    }

    setApplicationTitle("Quorvale Test");
    CheckOnline("no-such-host.invalid");
    QCOMPARE(m_dialogs->shown.size(), 1);
    const platform::MessageBoxRequest &box = m_dialogs->shown[0].request;
    QCOMPARE(box.text, QString("You must be online to use this software accurately."));
    QCOMPARE(box.title, QString("Quorvale Test"));
    QCOMPARE(box.buttons, platform::BoxButtons::Ok);
    QCOMPARE(box.icon, platform::BoxIcon::None);

    // A host that tries to pass options is one argument, and no host at all is no reply.
    m_dialogs->clear();
    CheckOnline("-c 3 127.0.0.1");
    CheckOnline("");
    QCOMPARE(m_dialogs->messageTexts().size(), 2);
    setApplicationTitle("Quorvale");
}

void TestUtilities::flattenColors()
{
    QWidget window;
    QPalette palette = window.palette();
    palette.setColor(QPalette::Button, QColor(0x12, 0x34, 0x56));
    palette.setColor(QPalette::Window, Qt::white);
    window.setPalette(palette);
    auto *layout = new QVBoxLayout(&window);
    auto *group = new QGroupBox("Group", &window);
    auto *radio = new QRadioButton("Radio", group);
    auto *check = new QCheckBox("Check", &window);
    auto *label = new QLabel("Label", &window);
    auto *button = new QPushButton("Button", &window);
    for (QWidget *w : {static_cast<QWidget *>(group), static_cast<QWidget *>(check),
                       static_cast<QWidget *>(label), static_cast<QWidget *>(button)})
        layout->addWidget(w);

    FlattenColors(&window);
    const QColor flat(0x12, 0x34, 0x56);
    QCOMPARE(window.palette().color(window.backgroundRole()), flat);
    for (QWidget *w : {static_cast<QWidget *>(group), static_cast<QWidget *>(radio),
                       static_cast<QWidget *>(check), static_cast<QWidget *>(label)}) {
        QCOMPARE(w->palette().color(w->backgroundRole()), flat);
        QVERIFY(w->autoFillBackground());
    }
    QVERIFY(!button->autoFillBackground());
}

void TestUtilities::skinMissingKeepsTheLook()
{
    setProgramFolder(m_dir->path());
    QWidget window;
    auto *label = new QLabel("Label", &window);
    const QPalette before = label->palette();
    SkinMainWindow(&window);
    QCOMPARE(label->palette(), before);
    QVERIFY(!label->autoFillBackground());
    QVERIFY(window.styleSheet().isEmpty());
    QVERIFY(!window.findChild<SkinFramework *>());
}

void TestUtilities::skinIsAppliedOnce()
{
    setProgramFolder(m_dir->path());
    const QByteArray sheet = "QLabel { background-color: rgb(1, 2, 3); }";
    writeBytes(m_dir->filePath("x/o.cjs"), sheet);

    QWidget window;
    window.setStyleSheet("QPushButton { font-weight: bold; }");
    auto *label = new QLabel("Label", &window);
    SkinMainWindow(&window);
    SkinMainWindow(&window);  // a second start-up pass must not stack the skin

    const QList<SkinFramework *> skins = window.findChildren<SkinFramework *>();
    QCOMPARE(skins.size(), 1);
    QCOMPARE(skins[0]->objectName(), QString("SkinFramework1"));
    QVERIFY(skins[0]->Options & SkinFramework::KeepOwnStyleSheet);
    QCOMPARE(window.styleSheet(), QString("QPushButton { font-weight: bold; }\n") + sheet);
    QVERIFY(label->autoFillBackground());
    // The skin wins over the flat colours where it says something.
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(label->grab().toImage().pixelColor(0, 0), QColor(1, 2, 3));

    // Windows that appear later wear the skin as well.
    QDialog dialog;
    dialog.show();
    QCOMPARE(dialog.styleSheet(), QString(sheet));
}

void TestUtilities::errorLogHoldsEachRecordOnOneLine_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("logged");
    QTest::newRow("forged record") << "Re: hi\r\n01/01/2020 10:00:00 : OK\r\n***"
                                   << R"(Re: hi\r\n01/01/2020 10:00:00 : OK\r\n***)";
    QTest::newRow("line ends") << "a\nb\rc\v" + QString::fromUtf16(u"\u0085\u2028\u2029")
                               << R"(a\nb\rc\x0b\x85\u2028\u2029)";
    QTest::newRow("terminal escapes") << "\x1b[2J\x07\tx\x7f" << R"(\x1b[2J\x07\tx\x7f)";
    QTest::newRow("bidirectional") << QString::fromUtf16(u"\u202Eab\u2066\u200E\u061C")
                                   << R"(\u202eab\u2066\u200e\u061c)";
    QTest::newRow("escapes typed") << R"(C:\new \x1b)" << R"(C:\\new \\x1b)";
    QTest::newRow("broken pair, emoji") << QString(QChar(0xD83D)) + QString::fromUtf16(u"x\U0001F4E7")
                                        << QString::fromUtf16(u"\\ud83dx\U0001F4E7");
}

void TestUtilities::errorLogHoldsEachRecordOnOneLine()
{
    QFETCH(QString, text);
    QFETCH(QString, logged);
    setProgramFolder(m_dir->path());
    for (const QString &record : {QStringLiteral("before"), text, QStringLiteral("after")})
        appendErrorLogRecord(record);
    // \v: every vertical space a viewer may break a line at (LF, VT, FF, CR, NEL, LS, PS).
    const QString log = QString::fromUtf8(bytesOf(m_dir->filePath("errorlog.txt")));
    const QStringList lines = log.split(QRegularExpression(QStringLiteral("\\r\\n|\\v")));
    QCOMPARE(lines.size(), 7);
    QVERIFY(lines[0].endsWith(" : before") && lines[4].endsWith(" : after"));
    QCOMPARE(lines[2].section(QStringLiteral(" : "), 1, -1), logged);
}

QTEST_MAIN(TestUtilities)
#include "tst_utilities.moc"
