// The header rows a message page gets from its template.
#include "print/MessageHtml.h"

#include <QtTest>

class TestMessageHtml : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::German)); }  // sizes take no decimal comma
    void headerRows_data()
    {
        QTest::addColumn<QString>("to");  // "name|address" items split by ";"
        QTest::addColumn<QString>("cc");
        QTest::addColumn<QString>("files");  // "name|size" items split by ";"
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("rows");  // "label=value" for each row shown, split by "\n"
        QTest::newRow("nothing: no rows") << "" << "" << "" << "b" << "";
        QTest::newRow("all three, in template order")
            << "|a@example.com" << "Carl|c@example.com;Dora|" << "r.pdf|12800;p.png|300;v.mp4|1468006" << "b"
            << "To:=a@example.com\nCc:=Carl &lt;c@example.com&gt;, Dora\nAttachments:=r.pdf (13 KB), p.png (300 bytes), v.mp4 (1.4 MB)";
        QTest::newRow("markup escaped, markers in the text stay")
            << "<script>alert(1)</script>|x@example.com" << "" << "<img src=x>.pdf|1" << "<b>%Cc% %Attachments% %To%"
                                        << "To:=&lt;script&gt;alert(1)&lt;/script&gt; &lt;x@example.com&gt;\n"
                                           "Attachments:=&lt;img src=x&gt;.pdf (1 byte)";
    }
    void headerRows()
    {
        QFETCH(QString, to); QFETCH(QString, cc); QFETCH(QString, files); QFETCH(QString, body);
        QFETCH(QString, rows);
        MessageEntry entry;
        for (const QString &item : to.split(';', Qt::SkipEmptyParts))
            entry.To.append({item.section('|', 0, 0), item.section('|', 1)});
        for (const QString &item : cc.split(';', Qt::SkipEmptyParts))
            entry.Cc.append({item.section('|', 0, 0), item.section('|', 1)});
        for (const QString &item : files.split(';', Qt::SkipEmptyParts))
            entry.Attachments.append({item.section('|', 0, 0), "x/y", item.section('|', 1).toLongLong(), nullptr});
        const QString page = fillMessageTemplate(QStringLiteral("<table>\n%To%\n%Cc%\n%Attachments%\n</table>%Message%"), entry, body);
        static const QRegularExpression row(QStringLiteral("<tr><td[^>]*>([^<]*)</td><td[^>]*>([^<]+)</td></tr>"));
        QStringList shown;
        for (auto it = row.globalMatch(page); it.hasNext(); it.next())
            shown << it.peekNext().captured(1) + '=' + it.peekNext().captured(2);
        QCOMPARE(shown.join('\n'), rows);
        QCOMPARE(page.count(QLatin1String("<tr")), shown.size());  // nothing else, no empty rows
        QVERIFY(page.endsWith("</table>" + body));
    }
};

QTEST_GUILESS_MAIN(TestMessageHtml)
#include "tst_messagehtml.moc"
