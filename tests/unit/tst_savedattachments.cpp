// Attachments saved beside their PDF: names made safe and fitted, the bytes as they were, and a
// reason for one that could not be saved. Numbering instead of overwriting is shown through
// Print All in tst_printall_records.

#include "print/PdfFileName.h"
#include "print/SavedAttachments.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

class TestSavedAttachments : public QObject {
    Q_OBJECT
private slots:
    void namesAreCleanedAndFitted_data();
    void namesAreCleanedAndFitted();
};

void TestSavedAttachments::namesAreCleanedAndFitted_data()
{
    QTest::addColumn<QString>("attachment");
    QTest::addColumn<QString>("expected");  // empty: not saved
    QTest::newRow("plain") << "report.pdf" << "1 - Hi - report.pdf";
    QTest::newRow("path climbing") << "../../etc/passwd" << "1 - Hi - etc passwd";
    QTest::newRow("control characters") << "a\nb\x1b\x7f.txt" << "1 - Hi - ab.txt";
    QTest::newRow("bidi override") << QString::fromUtf8("x\u202Efdp.exe") << "1 - Hi - xfdp.exe";
    QTest::newRow("nothing left") << "/.." << "1 - Hi - attachment";
    QTest::newRow("too long, 2 bytes a letter") << QString(300, QChar(0xe9)) + ".xlsx"
                                                << "1 - Hi - " + QString(116, QChar(0xe9)) + ".xlsx";
    QTest::newRow("bytes not kept") << "lost.bin" << "";
}

void TestSavedAttachments::namesAreCleanedAndFitted()
{
    QFETCH(QString, attachment);
    QFETCH(QString, expected);
    MailAttachment a;
    a.fileName = attachment;
    if (!expected.isEmpty())
        a.bytes = SpooledBytes::store("bytes");
    QTemporaryDir dir;
    const QVector<SavedAttachment> saved = saveAttachmentsBeside(dir.filePath("1 - Hi.pdf"), {a});
    QCOMPARE(saved[0].path, expected.isEmpty() ? QString() : dir.filePath(expected));
    QCOMPARE(saved[0].failure.isEmpty(), !expected.isEmpty());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), expected.isEmpty() ? QStringList() : QStringList{expected});
    if (expected.isEmpty())
        return;
    QFile file(saved[0].path);
    QVERIFY(file.open(QIODevice::ReadOnly) && file.readAll() == "bytes");
    QVERIFY(file.permissions().testFlag(QFile::ReadOwner) && !file.permissions().testFlag(QFile::ExeOwner));
}

QTEST_GUILESS_MAIN(TestSavedAttachments)
#include "tst_savedattachments.moc"
