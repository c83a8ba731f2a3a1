// What Print All on the PDF writer keeps beside the PDFs, driven through the preview window and
// the options window as a user would: "index.csv" rows for exactly the files written (also a
// "(2)" name) and for the message that failed, attachments saved beside their PDF under safe
// names without overwriting anything, and an end box that does not say "Done." when an
// attachment was lost.

#include "ModalWindows.h"
#include "TestPrintServer.h"
#include "WindowTests.h"
#include "core/ErrorLog.h"
#include "core/SettingsStore.h"
#include "platform/PdfPageCount.h"
#include "platform/ScriptedDialogs.h"
#include "print/Form3.h"
#include "print/Form5.h"
#include "print/TervanePdfWriter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
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

// The index's records; the format itself is checked field by field in tst_runindex.
QList<QStringList> indexRecords(const QString &folder, int *marks)
{
    const QByteArray bytes = readAll(folder + "/index.csv");
    *marks = int(bytes.count("\xEF\xBB\xBF"));
    QList<QStringList> records;
    for (const QString &line : QString::fromUtf8(bytes.mid(3)).split("\r\n", Qt::SkipEmptyParts))
        records << line.split(',');  // the subjects below hold no comma, quote or line break
    return records;
}

MailAttachment attachment(const QString &name, const QByteArray &bytes)
{
    MailAttachment a;
    a.fileName = name;
    a.size = bytes.size();
    a.bytes = bytes.isNull() ? nullptr : SpooledBytes::store(bytes);
    return a;
}

MessageEntry message(const QString &subject, const QVector<MailAttachment> &attachments)
{
    MessageEntry e;
    e.From = "Ann <ann@example.com>";
    e.FromName = "Ann";
    e.FromAddress = "ann@example.com";
    e.Subject = subject;
    e.ReceivedDateTime = QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7), Qt::LocalTime);
    e.ReceivedDate = "3/4/2026 5:06:07 AM";
    e.PlainTextBody = "Body of " + subject;
    e.To = {{"Bob", "bob@example.com"}};
    e.MessageId = "id-" + QString::number(qHash(subject)) + "@example.com";
    e.Attachments = attachments;
    return e;
}

}  // namespace

class TestPrintAllRecords : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void indexAndAttachmentsFollowTheFilesWritten();

private:
    void printAll(Form3 *preview, bool saveAttachments);
    TestPrintServer m_printServer;
    QTemporaryDir m_programDir;
    QTemporaryDir m_temp;
    QTemporaryDir m_out;
    std::unique_ptr<platform::ScriptedDialogs> m_dialogs;
};

void TestPrintAllRecords::initTestCase()
{
    m_printServer = TestPrintServer::fromFixture();
    qputenv("TEMP", m_temp.path().toUtf8());
    prepareWindowTests(m_programDir.path(), PageResources::With);
    registerPdfWriter();
    m_dialogs = std::make_unique<platform::ScriptedDialogs>();
}

void TestPrintAllRecords::printAll(Form3 *preview, bool saveAttachments)
{
    m_dialogs->clear();
    m_dialogs->answers.clear();
    m_dialogs->answers.enqueue(platform::BoxAnswer::Yes);
    const QString folder = m_out.path();
    whenOpen<Form5>([folder, saveAttachments](Form5 *options) {
        options->Text1->setText("<Subject>");
        options->Text2->setText(folder);
        options->findChild<QCheckBox *>("CheckSaveAttachments")->setChecked(saveAttachments);
        options->PushButton1->click();
    });
    preview->PushButton2->click();
}

void TestPrintAllRecords::indexAndAttachmentsFollowTheFilesWritten()
{
    // Left by an earlier run: it must stay as it is.
    QFile earlier(m_out.filePath("Same - data.csv"));
    QVERIFY(earlier.open(QIODevice::WriteOnly));
    earlier.write("earlier");
    earlier.close();
    const QVector<MessageEntry> entries = {
        message("Same", {attachment("data.csv", "one"), attachment("data.csv", "two")}),
        message("???", {}),  // the pattern gives it no file name
        message("Same", {attachment("../x/report\n.pdf", "%PDF-1.4 not really")}),
        message("=1+1", {attachment("lost.bin", QByteArray())}),  // its bytes were not kept
    };
    Form3 preview(entries);
    preview.Form_Load();
    preview.show();
    preview.Combo1->setCurrentText("Tervane PDF Writer");
    const int logRecords = QString::fromUtf8(readAll(errorLogPath())).count("lost.bin");

    printAll(&preview, true);
    QStringList boxes = m_dialogs->messageTexts();
    QVERIFY2(!boxes.contains("Done.") && boxes.last().startsWith("1 of 4 messages could not be printed.")
                 && boxes.last().contains("1 attachments or index rows could not be written."),
             qPrintable(boxes.join(" | ")));
    QCOMPARE(QString::fromUtf8(readAll(errorLogPath())).count("lost.bin"), logRecords + 1);

    QStringList files = QDir(m_out.path()).entryList(QDir::Files, QDir::Name);
    QCOMPARE(files, QStringList({"=1+1.pdf", "Same (2) - x report.pdf", "Same (2).pdf", "Same - data (2).csv",
                                 "Same - data (3).csv", "Same - data.csv", "Same.pdf", "index.csv"}));
    QCOMPARE(readAll(m_out.filePath("Same - data.csv")), QByteArray("earlier"));
    QCOMPARE(readAll(m_out.filePath("Same - data (2).csv")), QByteArray("one"));
    QCOMPARE(readAll(m_out.filePath("Same - data (3).csv")), QByteArray("two"));

    int marks = 0;
    QList<QStringList> records = indexRecords(m_out.path(), &marks);
    QCOMPARE(marks, 1);
    QCOMPARE(records.size(), 5);
    QCOMPARE(records[0].first(), QStringLiteral("Count"));
    const QStringList written = {"Same.pdf", "", "Same (2).pdf", "'=1+1.pdf"};
    for (int i = 0; i < 4; ++i) {
        const QStringList &r = records[i + 1];
        QCOMPARE(r.size(), 10);
        QCOMPARE(r[0], QString::number(i + 1));
        QCOMPARE(r[1], written[i]);
        QCOMPARE(r[2], QStringLiteral("2026-03-04T05:06:07"));
        QCOMPARE(r[4], QStringLiteral("Bob <bob@example.com>"));
        QCOMPARE(r[6], entries[i].MessageId);
        if (i == 1) {
            QCOMPARE(r[7], QString());
            QCOMPARE(r[9], QStringLiteral("The file name pattern gives no name for this message."));
            continue;
        }
        QCOMPARE(r[9], QStringLiteral("printed"));
        const QString pdf = m_out.filePath(written[i].mid(written[i].startsWith('\'') ? 1 : 0));
        QVERIFY(platform::pdfPageCount(readAll(pdf)) >= 1);
        QCOMPARE(r[7], QString::number(platform::pdfPageCount(readAll(pdf))));
    }
    QCOMPARE(records[4][5], QStringLiteral("'=1+1"));
    QCOMPARE(records[1][8], QStringLiteral("data.csv; data.csv"));

    // A second run with the option off: no attachments, the index grows by four rows under the
    // same header.
    printAll(&preview, false);
    boxes = m_dialogs->messageTexts();
    QVERIFY2(boxes.last().startsWith("1 of 4 messages could not be printed.")
                 && !boxes.last().contains("attachments or index rows"),
             qPrintable(boxes.join(" | ")));
    const QStringList before = files;
    files = QDir(m_out.path()).entryList(QDir::Files, QDir::Name);
    QCOMPARE(files.size(), before.size() + 3);
    QVERIFY(files.contains("Same (3).pdf") && files.contains("Same (4).pdf") && files.contains("=1+1 (2).pdf"));
    records = indexRecords(m_out.path(), &marks);
    QCOMPARE(marks, 1);
    QCOMPARE(records.size(), 9);
    QCOMPARE(records[5][1], QStringLiteral("Same (3).pdf"));
    QCOMPARE(records[7][1], QStringLiteral("Same (4).pdf"));
    QCOMPARE(records[8][1], QStringLiteral("'=1+1 (2).pdf"));
}

QTEST_MAIN(TestPrintAllRecords)
#include "tst_printall_records.moc"
