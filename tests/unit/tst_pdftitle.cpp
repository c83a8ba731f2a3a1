// The title and author a written PDF carries, as a reader (pdfinfo) sees them.
#include "print/PdfTitle.h"

#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// A one-page PDF as Qt writes it, with an information dictionary naming its title and creator.
QByteArray qtPdf(const QString &title)
{
    QByteArray pdf;
    QBuffer buffer(&pdf);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setTitle(title);
        writer.setCreator(QStringLiteral("test"));
        QPainter painter(&writer);
        painter.drawText(100, 100, QStringLiteral("page"));
    }
    return pdf;
}

// "Title" and "Author" lines of pdfinfo, or why there are none.
QMap<QString, QString> pdfInfo(const QByteArray &pdf)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.pdf"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(pdf) != pdf.size())
        return {{"error", "cannot write"}};
    file.close();
    QProcess pdfinfo;
    pdfinfo.start(QStringLiteral("pdfinfo"), {QStringLiteral("-enc"), QStringLiteral("UTF-8"), path});
    if (!pdfinfo.waitForFinished(30000) || pdfinfo.exitCode() != 0)
        return {{"error", QString::fromUtf8(pdfinfo.readAllStandardError())}};
    QMap<QString, QString> info;
    for (const QString &line : QString::fromUtf8(pdfinfo.readAllStandardOutput()).split(QLatin1Char('\n'))) {
        const qsizetype colon = line.indexOf(QLatin1Char(':'));
        if (colon > 0 && (line.startsWith(QLatin1String("Title")) || line.startsWith(QLatin1String("Author"))
                          || line.startsWith(QLatin1String("Pages"))))
            info.insert(line.left(colon), line.mid(colon + 1).trimmed());
    }
    return info;
}

}  // namespace

class TestPdfTitle : public QObject {
    Q_OBJECT

private slots:
    void titleAndAuthor_data();
    void titleAndAuthor();
    void notAPdf();
};

void TestPdfTitle::titleAndAuthor_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("author");
    QTest::addColumn<QString>("shownTitle");
    QTest::addColumn<QString>("shownAuthor");  // empty: pdfinfo shows no author

    QTest::newRow("both") << "Quarterly report" << "Ann Lee <ann@example.com>" << "Quarterly report"
                          << "Ann Lee <ann@example.com>";
    QTest::newRow("non-Latin sender") << QStringLiteral("\u5831\u544a") << QStringLiteral("J\u00f6rg \u5c71\u7530 <j@example.de>")
                                      << QStringLiteral("\u5831\u544a") << QStringLiteral("J\u00f6rg \u5c71\u7530 <j@example.de>");
    QTest::newRow("author only keeps the old title") << "" << "b@example.org" << "old title" << "b@example.org";
    QTest::newRow("title only, no author") << "New" << "" << "New" << "";
    QTest::newRow("parentheses in the sender") << "t" << "x@example.com (Bob) (Boss)" << "t"
                                              << "x@example.com (Bob) (Boss)";
}

void TestPdfTitle::titleAndAuthor()
{
    QFETCH(QString, title);
    QFETCH(QString, author);
    QFETCH(QString, shownTitle);
    QFETCH(QString, shownAuthor);
    const QByteArray original = qtPdf(QStringLiteral("old title"));
    const QByteArray updated = pdfWithInfo(original, title, author);
    QVERIFY(updated.startsWith(original));  // an update after the original bytes
    const QMap<QString, QString> info = pdfInfo(updated);
    QVERIFY2(!info.contains("error"), qPrintable(info.value("error")));
    QCOMPARE(info.value("Pages"), QStringLiteral("1"));
    QCOMPARE(info.value("Title"), shownTitle);
    QCOMPARE(info.value("Author"), shownAuthor);

    // Set twice, the later values are the ones shown.
    const QMap<QString, QString> again = pdfInfo(pdfWithInfo(updated, QStringLiteral("second"), QStringLiteral("z@example.com")));
    QCOMPARE(again.value("Title"), QStringLiteral("second"));
    QCOMPARE(again.value("Author"), QStringLiteral("z@example.com"));
}

void TestPdfTitle::notAPdf()
{
    QVERIFY(pdfWithInfo(QByteArray("not a pdf at all"), QStringLiteral("t"), QStringLiteral("a")).isEmpty());
    QVERIFY(pdfWithInfo(qtPdf(QStringLiteral("t")), QString(), QString()).isEmpty());
}

QTEST_MAIN(TestPdfTitle)
#include "tst_pdftitle.moc"
