// The title and author of a written PDF, as a reader (pdfinfo) sees them.
#include "print/PdfTitle.h"

#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryFile>
#include <QtTest>

// pdfinfo's "Title" and "Author" lines for `pdf`, joined by "|".
static QString shownInfo(const QByteArray &pdf)
{
    QTemporaryFile file;
    if (!file.open() || file.write(pdf) != pdf.size() || !file.flush())
        return QStringLiteral("not written");
    QProcess run;
    run.start(QStringLiteral("pdfinfo"), {QStringLiteral("-enc"), QStringLiteral("UTF-8"), file.fileName()});
    run.waitForFinished(30000);
    static const QRegularExpression field(QStringLiteral("^(Title|Author): +(.*)$"), QRegularExpression::MultilineOption);
    QStringList shown;
    for (auto it = field.globalMatch(QString::fromUtf8(run.readAllStandardOutput())); it.hasNext();)
        shown << it.next().captured(0).simplified();
    return shown.join('|');
}

class TestPdfTitle : public QObject {
    Q_OBJECT
private slots:
    void titleAndAuthor_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("author");
        QTest::addColumn<QString>("shown");
        QTest::newRow("both") << "Report" << "Ann Lee <ann@example.com>" << "Title: Report|Author: Ann Lee <ann@example.com>";
        QTest::newRow("non-Latin sender") << "t" << QStringLiteral("J\u00f6rg (\u5c71\u7530) <j@example.de>")
                                          << QStringLiteral("Title: t|Author: J\u00f6rg (\u5c71\u7530) <j@example.de>");
        QTest::newRow("author only keeps the old title") << "" << "b@example.org" << "Title: old|Author: b@example.org";
        QTest::newRow("title only, no author") << "New" << "" << "Title: New";
    }
    void titleAndAuthor()
    {
        QFETCH(QString, title); QFETCH(QString, author); QFETCH(QString, shown);
        QByteArray original;  // as Qt writes it, with an information dictionary of its own
        QBuffer buffer(&original);
        buffer.open(QIODevice::WriteOnly);
        {
            QPdfWriter writer(&buffer);
            writer.setTitle(QStringLiteral("old"));
            QPainter(&writer).drawText(100, 100, QStringLiteral("page"));
        }
        const QByteArray updated = pdfWithInfo(original, title, author);
        QVERIFY(updated.startsWith(original));
        QCOMPARE(shownInfo(updated), shown);
        QCOMPARE(shownInfo(pdfWithInfo(updated, "2", "z@x.org")), QStringLiteral("Title: 2|Author: z@x.org"));  // set again
    }
};

QTEST_MAIN(TestPdfTitle)
#include "tst_pdftitle.moc"
