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
#include <QtTest>

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
    void pdfWriterJobFailsWithAReason();
    void shutdownRestoresBothDefaults();

private:
    void resetDefaults();
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
    other.addVirtualPrinter("tervane pdf writer", [](const QString &, const QString &, QString *) { return true; });
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
    QVERIFY2(platform::printerSystem().printPdf("Quorvale_Beta", file.fileName(), "Größe & Ärger", &error),
             qPrintable(error));
    const QList<TestPrintServer::Job> jobs = m_server.jobs();
    QCOMPARE(jobs.size(), before + 1);
    QCOMPARE(jobs.last().printer, QStringLiteral("Quorvale_Beta"));
    QCOMPARE(jobs.last().title, QStringLiteral("Größe & Ärger"));
    QCOMPARE(jobs.last().format, QStringLiteral("application/pdf"));
    QCOMPARE(m_server.document(jobs.last().id), pdf);

    QVERIFY(!platform::printerSystem().printPdf("quorvale_beta", file.fileName(), "x", &error));
    QVERIFY(error.contains("quorvale_beta"));
    QVERIFY(!platform::printerSystem().printPdf("Quorvale_Beta", dir.filePath("missing.pdf"), "x", &error));
    QCOMPARE(m_server.jobs().size(), before + 1);
}

void TestPrinters::pdfWriterJobFailsWithAReason()
{
    QString error;
    QVERIFY(!platform::printerSystem().printPdf("Tervane PDF Writer", "/nonexistent.pdf", "x", &error));
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

QTEST_MAIN(TestPrinters)
#include "tst_printers.moc"
