// Print All on the PDF writer through the preview and options windows: index rows for exactly
// the files written (a "(2)" name too) and for the message that failed, attachments beside their
// PDF under safe names (no path, no control or direction characters, fitted to one file name)
// that never overwrite, and no "Done." when an attachment was lost; attached PDFs after their
// message's pages, on the writer and on a paper queue, and the run's one PDF of every message
// written.

#include "ModalWindows.h"
#include "TestPdfs.h"
#include "TestPrintServer.h"
#include "WindowTests.h"
#include "core/ErrorLog.h"
#include "platform/PdfPageCount.h"
#include "platform/ScriptedDialogs.h"
#include "print/Form3.h"
#include "print/Form5.h"
#include "print/TervanePdfWriter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

MessageEntry message(const QString &subject, const QList<QPair<QString, QByteArray>> &attachments)
{
    MessageEntry e;
    e.Subject = subject;
    e.ReceivedDateTime = QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7), Qt::LocalTime);
    e.To = {{"Bob", "bob@example.com"}};
    e.MessageId = subject + "@example.com";
    for (const auto &[name, bytes] : attachments)  // null bytes: not kept at the download
        e.Attachments.append({name, "text/plain", bytes.size(), bytes.isNull() ? nullptr : SpooledBytes::store(bytes)});
    return e;
}

}  // namespace

class TestPrintAllRecords : public QObject {
    Q_OBJECT
private slots:
    void indexAndAttachmentsFollowTheFilesWritten();
    void attachedPdfsFollowTheirMessageAndTheRunMakesOnePdf();
private:
    QStringList printAll(Form3 *preview, bool saveAttachments, bool appendAndCombine = false);
    QTemporaryDir m_programDir, m_temp, m_out;
};

QStringList TestPrintAllRecords::printAll(Form3 *preview, bool saveAttachments, bool appendAndCombine)
{
    platform::ScriptedDialogs dialogs;
    dialogs.answers.enqueue(platform::BoxAnswer::Yes);
    if (preview->Combo1->currentText() != "Tervane PDF Writer") {
        preview->PushButton2->click();
        return dialogs.messageTexts();
    }
    whenOpen<Form5>([folder = m_out.path(), saveAttachments, appendAndCombine](Form5 *options) {
        options->Text1->setText("<Subject>");
        options->Text2->setText(folder);
        options->findChild<QCheckBox *>("CheckSaveAttachments")->setChecked(saveAttachments);
        options->findChild<QCheckBox *>("CheckAppendPdfs")->setChecked(appendAndCombine);
        options->findChild<QCheckBox *>("CheckCombinedPdf")->setChecked(appendAndCombine);
        options->PushButton1->click();
    });
    preview->PushButton2->click();
    return dialogs.messageTexts();
}

void TestPrintAllRecords::indexAndAttachmentsFollowTheFilesWritten()
{
    TestPrintServer::fromFixture();
    qputenv("TEMP", m_temp.path().toUtf8());
    prepareWindowTests(m_programDir.path(), PageResources::With);
    registerPdfWriter();
    QFile earlier(m_out.filePath("Same - data.csv"));  // an earlier run's: it stays as it is
    QVERIFY(earlier.open(QIODevice::WriteOnly) && earlier.write("earlier") == 7 && earlier.flush());
    const QString longName = QString(300, QChar(0xe9)) + ".xlsx";  // two bytes of UTF-8 a letter
    Form3 preview({message("Same", {{"data.csv", "one"}, {"data.csv", "two"}}),
                   message("???", {}),  // the pattern gives it no file name
                   message("Same", {{"../x/report\n.pdf", "%PDF"}, {"x\u202Efdp.exe", "b"}, {"/..", "c"}, {longName, "d"}}),
                   message("=1+1", {{"lost.bin", QByteArray()}})});
    preview.Form_Load();
    preview.show();
    preview.Combo1->setCurrentText("Tervane PDF Writer");
    const int logged = QString::fromUtf8(readAll(errorLogPath())).count("lost.bin");

    QString box = printAll(&preview, true).last();
    QVERIFY2(box.startsWith("1 of 4 messages could not be printed. 1 attachments or index rows could not be written."),
             qPrintable(box));
    QCOMPARE(QString::fromUtf8(readAll(errorLogPath())).count("lost.bin"), logged + 1);
    QStringList files = QDir(m_out.path()).entryList(QDir::Files);
    files.sort();
    QCOMPARE(files, QStringList({"=1+1.pdf", "Same (2) - attachment", "Same (2) - x report.pdf", "Same (2) - xfdp.exe",
                                 "Same (2) - " + QString(115, QChar(0xe9)) + ".xlsx", "Same (2).pdf",
                                 "Same - data (2).csv", "Same - data (3).csv", "Same - data.csv", "Same.pdf", "index.csv"}));
    QVERIFY(!QFileInfo(m_out.filePath("Same (2) - xfdp.exe")).permissions().testFlag(QFile::ExeOwner));
    QCOMPARE(readAll(m_out.filePath("Same - data.csv")) + readAll(m_out.filePath("Same - data (2).csv"))
                 + readAll(m_out.filePath("Same - data (3).csv")),
             QByteArray("earlieronetwo"));

    // A second run without attachments appends four rows under the same header.
    box = printAll(&preview, false).last();
    QVERIFY2(box.startsWith("1 of 4 messages could not be printed. The reason"), qPrintable(box));
    QCOMPARE(QDir(m_out.path()).entryList(QDir::Files).size(), files.size() + 3);
    const QByteArray index = readAll(m_out.filePath("index.csv"));
    QCOMPARE(index.count("\xEF\xBB\xBF"), 1);
    const QStringList lines = QString::fromUtf8(index.mid(3)).split("\r\n");
    QCOMPARE(lines.size(), 10);  // the header, 2 x 4 rows (no cell holds a comma), and an empty rest
    const QStringList pdfs = {"Same.pdf", "", "Same (2).pdf", "=1+1.pdf", "Same (3).pdf", "", "Same (4).pdf",
                              "=1+1 (2).pdf"};
    for (int i = 0; i < 8; ++i) {
        const QStringList cells = lines[i + 1].split(',');
        QCOMPARE(cells.size(), 10);
        QCOMPARE(cells.mid(0, 3), QStringList({QString::number(i % 4 + 1), (i % 4 == 3 ? "'" : "") + pdfs[i],
                                               "2026-03-04T05:06:07"}));
        QCOMPARE(cells[4], QStringLiteral("Bob <bob@example.com>"));
        const int pages = pdfs[i].isEmpty() ? -1 : platform::pdfPageCount(readAll(m_out.filePath(pdfs[i])));
        QCOMPARE(cells[7], pages > 0 ? QString::number(pages) : QString());
        QCOMPARE(pages > 0, !pdfs[i].isEmpty());
        QCOMPARE(cells[9], QString(pdfs[i].isEmpty() ? "The file name pattern gives no name for this message." : "printed"));
    }
    QCOMPARE(lines[4].split(',')[5], QStringLiteral("'=1+1"));
}

// One attached PDF of two pages goes after its message's pages, one that cannot be read is saved
// beside (writer) or named in the log (paper); the run's one PDF holds the messages written.
void TestPrintAllRecords::attachedPdfsFollowTheirMessageAndTheRunMakesOnePdf()
{
    QDir(m_out.path()).removeRecursively();
    QVERIFY(QDir().mkpath(m_out.path()));
    const TestPrintServer server = TestPrintServer::fromFixture();
    MessageEntry invoice = message("Invoice", {});
    invoice.Attachments = {{"bill.pdf", "application/pdf", 0, SpooledBytes::store(pdfWithPages({"Bill one", "Bill two"}))},
                           {"broken.pdf", "application/octet-stream", 9, SpooledBytes::store("%PDF-1.4 x")},
                           {"notes.txt", "text/plain", 5, SpooledBytes::store("notes")}};
    Form3 preview({invoice, message("???", {}), message("Plain", {})});
    preview.Form_Load();
    preview.show();
    preview.Combo1->setCurrentText("Tervane PDF Writer");
    const QString log = QString::fromUtf8(readAll(errorLogPath()));

    const QString box = printAll(&preview, false, true).last();
    QVERIFY2(box.startsWith("1 of 3 messages could not be printed. The reason"), qPrintable(box));
    const QStringList invoicePages = pdfPageTexts(readAll(m_out.filePath("Invoice.pdf")));
    QVERIFY2(invoicePages.size() >= 3, qPrintable(invoicePages.join('|')));
    QCOMPARE(invoicePages.mid(invoicePages.size() - 2), QStringList({"Bill one", "Bill two"}));
    QVERIFY(QFile::exists(m_out.filePath("Invoice - broken.pdf")));
    QVERIFY(!QFile::exists(m_out.filePath("Invoice - notes.txt")));
    const QStringList combined = QDir(m_out.path()).entryList({"Print All *.pdf"});
    QCOMPARE(combined.size(), 1);
    const int plainPages = platform::pdfPageCount(readAll(m_out.filePath("Plain.pdf")));
    QCOMPARE(pdfInfoField(m_out.filePath(combined[0]), "Pages").toInt(), invoicePages.size() + plainPages);
    QVERIFY(pdfInfoField(m_out.filePath(combined[0]), "Title").startsWith("Print All of "));

    // A paper queue follows the confirmed choice: the bill's pages go in the message's job.
    preview.Combo1->setCurrentText(TestPrintServer::queues()[0]);
    const int jobsBefore = server.jobs().size();
    const QString paperBox = printAll(&preview, false).last();
    QVERIFY2(paperBox.contains("1 attachments or index rows could not be written."), qPrintable(paperBox));
    QTRY_COMPARE_WITH_TIMEOUT(server.jobs().size(), jobsBefore + 3, 20000);  // "???" needs no file name there
    const QStringList paperPages = pdfPageTexts(server.document(server.jobs()[jobsBefore].id));
    QCOMPARE(paperPages.size(), invoicePages.size());
    QCOMPARE(paperPages.last(), QStringLiteral("Bill two"));
    const QString newLog = QString::fromUtf8(readAll(errorLogPath())).mid(log.size());
    QCOMPARE(newLog.count("\"broken.pdf\" of message 1 (\"Invoice\") could not be read"), 2);
}

QTEST_MAIN(TestPrintAllRecords)
#include "tst_printall_records.moc"
