// Attached PDFs appended to a message's PDF, read back with poppler: the pages in order, and
// attachments that cannot be read left out and named while the message's pages stay.

#include "TestPdfs.h"
#include "print/AttachedPdfs.h"

#include <QtTest>

#define POINTERHOLDER_TRANSITION 4
#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

namespace {

QStringList texts(const QString &name, int pages)
{
    QStringList list;
    for (int i = 1; i <= pages; ++i)
        list << QStringLiteral("%1 page %2").arg(name).arg(i);
    return list;
}

// `pdf` as qpdf writes it: its first page repeated to `pages` pages, locked with a password or not.
QByteArray rewritten(const QByteArray &pdf, int pages, bool locked)
{
    QPDF source;
    source.processMemoryFile("source", pdf.constData(), size_t(pdf.size()));
    QPDFPageDocumentHelper helper(source);
    QPDFObjectHandle first = helper.getAllPages().front().getObjectHandle();
    for (int i = 1; i < pages; ++i)
        helper.addPage(QPDFPageObjectHelper(source.makeIndirectObject(first.shallowCopy())), false);
    QPDFWriter writer(source);
    writer.setOutputMemory();
    if (locked)
        writer.setR6EncryptionParameters("secret", "owner", true, true, true, true, true, true, qpdf_r3p_full, true);
    writer.write();
    std::shared_ptr<Buffer> buffer = writer.getBufferSharedPointer();
    return QByteArray(reinterpret_cast<const char *>(buffer->getBuffer()), qsizetype(buffer->getSize()));
}

QByteArray damaged(const QByteArray &pdf)
{
    // Cross-reference table and trailer gone, the objects cut in the middle of the page content.
    return pdf.left(pdf.indexOf("stream") + 20);
}

}  // namespace

class TestAttachedPdfs : public QObject {
    Q_OBJECT
private slots:
    void appendsPagesInOrder_data();
    void appendsPagesInOrder();
    void leavesOutUnreadableAttachments_data();
    void leavesOutUnreadableAttachments();
    void unreadableMessageIsAnError_data();
    void unreadableMessageIsAnError();
};

void TestAttachedPdfs::appendsPagesInOrder_data()
{
    QTest::addColumn<int>("messagePages");
    QTest::addColumn<QList<int>>("attachmentPages");
    QTest::newRow("no attachments") << 2 << QList<int>{};
    QTest::newRow("one of one page") << 1 << QList<int>{1};
    QTest::newRow("three of several pages") << 2 << QList<int>{3, 1, 2};
}

void TestAttachedPdfs::appendsPagesInOrder()
{
    QFETCH(int, messagePages);
    QFETCH(QList<int>, attachmentPages);
    QStringList expected = texts(QStringLiteral("message"), messagePages);
    QVector<QByteArray> attachments;
    for (int i = 0; i < attachmentPages.size(); ++i) {
        const QStringList pages = texts(QStringLiteral("attachment %1").arg(i + 1), attachmentPages.at(i));
        attachments << pdfWithPages(pages);
        expected << pages;
    }
    const AppendedPdf result = appendAttachedPdfs(pdfWithPages(texts(QStringLiteral("message"), messagePages)),
                                                  attachments);
    QVERIFY2(result.error.isEmpty(), qPrintable(result.error));
    QVERIFY(result.unreadable.isEmpty());
    QCOMPARE(pdfPageTexts(result.pdf), expected);
}

void TestAttachedPdfs::leavesOutUnreadableAttachments_data()
{
    QTest::addColumn<QByteArray>("bad");
    const QByteArray good = pdfWithPages({QStringLiteral("bad one")});
    QTest::newRow("damaged") << damaged(good);
    QTest::newRow("locked with a password") << rewritten(good, 1, true);
    QTest::newRow("not a PDF") << QByteArray("Dear Sir, please find the invoice attached.\n");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("too many pages") << rewritten(good, MostAttachedPdfPages + 1, false);
}

void TestAttachedPdfs::leavesOutUnreadableAttachments()
{
    QFETCH(QByteArray, bad);
    const QVector<QByteArray> attachments{pdfWithPages({QStringLiteral("alpha")}), bad,
                                          pdfWithPages({QStringLiteral("omega")})};
    const AppendedPdf result = appendAttachedPdfs(pdfWithPages({QStringLiteral("message")}), attachments);
    QVERIFY2(result.error.isEmpty(), qPrintable(result.error));
    QCOMPARE(result.unreadable, QVector<int>{1});
    QCOMPARE(pdfPageTexts(result.pdf),
             (QStringList{QStringLiteral("message"), QStringLiteral("alpha"), QStringLiteral("omega")}));
}

void TestAttachedPdfs::unreadableMessageIsAnError_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("not a PDF") << QByteArray("<html>not a pdf</html>");
    QTest::newRow("locked with a password") << rewritten(pdfWithPages({QStringLiteral("m")}), 1, true);
}

void TestAttachedPdfs::unreadableMessageIsAnError()
{
    QFETCH(QByteArray, message);
    const AppendedPdf result = appendAttachedPdfs(message, {pdfWithPages({QStringLiteral("a")})});
    QVERIFY(!result.error.isEmpty());
    QVERIFY(result.pdf.isEmpty());
}

QTEST_MAIN(TestAttachedPdfs)
#include "tst_attachedpdfs.moc"
