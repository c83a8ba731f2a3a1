// The header rows a message page gets from its template.
#include "print/MessageHtml.h"

#include <QtTest>

namespace {

MailAttachment attachment(const QString &name, qint64 size)
{
    MailAttachment a;
    a.fileName = name;
    a.size = size;
    return a;
}

const QString kTemplate = QStringLiteral("<table>\n%From%\n%To%\n%Cc%\n%Attachments%\n</table>\n%Message%");

}  // namespace

Q_DECLARE_METATYPE(QVector<MailAddress>)
Q_DECLARE_METATYPE(QVector<MailAttachment>)

class TestMessageHtml : public QObject {
    Q_OBJECT

private slots:
    void headerRows_data();
    void headerRows();
    void shownSizes_data();
    void shownSizes();
};

void TestMessageHtml::headerRows_data()
{
    QTest::addColumn<QVector<MailAddress>>("to");
    QTest::addColumn<QVector<MailAddress>>("cc");
    QTest::addColumn<QVector<MailAttachment>>("attachments");
    QTest::addColumn<QString>("body");
    QTest::addColumn<QStringList>("labels");  // the rows the page shows, in order
    QTest::addColumn<QStringList>("shownTexts");  // must appear as written
    QTest::addColumn<QStringList>("absentTexts");

    const QVector<MailAddress> none;
    const QVector<MailAttachment> noFiles;
    QTest::newRow("nothing: no rows, no empty lines")
        << none << none << noFiles << "body" << QStringList{} << QStringList{"<table>\nf@example.com\n\n\n\n</table>"}
        << QStringList{"<tr>", "To:", "Cc:", "Attachments:"};
    QTest::newRow("To only")
        << QVector<MailAddress>{{"Ann", "ann@example.com"}, {"", "bob@example.org"}} << none << noFiles << "body"
        << QStringList{"To:"} << QStringList{"Ann &lt;ann@example.com&gt;, bob@example.org"}
        << QStringList{"Cc:", "Attachments:"};
    QTest::newRow("all three, in template order")
        << QVector<MailAddress>{{"", "a@example.com"}} << QVector<MailAddress>{{"Carl", "c@example.com"}, {"Dora", ""}}
        << QVector<MailAttachment>{attachment("r.pdf", 12 * 1024), attachment("p.png", 300)} << "body"
        << QStringList{"To:", "Cc:", "Attachments:"}
        << QStringList{"Carl &lt;c@example.com&gt;, Dora", "r.pdf (12 KB), p.png (300 bytes)"} << QStringList{};
    QTest::newRow("markup in names and file names is escaped")
        << QVector<MailAddress>{{"<script>alert(1)</script>", "x@example.com"}} << none
        << QVector<MailAttachment>{attachment("<img src=x onerror=alert(1)>.pdf", 1)} << "body"
        << QStringList{"To:", "Attachments:"}
        << QStringList{"&lt;script&gt;alert(1)&lt;/script&gt;", "&lt;img src=x onerror=alert(1)&gt;.pdf (1 byte)"}
        << QStringList{"<script>", "<img"};
    QTest::newRow("markers in the message's own text stay as written")
        << QVector<MailAddress>{{"", "a@example.com"}} << none << noFiles << "see %Cc% and %Attachments% and %To%"
        << QStringList{"To:"} << QStringList{"see %Cc% and %Attachments% and %To%"} << QStringList{"Cc:"};
}

void TestMessageHtml::headerRows()
{
    QFETCH(QVector<MailAddress>, to);
    QFETCH(QVector<MailAddress>, cc);
    QFETCH(QVector<MailAttachment>, attachments);
    QFETCH(QString, body);
    QFETCH(QStringList, labels);
    QFETCH(QStringList, shownTexts);
    QFETCH(QStringList, absentTexts);
    MessageEntry entry;
    entry.From = QStringLiteral("f@example.com");
    entry.To = to;
    entry.Cc = cc;
    entry.Attachments = attachments;
    const QString page = fillMessageTemplate(kTemplate, entry, body);

    static const QRegularExpression row(QStringLiteral("<tr><td[^>]*>([^<]*)</td><td[^>]*>[^<]+</td></tr>"));
    QStringList rows;
    for (auto it = row.globalMatch(page); it.hasNext();)
        rows << it.next().captured(1);
    QCOMPARE(rows, labels);
    QCOMPARE(page.count(QLatin1String("<tr>")), labels.size());
    for (const QString &text : shownTexts)
        QVERIFY2(page.contains(text), qPrintable(text + QStringLiteral(" missing in ") + page));
    for (const QString &text : absentTexts)
        QVERIFY2(!page.contains(text), qPrintable(text + QStringLiteral(" found in ") + page));
}

void TestMessageHtml::shownSizes_data()
{
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<QString>("shown");
    QTest::newRow("empty") << qint64(0) << "0 bytes";
    QTest::newRow("one") << qint64(1) << "1 byte";
    QTest::newRow("under a kilobyte") << qint64(1023) << "1023 bytes";
    QTest::newRow("kilobyte") << qint64(1024) << "1 KB";
    QTest::newRow("rounded kilobytes") << qint64(12 * 1024 + 600) << "13 KB";
    QTest::newRow("just under a megabyte") << qint64(1024 * 1024 - 1) << "1.0 MB";
    QTest::newRow("megabytes with a decimal point in any locale") << qint64(1468006) << "1.4 MB";
    QTest::newRow("gigabytes") << qint64(3) * 1024 * 1024 * 1024 << "3.0 GB";
}

void TestMessageHtml::shownSizes()
{
    QFETCH(qint64, bytes);
    QFETCH(QString, shown);
    QLocale::setDefault(QLocale(QLocale::German));
    QCOMPARE(shownSize(bytes), shown);
    QLocale::setDefault(QLocale::c());
}

QTEST_GUILESS_MAIN(TestMessageHtml)
#include "tst_messagehtml.moc"
