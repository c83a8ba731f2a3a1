// The header rows a message page gets from its template, and the sizes they show.
#include "print/MessageHtml.h"

#include <QtTest>

class TestMessageHtml : public QObject {
    Q_OBJECT
private slots:
    void headerRows_data()
    {
        QTest::addColumn<QString>("to");  // "name|address" items split by ";"
        QTest::addColumn<QString>("cc");
        QTest::addColumn<QString>("files");  // "name|size" items split by ";"
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("rows");  // "label=value" for each row shown, split by "\n"
        QTest::newRow("nothing: no rows") << "" << "" << "" << "b" << "";
        QTest::newRow("all three, in template order")
            << "|a@example.com" << "Carl|c@example.com;Dora|" << "r.pdf|12800;p.png|300" << "b"
            << "To:=a@example.com\nCc:=Carl &lt;c@example.com&gt;, Dora\nAttachments:=r.pdf (13 KB), p.png (300 bytes)";
        QTest::newRow("markup escaped") << "<script>alert(1)</script>|x@example.com" << "" << "<img src=x>.pdf|1" << "<b>"
                                        << "To:=&lt;script&gt;alert(1)&lt;/script&gt; &lt;x@example.com&gt;\n"
                                           "Attachments:=&lt;img src=x&gt;.pdf (1 byte)";
        QTest::newRow("markers in the message's text stay") << "|a@example.com" << "" << "" << "%Cc% %Attachments% %To%"
                                                            << "To:=a@example.com";
    }
    void headerRows()
    {
        QFETCH(QString, to);
        QFETCH(QString, cc);
        QFETCH(QString, files);
        QFETCH(QString, body);
        QFETCH(QString, rows);
        auto items = [](const QString &list) { return list.split(';', Qt::SkipEmptyParts); };
        MessageEntry entry;
        for (const QString &item : items(to))
            entry.To.append({item.section('|', 0, 0), item.section('|', 1)});
        for (const QString &item : items(cc))
            entry.Cc.append({item.section('|', 0, 0), item.section('|', 1)});
        for (const QString &item : items(files))
            entry.Attachments.append({item.section('|', 0, 0), "x/y", item.section('|', 1).toLongLong(), nullptr});
        const QString page = fillMessageTemplate(QStringLiteral("<table>\n%To%\n%Cc%\n%Attachments%\n</table>%Message%"), entry, body);
        static const QRegularExpression row(QStringLiteral("<tr><td[^>]*>([^<]*)</td><td[^>]*>([^<]+)</td></tr>"));
        QStringList shown;
        for (auto it = row.globalMatch(page); it.hasNext();) {
            const auto m = it.next();
            shown << m.captured(1) + '=' + m.captured(2);
        }
        QCOMPARE(shown.join('\n'), rows);
        QCOMPARE(page.count(QLatin1String("<tr")), shown.size());  // nothing else, no empty rows
        QVERIFY(page.endsWith("</table>" + body));
    }
    void shownSizes()
    {
        QLocale::setDefault(QLocale(QLocale::German));  // a decimal comma would show here
        const QList<qint64> sizes{0, 1023, 1024, 1024 * 1024 - 1, 1468006, 3LL << 30};
        QStringList shown;
        for (qint64 size : sizes)
            shown << shownSize(size);
        QCOMPARE(shown.join(", "), QStringLiteral("0 bytes, 1023 bytes, 1 KB, 1.0 MB, 1.4 MB, 3.0 GB"));
    }
};

QTEST_GUILESS_MAIN(TestMessageHtml)
#include "tst_messagehtml.moc"
