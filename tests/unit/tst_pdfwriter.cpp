// The PDF writer on real files: never replacing a file, saying when a file could not be
// written (a vanished folder, a read-only or full file system), and asking for a name when the
// program handed none off.

#include "platform/PrinterSystem.h"
#include "platform/ScriptedDialogs.h"
#include "print/TervanePdfWriter.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

// A one-page PDF with a cross-reference table, as the engine's output has.
QByteArray smallestPdf()
{
    const QList<QByteArray> objects = {"<</Type/Catalog/Pages 2 0 R>>", "<</Type/Pages/Kids[3 0 R]/Count 1>>",
                                       "<</Type/Page/Parent 2 0 R/MediaBox[0 0 200 200]>>"};
    QByteArray pdf = "%PDF-1.4\n";
    QByteArray xref = "xref\n0 4\n0000000000 65535 f \n";
    for (int i = 0; i < objects.size(); ++i) {
        xref += QByteArray::number(pdf.size()).rightJustified(10, '0') + " 00000 n \n";
        pdf += QByteArray::number(i + 1) + " 0 obj\n" + objects.at(i) + "\nendobj\n";
    }
    const QByteArray start = QByteArray::number(pdf.size());
    return pdf + xref + "trailer\n<</Size 4/Root 1 0 R>>\nstartxref\n" + start + "\n%%EOF\n";
}

platform::PrintJob job(const QString &target, const char *title)
{
    return {QStringLiteral("Tervane PDF Writer"), target, QString::fromUtf8(title)};
}

// Printer system of which only the registration is used.
class RecordingPrinterSystem : public platform::PrinterSystem {
public:
    QStringList printerNames(QString *) override { return names; }
    std::optional<QString> defaultPrinterName(QString *) override { return std::nullopt; }
    std::optional<QString> printServiceDefaultName(QString *) override { return std::nullopt; }
    bool setDefaultPrinter(const QString &, QString *) override { return false; }
    bool printPdf(const platform::PrintJob &job, const QString &pdf, QString *error) override
    {
        const int i = names.indexOf(job.printer);
        return i >= 0 && printers.at(i)(pdf, job, error);
    }
    void addVirtualPrinter(const QString &name, platform::VirtualPrinter print) override
    {
        names << name;
        printers << print;
    }
    QStringList names;
    QList<platform::VirtualPrinter> printers;
};

}  // namespace

class TestPdfWriter : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void takenNamesGetACopyNumber();
    void copyNumberStillFitsALongName();
    void failuresAreReportedAndLeaveNoFile_data();
    void failuresAreReportedAndLeaveNoFile();
    void jobGoesToItsTargetFile();
    void withoutTargetTheUserPicksTheFile();
    void cancelledSaveWritesNothing();
    void registeredUnderItsDeviceName();
    void titleShowsTheStoredTextOnOneLine_data();
    void titleShowsTheStoredTextOnOneLine();
    void aJobFromMemoryIsWrittenTitledOnce_data();
    void aJobFromMemoryIsWrittenTitledOnce();

private:
    QString source(int size = 5000);
    QTemporaryDir m_dir;
    QString m_fullDisk;
    QString m_readOnly;
    std::unique_ptr<platform::ScriptedDialogs> m_dialogs;
};

void TestPdfWriter::initTestCase()
{
    // A full disk and a read-only one, as small file systems in a mount namespace of this
    // test's own, so nothing shows outside it. Only root may make them.
    if (geteuid() != 0 || unshare(CLONE_NEWNS) != 0
        || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return;
    const QString full = m_dir.filePath(QStringLiteral("full"));
    const QString readOnly = m_dir.filePath(QStringLiteral("readonly"));
    QDir().mkpath(full);
    QDir().mkpath(readOnly);
    if (mount("tmpfs", full.toLocal8Bit(), "tmpfs", 0, "size=8k") == 0)
        m_fullDisk = full;
    if (mount("tmpfs", readOnly.toLocal8Bit(), "tmpfs", MS_RDONLY, "size=8k") == 0)
        m_readOnly = readOnly;
}

void TestPdfWriter::cleanupTestCase()
{
    for (const QString &m : {m_fullDisk, m_readOnly})
        if (!m.isEmpty())
            umount(m.toLocal8Bit());
}

void TestPdfWriter::init()
{
    m_dialogs = std::make_unique<platform::ScriptedDialogs>();
}

QString TestPdfWriter::source(int size)
{
    static int made = 0;
    const QString path = m_dir.filePath(QStringLiteral("job%1.pdf").arg(++made));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        qFatal("cannot make a job file");
    QByteArray bytes = "%PDF-1.4 job " + QByteArray::number(made) + '\n';
    bytes += QByteArray(size - bytes.size(), 'x');
    f.write(bytes);
    return path;
}

void TestPdfWriter::takenNamesGetACopyNumber()
{
    const QString folder = m_dir.filePath(QStringLiteral("collide"));
    QDir().mkpath(folder);
    const QString target = folder + QStringLiteral("/Re Invoice.pdf");
    QStringList sources, written;
    for (int i = 0; i < 3; ++i) {
        sources << source();
        const PdfWriteResult r = writePdfWithoutOverwriting(sources.last(), target);
        QVERIFY2(r.written, qPrintable(r.error));
        written << r.path;
    }
    QCOMPARE(written, (QStringList{target, folder + QStringLiteral("/Re Invoice (2).pdf"),
                                   folder + QStringLiteral("/Re Invoice (3).pdf")}));
    for (int i = 0; i < 3; ++i)
        QCOMPARE(readAll(written[i]), readAll(sources[i]));

    // A name taken by a folder or by a link to nowhere is not free either.
    QDir().mkpath(folder + QStringLiteral("/dir.pdf"));
    QFile::link(folder + QStringLiteral("/nowhere"), folder + QStringLiteral("/dir (2).pdf"));
    QCOMPARE(writePdfWithoutOverwriting(source(), folder + QStringLiteral("/dir.pdf")).path,
             folder + QStringLiteral("/dir (3).pdf"));
}

void TestPdfWriter::copyNumberStillFitsALongName()
{
    // 248 bytes of name: ".pdf" fits in 255, " (2).pdf" only when the name loses a character.
    const QString stem = QStringLiteral("料金").repeated(41) + QStringLiteral("ab");
    const QString target = m_dir.filePath(stem + QStringLiteral(".pdf"));
    QStringList names;
    for (int i = 0; i < 3; ++i) {
        const PdfWriteResult r = writePdfWithoutOverwriting(source(), target);
        QVERIFY2(r.written, qPrintable(r.error));
        names << QFileInfo(r.path).fileName();
    }
    QCOMPARE(names, (QStringList{stem + QStringLiteral(".pdf"), stem.chopped(1) + QStringLiteral(" (2).pdf"),
                                 stem.chopped(1) + QStringLiteral(" (3).pdf")}));
}

void TestPdfWriter::failuresAreReportedAndLeaveNoFile_data()
{
    QTest::addColumn<QString>("where");
    QTest::addColumn<QString>("reason");
    QTest::newRow("vanished folder") << "vanished" << "does not exist";
    QTest::newRow("read-only file system") << "readonly" << "";
    QTest::newRow("full disk") << "full" << "No space left on device";
}

void TestPdfWriter::failuresAreReportedAndLeaveNoFile()
{
    QFETCH(QString, where);
    QFETCH(QString, reason);
    QString folder = m_dir.filePath(where);
    if (where == QLatin1String("vanished")) {
        QDir().mkpath(folder);
        QDir(folder).removeRecursively();
    } else if (where == QLatin1String("full") && m_fullDisk.isEmpty()) {
        QSKIP("making a small full file system needs root");
    } else if (where == QLatin1String("readonly") && m_readOnly.isEmpty()) {
        QDir().mkpath(folder);  // without root: a folder without write permission
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
    }
    const QString target = folder + QStringLiteral("/message.pdf");
    const PdfWriteResult r = writePdfWithoutOverwriting(source(64 * 1024), target);
    QVERIFY(!r.written);
    QVERIFY2(r.error.contains(target) && r.error.contains(reason), qPrintable(r.error));
    QVERIFY(!QFile::exists(target));

    QString error;
    QVERIFY(!printOnPdfWriter(source(64 * 1024), job(target, "Subject"), &error));
    QVERIFY2(error.contains(target), qPrintable(error));
}

void TestPdfWriter::jobGoesToItsTargetFile()
{
    const QString target = m_dir.filePath(QStringLiteral("1 - 12-06-2026 請求書.pdf"));
    const QString pdf = source();
    QString error;
    QVERIFY2(printOnPdfWriter(pdf, job(target, "請求書"), &error), qPrintable(error));
    QCOMPARE(readAll(target), readAll(pdf));
    QVERIFY(m_dialogs->shown.isEmpty());
    // The same name again keeps the first file.
    QVERIFY(printOnPdfWriter(source(), job(target, "請求書"), &error));
    QCOMPARE(readAll(target), readAll(pdf));
    QVERIFY(QFile::exists(m_dir.filePath(QStringLiteral("1 - 12-06-2026 請求書 (2).pdf"))));
}

void TestPdfWriter::withoutTargetTheUserPicksTheFile()
{
    const QString picked = m_dir.filePath(QStringLiteral("picked"));
    m_dialogs->saveNames.enqueue(picked);
    QString error;
    const QString pdf = source();
    QVERIFY2(printOnPdfWriter(pdf, job("", "Re: Lunch?"), &error), qPrintable(error));
    QCOMPARE(readAll(picked + QStringLiteral(".pdf")), readAll(pdf));
    QCOMPARE(m_dialogs->shown.size(), 1);
    const auto &dialog = m_dialogs->shown.first();
    QCOMPARE(dialog.kind, platform::ScriptedDialogs::Shown::SaveFileDialog);
    QCOMPARE(QFileInfo(dialog.request.detailedText).fileName(), QStringLiteral("Re  Lunch.pdf"));
    QCOMPARE(dialog.request.text, QStringLiteral("PDF files (*.pdf)"));

    // The next job without a file asks again, starting in the folder last written to.
    const QString other = m_dir.filePath(QStringLiteral("other"));
    QVERIFY(QDir().mkpath(other));
    QVERIFY(printOnPdfWriter(source(), job(other + QStringLiteral("/old.pdf"), "x"), &error));
    m_dialogs->saveNames.enqueue(picked + QStringLiteral(".PDF"));
    QVERIFY(printOnPdfWriter(source(), job("", "x"), &error));
    QCOMPARE(QFileInfo(m_dialogs->shown.last().request.detailedText).absolutePath(), other);
    QVERIFY(QFile::exists(picked + QStringLiteral(".PDF")));
}

void TestPdfWriter::cancelledSaveWritesNothing()
{
    QString error;
    const QStringList before = QDir(m_dir.path()).entryList(QDir::Files);
    QVERIFY(!printOnPdfWriter(source(), job("", "Subject"), &error));
    QVERIFY2(error.contains(QStringLiteral("No file name")), qPrintable(error));
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files).size(), before.size() + 1);  // the job file only
}

void TestPdfWriter::registeredUnderItsDeviceName()
{
    RecordingPrinterSystem system;
    registerPdfWriter(system);
    QCOMPARE(system.names, QStringList{QStringLiteral("Tervane PDF Writer")});
    const QString target = m_dir.filePath(QStringLiteral("registered.pdf"));
    QString error;
    const QString pdf = source();
    QVERIFY2(system.printPdf({QStringLiteral("Tervane PDF Writer"), target, QStringLiteral("t")}, pdf, &error),
             qPrintable(error));
    QCOMPARE(readAll(target), readAll(pdf));
}

void TestPdfWriter::titleShowsTheStoredTextOnOneLine_data()
{
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("title");
    QTest::newRow("right-to-left override") << QStringLiteral("Invoice \u202Egpj.exe") << QStringLiteral("Invoice gpj.exe");
    QTest::newRow("forged second line") << QStringLiteral("Hi\r\n9 Dec 2026 : FORGED\x1b[2J")
                                        << QStringLiteral("Hi  9 Dec 2026 : FORGED[2J");
    QTest::newRow("other scripts kept") << QStringLiteral("שלום Résumé 請求書") << QStringLiteral("שלום Résumé 請求書");
}

void TestPdfWriter::titleShowsTheStoredTextOnOneLine()
{
    QFETCH(QString, subject);
    QFETCH(QString, title);
    const QString pdf = m_dir.filePath(QStringLiteral("titled-job.pdf"));
    QFile file(pdf);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(smallestPdf()) > 0);
    file.close();
    const QString target = m_dir.filePath(QStringLiteral("titled-%1.pdf").arg(QTest::currentDataTag()));
    QString error;
    QVERIFY2(printOnPdfWriter(pdf, {QString(), target, subject}, &error), qPrintable(error));
    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {QStringLiteral("-enc"), QStringLiteral("UTF-8"), target});
    QVERIFY(info.waitForFinished(30000));
    const QString shown = QString::fromUtf8(info.readAllStandardOutput());
    QVERIFY2(shown.contains(QStringLiteral("Title:           ") + title + QLatin1Char('\n')), qPrintable(shown));
}

void TestPdfWriter::aJobFromMemoryIsWrittenTitledOnce_data()
{
    QTest::addColumn<QString>("where");
    QTest::addColumn<bool>("isPdf");
    QTest::addColumn<QString>("written");  // the file name the job gets; empty: none
    QTest::newRow("free name") << "memory" << true << "Invoice.pdf";
    QTest::newRow("taken name") << "memory-taken" << true << "Invoice (2).pdf";
    QTest::newRow("not a PDF it can title") << "memory-untitled" << false << "Invoice.pdf";
    QTest::newRow("full disk") << "full" << true << "";
}

void TestPdfWriter::aJobFromMemoryIsWrittenTitledOnce()
{
    QFETCH(QString, where);
    QFETCH(bool, isPdf);
    QFETCH(QString, written);
    if (where == QLatin1String("full") && m_fullDisk.isEmpty())
        QSKIP("making a small full file system needs root");
    const QString folder = where == QLatin1String("full") ? m_fullDisk : m_dir.filePath(where);
    QDir().mkpath(folder);
    const QByteArray taken = "%PDF-1.4 someone else's\n";
    if (where.endsWith(QLatin1String("taken"))) {
        QFile other(folder + QStringLiteral("/Invoice.pdf"));
        QVERIFY(other.open(QIODevice::WriteOnly) && other.write(taken) > 0);
    }
    QByteArray pdf = isPdf ? smallestPdf() : QByteArray("%PDF-1.4 cut short");
    if (written.isEmpty())
        pdf += QByteArray(64 * 1024, '\n');  // more than the full disk holds
    QString error;
    const bool ok = printDataOnPdfWriter(pdf, job(folder + QStringLiteral("/Invoice.pdf"), "Invoice 7"), &error);
    QCOMPARE(ok, !written.isEmpty());
    if (written.isEmpty()) {
        QVERIFY2(error.contains(QStringLiteral("No space left")), qPrintable(error));
        QVERIFY(QDir(folder).entryList(QDir::Files).isEmpty());
        return;
    }
    const QByteArray file = readAll(folder + QLatin1Char('/') + written);
    QVERIFY(file.startsWith(pdf));  // the engine's bytes as they were, the title after them
    if (where.endsWith(QLatin1String("taken")))
        QCOMPARE(readAll(folder + QStringLiteral("/Invoice.pdf")), taken);
    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {folder + QLatin1Char('/') + written});
    QVERIFY(info.waitForFinished(30000));
    QCOMPARE(QString::fromUtf8(info.readAllStandardOutput()).contains(QStringLiteral("Invoice 7")), isPdf);
}

QTEST_GUILESS_MAIN(TestPdfWriter)
#include "tst_pdfwriter.moc"
