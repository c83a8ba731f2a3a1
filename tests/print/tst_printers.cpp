// The printers against the private CUPS the tests start: listing, the user's default (CUPS's
// own and the program's, for its PDF writer), the printer procedures and their boxes, jobs
// submitted as PDF, and what start-up and shutdown do with the default printer.

#include "TestPrintServer.h"
#include "app/Form1.h"
#include "core/MessageBox.h"
#include "core/ProgramFolder.h"
#include "platform/CupsPrinterSystem.h"
#include "platform/PrinterSystem.h"
#include "platform/ScriptedDialogs.h"
#include "print/TervanePdfWriter.h"
#include "print/Printers.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QScopeGuard>
#include <QTimer>
#include <QtTest>
#include <signal.h>

class TestPrinters : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void listsQueuesInCupsOrderThenThePdfWriter();
    void defaultIsTheUsersCupsDefaultInLpoptions();
    void pdfWriterAsDefaultLeavesCupsAlone();
    void namesAreComparedExactly();
    void pdfWriterCheckComparesExactly();
    void pdfJobReachesTheQueueWithItsTitle();
    void jobTitleIsOneLineInStoredOrder();
    void pdfWriterJobFailsWithAReason();
    void shutdownRestoresBothDefaults();
    void instancesArePrintersOfTheirOwn();
    void shutdownGivesBackTheFileAsItWas_data();
    void shutdownGivesBackTheFileAsItWas();
    void pickedPrinterWinsOverTheEnvironment();
    void jobsCarryTheSavedOptions_data();
    void jobsCarryTheSavedOptions();
    void hungServerEndsInAClearErrorWhileWindowsPaint();
    void filesNamingPrintersAndPdfsAreOwnerOnly_data();
    void filesNamingPrintersAndPdfsAreOwnerOnly();

private:
    void resetDefaults();
    QString lpoptions(const QStringList &arguments) const { return m_server.run("lpoptions", arguments); }
    QString writeTestPdf(QTemporaryDir &dir) const;
    TestPrintServer m_server;
    QTemporaryDir m_programDir;
    std::unique_ptr<platform::ScriptedDialogs> m_dialogs;
};

void TestPrinters::initTestCase()
{
    m_server = TestPrintServer::fromFixture();
    setProgramFolder(m_programDir.path());
    Form1::setUnloadAction([] {});
    registerPdfWriter();
}

void TestPrinters::init()
{
    m_dialogs = std::make_unique<platform::ScriptedDialogs>();
    setApplicationTitle(QStringLiteral("Quorvale"));
    resetDefaults();
}

void TestPrinters::cleanup()
{
    m_dialogs.reset();
    resetDefaults();
}

// No per-user default of either kind: the server's default (Beta) is the default.
void TestPrinters::resetDefaults()
{
    QFile::remove(QDir::homePath() + "/.cups/lpoptions");
    QFile::remove(platform::CupsPrinterSystem::ownDefaultFilePath());
}

void TestPrinters::listsQueuesInCupsOrderThenThePdfWriter()
{
    QString error;
    const QStringList names = platform::printerSystem().printerNames(&error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    // start.sh adds Beta before Alpha; CUPS lists by name.
    QCOMPARE(names, QStringList({"Quorvale_Alpha", "Quorvale_Beta", "Tervane PDF Writer"}));
    CheckPDFWriter();
    QVERIFY(m_dialogs->shown.isEmpty());
}

void TestPrinters::defaultIsTheUsersCupsDefaultInLpoptions()
{
    QCOMPARE(GetDefaultPrinter(), QStringLiteral("Quorvale_Beta"));
    QVERIFY(SetDefaultPrinter("Quorvale_Alpha", false));
    QCOMPARE(GetDefaultPrinter(), QStringLiteral("Quorvale_Alpha"));
    // Other programs see it too, and it outlives this process.
    QCOMPARE(m_server.lpstatDefault(), QStringLiteral("Quorvale_Alpha"));
    QFile lpoptions(QDir::homePath() + "/.cups/lpoptions");
    QVERIFY(lpoptions.open(QIODevice::ReadOnly));
    QVERIFY(lpoptions.readAll().contains("Default Quorvale_Alpha"));
    QVERIFY(m_dialogs->shown.isEmpty());
}

void TestPrinters::pdfWriterAsDefaultLeavesCupsAlone()
{
    QVERIFY(SetDefaultPrinter("Quorvale_Alpha", false));
    QVERIFY(SetDefaultPrinter("Tervane PDF Writer", false));
    QCOMPARE(GetDefaultPrinter(), QStringLiteral("Tervane PDF Writer"));
    QCOMPARE(platform::printerSystem().printServiceDefaultName().value_or(""), QStringLiteral("Quorvale_Alpha"));
    QCOMPARE(m_server.lpstatDefault(), QStringLiteral("Quorvale_Alpha"));
    // A print service printer ends the writer's turn.
    QVERIFY(SetDefaultPrinter("Quorvale_Beta", false));
    QCOMPARE(GetDefaultPrinter(), QStringLiteral("Quorvale_Beta"));
}

void TestPrinters::namesAreComparedExactly()
{
    // CUPS itself would take this name; the program must not.
    QVERIFY(!SetDefaultPrinter("quorvale_alpha", false));
    QVERIFY(!SetDefaultPrinter("", false));
    QVERIFY(!SetDefaultPrinter("tervane pdf writer", false));
    QVERIFY(m_dialogs->shown.isEmpty());
    QCOMPARE(GetDefaultPrinter(), QStringLiteral("Quorvale_Beta"));
    QVERIFY(!SetDefaultPrinter("No_Such_Printer", true));
    QCOMPARE(m_dialogs->messageTexts(), QStringList({"Cannot set printer."}));
    QCOMPARE(m_dialogs->shown.first().request.title, QStringLiteral("Quorvale"));
}

void TestPrinters::pdfWriterCheckComparesExactly()
{
    platform::CupsPrinterSystem other;
    other.addVirtualPrinter("tervane pdf writer", [](const QString &, const platform::PrintJob &, QString *) { return true; });
    platform::setPrinterSystem(&other);
    CheckPDFWriter();
    platform::setPrinterSystem(nullptr);
    const QString crlf = "\r\n";
    QCOMPARE(m_dialogs->messageTexts(),
             QStringList({"Tervane PDF Writer is not installed. Please follow these instructions:" + crlf + crlf
                          + "1) Go to Control Panel -> Printers and Faxes to add a local printer." + crlf
                          + "2) Choose ''CPW2: (Tervane PDF Writer)'' on Select a Printer Port dialog box, click Next." + crlf
                          + "3) Choose a Postscript printer (e.g. HP Color LaserJet PS), click Next." + crlf
                          + "4) Enter Tervane PDF Writer as Printer name, click Next -> Finish."}));
}

void TestPrinters::pdfJobReachesTheQueueWithItsTitle()
{
    const QByteArray pdf = "%PDF-1.4\n1 0 obj <<>> endobj\ntrailer <<>>\n%%EOF\n";
    QTemporaryDir dir;
    QFile file(dir.filePath("page.pdf"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(pdf);
    file.close();
    const int before = m_server.jobs().size();
    QString error;
    QVERIFY2(platform::printerSystem().printPdf({"Quorvale_Beta", {}, "Größe & Ärger"}, file.fileName(), &error),
             qPrintable(error));
    const QList<TestPrintServer::Job> jobs = m_server.jobs();
    QCOMPARE(jobs.size(), before + 1);
    QCOMPARE(jobs.last().printer, QStringLiteral("Quorvale_Beta"));
    QCOMPARE(jobs.last().title, QStringLiteral("Größe & Ärger"));
    QCOMPARE(jobs.last().format, QStringLiteral("application/pdf"));
    QCOMPARE(m_server.document(jobs.last().id), pdf);

    QVERIFY(!platform::printerSystem().printPdf({"quorvale_beta", {}, "x"}, file.fileName(), &error));
    QVERIFY(error.contains("quorvale_beta"));
    QVERIFY(!platform::printerSystem().printPdf({"Quorvale_Beta", {}, "x"}, dir.filePath("missing.pdf"), &error));
    QCOMPARE(m_server.jobs().size(), before + 1);
}

void TestPrinters::jobTitleIsOneLineInStoredOrder()
{
    QTemporaryDir dir;
    QString error;
    QVERIFY2(platform::printerSystem().printPdf({"Quorvale_Beta", {}, QStringLiteral("Invoice \u202Egpj.exe\r\n9 Dec 2026 : FORGED\x1b")},
                                                writeTestPdf(dir), &error),
             qPrintable(error));
    QCOMPARE(m_server.jobs().last().title, QStringLiteral("Invoice gpj.exe  9 Dec 2026 : FORGED"));
}

void TestPrinters::pdfWriterJobFailsWithAReason()
{
    QString error;
    QVERIFY(!platform::printerSystem().printPdf({"Tervane PDF Writer", {}, "x"}, "/nonexistent.pdf", &error));
    QVERIFY2(error.contains("no PDF was written"), qPrintable(error));
}

void TestPrinters::shutdownRestoresBothDefaults()
{
    // Start-up with the writer as the program's default and Alpha as everyone else's.
    QVERIFY(SetDefaultPrinter("Quorvale_Alpha", false));
    QVERIFY(SetDefaultPrinter("Tervane PDF Writer", false));
    {
        Form1 form;
        form.Form_Load();
        // Printing on Beta during the run makes it the default of both.
        QVERIFY(SetDefaultPrinter("Quorvale_Beta", false));
        QCOMPARE(m_server.lpstatDefault(), QStringLiteral("Quorvale_Beta"));
        form.close();
    }
    QCOMPARE(GetDefaultPrinter(), QStringLiteral("Tervane PDF Writer"));
    QCOMPARE(m_server.lpstatDefault(), QStringLiteral("Quorvale_Alpha"));

    // A plain CUPS default comes back the same way.
    QVERIFY(SetDefaultPrinter("Quorvale_Alpha", false));
    {
        Form1 form;
        form.Form_Load();
        QVERIFY(SetDefaultPrinter("Tervane PDF Writer", false));
        form.close();
    }
    QCOMPARE(GetDefaultPrinter(), QStringLiteral("Quorvale_Alpha"));
    for (const auto &box : m_dialogs->shown) {
        QVERIFY2(box.request.title != "Application Error" && !box.request.text.contains("not installed"),
                 qPrintable(box.request.text));
    }
}

QString TestPrinters::writeTestPdf(QTemporaryDir &dir) const
{
    QFile file(dir.filePath("page.pdf"));
    if (!file.open(QIODevice::WriteOnly))
        return QString();
    file.write("%PDF-1.4\n1 0 obj <<>> endobj\ntrailer <<>>\n%%EOF\n");
    return file.fileName();
}

void TestPrinters::instancesArePrintersOfTheirOwn()
{
    lpoptions({"-p", "Quorvale_Alpha/duplex", "-o", "sides=two-sided-long-edge"});
    lpoptions({"-d", "Quorvale_Alpha/duplex"});
    QCOMPARE(platform::printerSystem().printerNames(),
             QStringList({"Quorvale_Alpha", "Quorvale_Alpha/duplex", "Quorvale_Beta", "Tervane PDF Writer"}));
    QCOMPARE(GetDefaultPrinter(), QStringLiteral("Quorvale_Alpha/duplex"));
    QVERIFY(SetDefaultPrinter("Quorvale_Beta", false));
    QVERIFY(SetDefaultPrinter("Quorvale_Alpha/duplex", false));
    QCOMPARE(m_server.lpstatDefault(), QStringLiteral("Quorvale_Alpha/duplex"));
    QVERIFY(!SetDefaultPrinter("Quorvale_Alpha/Duplex", false));
}

// What is in lpoptions at start-up ("" for no file), which printer the user prints on during the
// run ("" for none), what someone else makes the default meanwhile ("" for nobody), and whether
// exit leaves the file as it was at start-up.
void TestPrinters::shutdownGivesBackTheFileAsItWas_data()
{
    QTest::addColumn<QString>("startDefault");
    QTest::addColumn<QString>("picked");
    QTest::addColumn<QString>("outside");
    QTest::addColumn<bool>("asAtStartUp");
    QTest::newRow("no file, printing on Alpha") << "" << "Quorvale_Alpha" << "" << true;
    QTest::newRow("no file, printing on Beta, the server's default") << "" << "Quorvale_Beta" << "" << true;
    QTest::newRow("instance default, nothing printed") << "Quorvale_Alpha/duplex" << "" << "" << true;
    QTest::newRow("instance default, printing on Beta") << "Quorvale_Alpha/duplex" << "Quorvale_Beta" << "" << true;
    QTest::newRow("no file, outside change after printing") << "" << "Quorvale_Alpha" << "Quorvale_Beta" << false;
    QTest::newRow("Alpha, outside change only") << "Quorvale_Alpha" << "" << "Quorvale_Beta" << false;
}

void TestPrinters::shutdownGivesBackTheFileAsItWas()
{
    QFETCH(QString, startDefault);
    QFETCH(QString, picked);
    QFETCH(QString, outside);
    QFETCH(bool, asAtStartUp);
    const QString path = platform::CupsPrinterSystem::lpoptionsPath();
    if (!startDefault.isEmpty()) {
        lpoptions({"-p", "Quorvale_Alpha/duplex", "-o", "sides=two-sided-long-edge"});
        lpoptions({"-d", startDefault});
    }
    const platform::FileContent atStartUp = platform::readFileContent(path);
    {
        Form1 form;
        form.Form_Load();
        if (!picked.isEmpty())
            QVERIFY(SetDefaultPrinter(picked, false));
        if (!outside.isEmpty())
            lpoptions({"-d", outside});
        form.close();
    }
    const platform::FileContent atExit = platform::readFileContent(path);
    QCOMPARE(atExit == atStartUp, asAtStartUp);
    if (!outside.isEmpty())
        QCOMPARE(m_server.lpstatDefault(), outside);
}

void TestPrinters::pickedPrinterWinsOverTheEnvironment()
{
    qputenv("PRINTER", "Quorvale_Alpha");
    const auto restoreEnvironment = qScopeGuard([] { qunsetenv("PRINTER"); });
    QCOMPARE(GetDefaultPrinter(), QStringLiteral("Quorvale_Alpha"));
    QVERIFY(SetDefaultPrinter("Quorvale_Beta", false));
    QCOMPARE(GetDefaultPrinter(), QStringLiteral("Quorvale_Beta"));
    // Programs without a PRINTER of their own follow the pick too.
    QCOMPARE(platform::lpoptionsDefault(platform::readFileContent(platform::CupsPrinterSystem::lpoptionsPath())),
             QStringLiteral("Quorvale_Beta"));
    QTemporaryDir dir;
    const QString printer = platform::printerSystem().defaultPrinterName().value_or(QString());
    QVERIFY(platform::printerSystem().printPdf({printer}, writeTestPdf(dir)));
    QCOMPARE(m_server.jobs().last().printer, QStringLiteral("Quorvale_Beta"));
}

// lpoptions arguments that save options for a printer, the printer printed on, and what the
// print server must record for the job.
void TestPrinters::jobsCarryTheSavedOptions_data()
{
    QTest::addColumn<QStringList>("saved");
    QTest::addColumn<QString>("printer");
    QTest::addColumn<QString>("queue");
    QTest::addColumn<QString>("sides");
    QTest::addColumn<QString>("copies");
    QTest::newRow("queue options") << QStringList({"-p", "Quorvale_Beta", "-o", "sides=two-sided-long-edge", "-o", "copies=2"})
                                   << "Quorvale_Beta" << "Quorvale_Beta" << "two-sided-long-edge" << "2";
    QTest::newRow("instance options") << QStringList({"-p", "Quorvale_Alpha/duplex", "-o", "sides=two-sided-short-edge", "-o", "copies=3"})
                                      << "Quorvale_Alpha/duplex" << "Quorvale_Alpha" << "two-sided-short-edge" << "3";
    QTest::newRow("the instance's options stay off the queue")
        << QStringList({"-p", "Quorvale_Alpha/duplex", "-o", "sides=two-sided-short-edge", "-o", "copies=3"})
        << "Quorvale_Alpha" << "Quorvale_Alpha" << "one-sided" << "1";
}

void TestPrinters::jobsCarryTheSavedOptions()
{
    QFETCH(QStringList, saved);
    QFETCH(QString, printer);
    QFETCH(QString, queue);
    QFETCH(QString, sides);
    QFETCH(QString, copies);
    lpoptions(saved);
    QTemporaryDir dir;
    QString error;
    QVERIFY2(platform::printerSystem().printPdf({printer, {}, "options"}, writeTestPdf(dir), &error), qPrintable(error));
    const TestPrintServer::Job job = m_server.jobs().last();
    QCOMPARE(job.printer, queue);
    // A job sent without the option falls back to the queue's default, one-sided.
    const QString recordedSides = m_server.jobAttribute(job.id, "sides");
    QCOMPARE(recordedSides.isEmpty() ? QStringLiteral("one-sided") : recordedSides, sides);
    const QString recordedCopies = m_server.jobAttribute(job.id, "copies");
    QCOMPARE(recordedCopies.isEmpty() ? QStringLiteral("1") : recordedCopies, copies);
}

void TestPrinters::hungServerEndsInAClearErrorWhileWindowsPaint()
{
    const qint64 cupsd = m_server.pid();
    QVERIFY(cupsd > 0);
    platform::CupsPrinterSystem hung;
    hung.setLimits({1000, 1000});
    platform::setPrinterSystem(&hung);
    // Resumed whatever happens, so that the server can be stopped at the end.
    const auto resume = qScopeGuard([cupsd] {
        ::kill(pid_t(cupsd), SIGCONT);
        platform::setPrinterSystem(nullptr);
    });
    QVERIFY(::kill(pid_t(cupsd), SIGSTOP) == 0);
    int turns = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, [&turns] { ++turns; });
    ticker.start(20);

    QString error;
    QCOMPARE(hung.printerNames(&error), QStringList());
    QVERIFY2(error.contains(m_server.socket) && error.contains("did not answer"), qPrintable(error));
    QVERIFY(turns > 0);
    QCOMPARE(GetDefaultPrinter(), QString());
    QVERIFY(m_dialogs->messageTexts().value(0).contains(m_server.socket));
    QTemporaryDir dir;
    QVERIFY(!hung.printPdf({"Quorvale_Beta", {}, "hung"}, writeTestPdf(dir), &error));
    QVERIFY2(error.contains(m_server.socket) && error.contains("did not answer"), qPrintable(error));
}

// A file that names a printer or a PDF (and with it a message's subject) is the user's alone,
// whether the program creates it or finds it readable by others.
void TestPrinters::filesNamingPrintersAndPdfsAreOwnerOnly_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("existedOpen");
    QTest::newRow("printer file, new") << platform::CupsPrinterSystem::ownDefaultFilePath() << false;
    QTest::newRow("printer file, found 0644") << platform::CupsPrinterSystem::ownDefaultFilePath() << true;
}

void TestPrinters::filesNamingPrintersAndPdfsAreOwnerOnly()
{
    QFETCH(QString, path);
    QFETCH(bool, existedOpen);
    QFile::remove(path);
    if (existedOpen) {
        QVERIFY(QDir().mkpath(QFileInfo(path).path()));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.setPermissions(file.permissions() | QFile::ReadOther | QFile::ReadGroup));
    }
    QVERIFY(SetDefaultPrinter("Tervane PDF Writer", false));
    QCOMPARE(QFile(path).permissions() & ~(QFile::ReadUser | QFile::WriteUser),
             QFile::ReadOwner | QFile::WriteOwner);
}

QTEST_MAIN(TestPrinters)
#include "tst_printers.moc"
