// One PDF for a run, read back with poppler and qpdf: every message's pages in order, one
// bookmark per message leading to its first page, the document's title, no file replaced, and
// thousands of messages without running out of open files.

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

// Each bookmark as "title → page index"; none when qpdf has to repair the file to read it.
QStringList bookmarks(const QString &path)
{
    QPDF pdf;
    pdf.setSuppressWarnings(true);
    pdf.processFile(QFile::encodeName(path).constData());
    std::vector<QPDFObjGen> pages;
    for (QPDFPageObjectHelper &page : QPDFPageDocumentHelper(pdf).getAllPages())
        pages.push_back(page.getObjectHandle().getObjGen());
    QStringList found;
    for (QPDFOutlineObjectHelper &item : QPDFOutlineDocumentHelper(pdf).getTopLevelOutlines()) {
        const auto page = std::find(pages.begin(), pages.end(), item.getDestPage().getObjGen());
        found << QStringLiteral("%1 → %2").arg(QString::fromStdString(item.getTitle())).arg(page - pages.begin());
    }
    return pdf.anyWarnings() ? QStringList() : found;
}

QStringList pageTexts(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? pdfPageTexts(file.readAll()) : QStringList();
}

}  // namespace

class TestCombinedPdf : public QObject {
    Q_OBJECT
private slots:
    void messagesInOrderWithBookmarks_data();
    void messagesInOrderWithBookmarks();
    void neverReplacesAFile();
    void manyMessagesWithFewOpenFiles();

private:
    QTemporaryDir folder_;
};

// Each message as its page texts; an empty one stands for a message whose PDF is unreadable.
void TestCombinedPdf::messagesInOrderWithBookmarks_data()
{
    QTest::addColumn<QList<QStringList>>("messages");
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<QByteArray>("unreadable");
    QTest::addColumn<QStringList>("expectedBookmarks");
    const QByteArray good = pdfWithPages({QStringLiteral("x")});
    QTest::newRow("one") << QList<QStringList>{{"a1"}} << QStringList{"03-01-2026 — Ann — Hello"} << QByteArray()
                         << QStringList{"03-01-2026 — Ann — Hello → 0"};
    QTest::newRow("several, non-ASCII")
        << QList<QStringList>{{"a1", "a2"}, {"b1"}, {"c1", "c2", "c3"}}
        << QStringList{"a — Zoë — Grüße", "b — 山田 — 会議の件", "c — plain"} << QByteArray()
        << QStringList{"a — Zoë — Grüße → 0", "b — 山田 — 会議の件 → 2", "c — plain → 3"};
    const QList<QStringList> withBroken{{"a1"}, {}, {"c1"}};
    const QStringList bookmarksAroundBroken{"a → 0", "c → 1"};
    QTest::newRow("not a PDF") << withBroken << QStringList{"a", "b", "c"} << QByteArray("<html>hi</html>")
                               << bookmarksAroundBroken;
    QTest::newRow("blank") << withBroken << QStringList{"a", "b", "c"} << QByteArray(" ") << bookmarksAroundBroken;
    QTest::newRow("cut short") << withBroken << QStringList{"a", "b", "c"}
                               << good.left(good.indexOf("stream") + 20) << bookmarksAroundBroken;
}

void TestCombinedPdf::messagesInOrderWithBookmarks()
{
    QFETCH(QList<QStringList>, messages);
    QFETCH(QStringList, titles);
    QFETCH(QByteArray, unreadable);
    QFETCH(QStringList, expectedBookmarks);
    const QString title = QStringLiteral("Ärger — %1").arg(QTest::currentDataTag());
    QStringList expectedTexts;
    QString written;
    QString error;
    {
        CombinedPdf combined;
        for (int m = 0; m < messages.size(); ++m) {
            const bool broken = messages.at(m).isEmpty();
            expectedTexts << messages.at(m);
            QCOMPARE(combined.add(broken ? unreadable : pdfWithPages(messages.at(m)), titles.at(m), &error), !broken);
        }
        QCOMPARE(combined.messages(), int(expectedBookmarks.size()));
        QVERIFY2(combined.finish(folder_.filePath(title + ".pdf"), title, &written, &error), qPrintable(error));
    }
    QCOMPARE(QDir(platform::privateTempFolder()).entryList({QStringLiteral("combined-*")}, QDir::Files), QStringList());
    QCOMPARE(pageTexts(written), expectedTexts);
    QCOMPARE(pdfInfoField(written, QStringLiteral("Title")), title);
    QCOMPARE(bookmarks(written), expectedBookmarks);
}

void TestCombinedPdf::neverReplacesAFile()
{
    const QString target = folder_.filePath(QStringLiteral("Run.pdf"));
    QFile existing(target);
    QVERIFY(existing.open(QIODevice::WriteOnly) && existing.write("someone else's") > 0);
    existing.close();
    QStringList written;
    for (int i = 0; i < 2; ++i) {
        CombinedPdf combined;
        QString path, error;
        QVERIFY(combined.add(pdfWithPages({QStringLiteral("run %1").arg(i)}), QStringLiteral("m"), &error));
        QVERIFY2(combined.finish(target, QStringLiteral("Run"), &path, &error), qPrintable(error));
        written << QFileInfo(path).fileName();
    }
    QCOMPARE(written, (QStringList{QStringLiteral("Run (2).pdf"), QStringLiteral("Run (3).pdf")}));
    QVERIFY(existing.open(QIODevice::ReadOnly) && existing.readAll() == "someone else's");
    QCOMPARE(pageTexts(folder_.filePath(written.at(1))), QStringList{QStringLiteral("run 1")});
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
    QString written, error;
    int added = 0;
    bool finished = false;
    {
        CombinedPdf combined;
        for (int m = 1; m <= Messages; ++m)
            added += combined.add(pdfWithPages({QStringLiteral("message %1").arg(m)}), QString::number(m), &error);
        finished = combined.finish(folder_.filePath(QStringLiteral("many.pdf")), QStringLiteral("many"), &written,
                                   &error);
    }
    setrlimit(RLIMIT_NOFILE, &old);
    QCOMPARE(added, Messages);
    QVERIFY2(finished, qPrintable(error));
    const QStringList pages = pageTexts(written);
    QCOMPARE(pages.size(), Messages);
    QCOMPARE(pages.at(999), QStringLiteral("message 1000"));
    QCOMPARE(pages.last(), QStringLiteral("message 2000"));
    QCOMPARE(bookmarks(written).last(), QStringLiteral("2000 → 1999"));
}

QTEST_MAIN(TestCombinedPdf)
#include "tst_combinedpdf.moc"
