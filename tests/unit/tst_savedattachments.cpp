// A message's attachments saved beside its PDF: names made safe and fitted, never over another
// file, the bytes as they were, and a reason for each that could not be saved.

#include "print/PdfFileName.h"
#include "print/SavedAttachments.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

namespace {

MailAttachment attachment(const QString &name, const QByteArray &bytes)
{
    MailAttachment a;
    a.fileName = name;
    a.type = "application/octet-stream";
    a.size = bytes.size();
    a.bytes = SpooledBytes::store(bytes);
    return a;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class TestSavedAttachments : public QObject {
    Q_OBJECT
private slots:
    void namesAreCleanedAndFitted_data();
    void namesAreCleanedAndFitted();
    void takenNamesAreNumberedNeverOverwritten();
    void missingBytesGiveAReason();
};

void TestSavedAttachments::namesAreCleanedAndFitted_data()
{
    QTest::addColumn<QString>("attachment");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain") << "report.pdf" << "1 - Hi - report.pdf";
    QTest::newRow("path climbing") << "../../etc/passwd" << "1 - Hi - etc passwd";
    QTest::newRow("control characters") << "a\nb\x1b\x7f.txt" << "1 - Hi - ab.txt";
    QTest::newRow("bidi override") << QString::fromUtf8("x\u202Efdp.exe") << "1 - Hi - xfdp.exe";
    QTest::newRow("nothing left") << "///" << "1 - Hi - attachment";
    QTest::newRow("dots only") << "..." << "1 - Hi - attachment";
}

void TestSavedAttachments::namesAreCleanedAndFitted()
{
    QFETCH(QString, attachment);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    const QVector<SavedAttachment> saved =
        saveAttachmentsBeside(dir.filePath("1 - Hi.pdf"), {::attachment(attachment, "bytes")});
    QCOMPARE(saved.size(), 1);
    QVERIFY2(saved[0].failure.isEmpty(), qPrintable(saved[0].failure));
    QCOMPARE(saved[0].path, dir.filePath(expected));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{expected});
    QCOMPARE(readAll(saved[0].path), QByteArray("bytes"));
    // Like the PDFs: the owner reads and writes it, nobody runs it.
    const QFile::Permissions permissions = QFileInfo(saved[0].path).permissions();
    QVERIFY((permissions & QFile::ReadOwner) && (permissions & QFile::WriteOwner));
    QVERIFY(!(permissions & (QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther)));
}

void TestSavedAttachments::takenNamesAreNumberedNeverOverwritten()
{
    QTemporaryDir dir;
    const QString pdf = dir.filePath("2 - Report.pdf");
    QFile earlier(dir.filePath("2 - Report - data.csv"));
    QVERIFY(earlier.open(QIODevice::WriteOnly));
    earlier.write("earlier");
    earlier.close();
    const QString longName = QString(300, QChar(0x00e9)) + ".xlsx";  // 2 bytes each in UTF-8
    const QVector<SavedAttachment> saved = saveAttachmentsBeside(
        pdf, {attachment("data.csv", "one"), attachment("data.csv", "two"), attachment(longName, "long"),
              attachment(longName, "long again")});
    QCOMPARE(saved.size(), 4);
    QCOMPARE(readAll(earlier.fileName()), QByteArray("earlier"));
    QCOMPARE(saved[0].path, dir.filePath("2 - Report - data (2).csv"));
    QCOMPARE(saved[1].path, dir.filePath("2 - Report - data (3).csv"));
    QCOMPARE(readAll(saved[0].path), QByteArray("one"));
    QCOMPARE(readAll(saved[1].path), QByteArray("two"));
    for (int i : {2, 3}) {
        QVERIFY2(saved[i].failure.isEmpty(), qPrintable(saved[i].failure));
        const QString name = QFileInfo(saved[i].path).fileName();
        QVERIFY2(name.endsWith(".xlsx") && name.startsWith("2 - Report - "), qPrintable(name));
        QVERIFY(name.toUtf8().size() <= FileNameByteLimit);
    }
    QVERIFY(QFileInfo(saved[3].path).fileName().endsWith(" (2).xlsx"));
    QCOMPARE(readAll(saved[3].path), QByteArray("long again"));
}

void TestSavedAttachments::missingBytesGiveAReason()
{
    QTemporaryDir dir;
    MailAttachment lost;
    lost.fileName = "lost.bin";
    const QVector<SavedAttachment> saved =
        saveAttachmentsBeside(dir.filePath("3.pdf"), {lost, attachment("kept.bin", "k")});
    QCOMPARE(saved.size(), 2);
    QVERIFY(saved[0].path.isEmpty());
    QVERIFY(!saved[0].failure.isEmpty());
    QCOMPARE(saved[1].path, dir.filePath("3 - kept.bin"));

    // A folder that is gone: a reason, no file.
    const QVector<SavedAttachment> nowhere =
        saveAttachmentsBeside(dir.filePath("gone/4.pdf"), {attachment("a.txt", "a")});
    QVERIFY(nowhere[0].path.isEmpty());
    QVERIFY2(nowhere[0].failure.contains("gone/4 - a.txt"), qPrintable(nowhere[0].failure));
}

QTEST_GUILESS_MAIN(TestSavedAttachments)
#include "tst_savedattachments.moc"
