// One PDF for a run, read back with poppler and qpdf: every message's pages in order, one
// bookmark per message leading to its first page, the document's title, no file replaced,
// and thousands of messages without running out of open files.

#include "TestPdfs.h"
#include "platform/PrivateTempFolder.h"
#include "print/CombinedPdf.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#define POINTERHOLDER_TRANSITION 4
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFOutlineDocumentHelper.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

#include <sys/resource.h>

namespace {

struct Bookmark {
    QString title;
    int page;  // 0-based
};

// The document's outline; none when qpdf has to repair the file to read it.
QList<Bookmark> bookmarks(const QString &path)
{
    QPDF pdf;
    pdf.setSuppressWarnings(true);
    pdf.processFile(QFile::encodeName(path).constData());
    if (pdf.anyWarnings())
        return {};
    QPDFOutlineDocumentHelper outlines(pdf);
    QPDFPageDocumentHelper pages(pdf);
    const std::vector<QPDFPageObjectHelper> all = pages.getAllPages();
    QList<Bookmark> found;
    for (QPDFOutlineObjectHelper &item : outlines.getTopLevelOutlines()) {
        const QPDFObjGen target = item.getDestPage().getObjGen();
        int index = -1;
        for (size_t i = 0; i < all.size(); ++i)
            if (all[i].getObjectHandle().getObjGen() == target)
                index = int(i);
        found.append({QString::fromStdString(item.getTitle()), index});
    }
    return found;
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList spoolFiles()
{
    return QDir(platform::privateTempFolder()).entryList({QStringLiteral("combined-*")}, QDir::Files);
}

}  // namespace

class TestCombinedPdf : public QObject {
    Q_OBJECT
private slots:
    void messagesInOrderWithBookmarks_data();
    void messagesInOrderWithBookmarks();
    void unreadableMessageLeavesDocumentWhole_data();
    void unreadableMessageLeavesDocumentWhole();
    void neverReplacesAFile();
    void manyMessagesWithFewOpenFiles();

private:
    QTemporaryDir folder_;
};

void TestCombinedPdf::messagesInOrderWithBookmarks_data()
{
    QTest::addColumn<QList<int>>("pages");
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<QString>("documentTitle");
    QTest::newRow("one message") << QList<int>{1} << QStringList{QStringLiteral("03-01-2026 — Ann — Hello")}
                                 << QStringLiteral("Inbox");
    QTest::newRow("several, non-ASCII") << QList<int>{2, 1, 3}
                                        << QStringList{QStringLiteral("a — Zoë — Grüße"),
                                                       QStringLiteral("b — 山田 — 会議の件"),
                                                       QStringLiteral("c — plain — ascii")}
                                        << QStringLiteral("Ärger — Run 1");
}

void TestCombinedPdf::messagesInOrderWithBookmarks()
{
    QFETCH(QList<int>, pages);
    QFETCH(QStringList, titles);
    QFETCH(QString, documentTitle);
    QStringList expectedTexts;
    QList<int> firstPages;
    QString written;
    {
        CombinedPdf combined;
        for (int m = 0; m < pages.size(); ++m) {
            QStringList texts;
            for (int p = 1; p <= pages.at(m); ++p)
                texts << QStringLiteral("message %1 page %2").arg(m + 1).arg(p);
            firstPages << int(expectedTexts.size());
            expectedTexts << texts;
            QString error;
            QVERIFY2(combined.add(pdfWithPages(texts), titles.at(m), &error), qPrintable(error));
        }
        QCOMPARE(combined.messages(), pages.size());
        QString error;
        QVERIFY2(combined.finish(folder_.filePath(QStringLiteral("%1.pdf").arg(QTest::currentDataTag())),
                                 documentTitle, &written, &error),
                 qPrintable(error));
    }
    QVERIFY(spoolFiles().isEmpty());
    QCOMPARE(pdfPageTexts(fileBytes(written)), expectedTexts);
    QCOMPARE(pdfInfoField(written, QStringLiteral("Title")), documentTitle);
    const QList<Bookmark> found = bookmarks(written);
    QCOMPARE(found.size(), titles.size());
    for (int m = 0; m < titles.size(); ++m) {
        QCOMPARE(found.at(m).title, titles.at(m));
        QCOMPARE(found.at(m).page, firstPages.at(m));
    }
}

void TestCombinedPdf::unreadableMessageLeavesDocumentWhole_data()
{
    QTest::addColumn<QByteArray>("bad");
    const QByteArray good = pdfWithPages({QStringLiteral("x"), QStringLiteral("y")});
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("not a PDF") << QByteArray("<html><body>hello</body></html>");
    QTest::newRow("cut short") << good.left(good.indexOf("stream") + 20);
}

void TestCombinedPdf::unreadableMessageLeavesDocumentWhole()
{
    QFETCH(QByteArray, bad);
    CombinedPdf combined;
    QString error;
    QVERIFY(combined.add(pdfWithPages({QStringLiteral("before")}), QStringLiteral("one"), &error));
    QVERIFY(!combined.add(bad, QStringLiteral("broken"), &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(combined.add(pdfWithPages({QStringLiteral("after")}), QStringLiteral("two"), &error));
    QCOMPARE(combined.messages(), 2);
    QString written;
    QVERIFY2(combined.finish(folder_.filePath(QStringLiteral("whole-%1.pdf").arg(QTest::currentDataTag())),
                             QStringLiteral("t"), &written, &error),
             qPrintable(error));
    QCOMPARE(pdfPageTexts(fileBytes(written)), (QStringList{QStringLiteral("before"), QStringLiteral("after")}));
    const QList<Bookmark> found = bookmarks(written);
    QCOMPARE(found.size(), 2);
    QCOMPARE(found.at(1).title, QStringLiteral("two"));
    QCOMPARE(found.at(1).page, 1);
}

void TestCombinedPdf::neverReplacesAFile()
{
    const QString target = folder_.filePath(QStringLiteral("Run.pdf"));
    QFile existing(target);
    QVERIFY(existing.open(QIODevice::WriteOnly));
    existing.write("someone else's file");
    existing.close();
    QStringList written;
    for (int i = 0; i < 2; ++i) {
        CombinedPdf combined;
        QString error;
        QVERIFY(combined.add(pdfWithPages({QStringLiteral("run %1").arg(i)}), QStringLiteral("m"), &error));
        QString path;
        QVERIFY2(combined.finish(target, QStringLiteral("Run"), &path, &error), qPrintable(error));
        written << path;
    }
    QCOMPARE(written, (QStringList{folder_.filePath(QStringLiteral("Run (2).pdf")),
                                   folder_.filePath(QStringLiteral("Run (3).pdf"))}));
    QCOMPARE(fileBytes(target), QByteArray("someone else's file"));
    QCOMPARE(pdfPageTexts(fileBytes(written.at(1))), QStringList{QStringLiteral("run 1")});
    QCOMPARE(QDir(folder_.path()).entryList({QStringLiteral(".*.part")}, QDir::Files | QDir::Hidden), QStringList());
}

void TestCombinedPdf::manyMessagesWithFewOpenFiles()
{
    constexpr int Messages = 2000;
    struct rlimit old {};
    QCOMPARE(getrlimit(RLIMIT_NOFILE, &old), 0);
    struct rlimit low = old;
    low.rlim_cur = 256;
    QCOMPARE(setrlimit(RLIMIT_NOFILE, &low), 0);
    QString written;
    QString error;
    bool finished = false;
    {
        CombinedPdf combined;
        int added = 0;
        for (int m = 0; m < Messages; ++m)
            added += combined.add(pdfWithPages({QStringLiteral("message %1").arg(m + 1)}),
                                  QStringLiteral("m %1").arg(m + 1), &error) ? 1 : 0;
        QCOMPARE(added, Messages);
        finished = combined.finish(folder_.filePath(QStringLiteral("many.pdf")), QStringLiteral("many"), &written,
                                   &error);
    }
    setrlimit(RLIMIT_NOFILE, &old);
    QVERIFY2(finished, qPrintable(error));
    const QStringList pages = pdfPageTexts(fileBytes(written));
    QCOMPARE(pages.size(), Messages);
    QCOMPARE(pages.first(), QStringLiteral("message 1"));
    QCOMPARE(pages.at(999), QStringLiteral("message 1000"));
    QCOMPARE(pages.last(), QStringLiteral("message 2000"));
    QCOMPARE(bookmarks(written).size(), Messages);
}

QTEST_MAIN(TestCombinedPdf)
#include "tst_combinedpdf.moc"
