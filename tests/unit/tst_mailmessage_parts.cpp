// Recipients, Message-ID and attached files of a parsed message.
#include "core/SpooledBytes.h"
#include "mime/MailMessage.h"
#include "mime/MimeBodies.h"

#include <QtTest>

static MessageEntry parsed(const QByteArray &headers, const QByteArray &body)
{
    QByteArray raw = "From: f@example.com\nSubject: s\n" + headers + "\n" + body;
    return parseMailMessage(raw.replace("\n", "\r\n"), QDateTime::currentDateTime());
}

class TestMailMessageParts : public QObject {
    Q_OBJECT
private slots:
    void recipients_data()
    {
        QTest::addColumn<QByteArray>("headers");
        QTest::addColumn<QString>("shown");  // "to name|address;..." + " / cc ..." + " / message id"
        QTest::newRow("groups flattened, names quoted, encoded and folded") << QByteArray(
            "To: Team: a@example.com, =?UTF-8?Q?J=C3=B6rg?= <j@example.de>;, nobody:;\nCc: \"Doe, C\" <c@x.net>,\n"
            " =?utf-8?B?5bGx55Sw?= <y@example.jp>\nMessage-ID:\n  <folded@example.com> \n")
            << QStringLiteral("|a@example.com;J\u00f6rg|j@example.de / Doe, C|c@x.net;\u5c71\u7530|y@example.jp / folded@example.com");
        QTest::newRow("none") << QByteArray() << " /  / ";
    }
    void recipients()
    {
        QFETCH(QByteArray, headers); QFETCH(QString, shown);
        const MessageEntry m = parsed(headers, "body\n");
        QStringList got;
        for (const auto *list : {&m.To, &m.Cc}) {
            got << QString();
            for (const MailAddress &a : *list)
                got.last() += (got.last().isEmpty() ? "" : ";") + a.name + '|' + a.address;
        }
        QCOMPARE(got.join(" / ") + " / " + m.MessageId, shown);
    }
    void attachments_data()
    {
        QTest::addColumn<QByteArray>("parts");  // of a multipart/mixed with boundary "m", after a text part
        QTest::addColumn<QString>("shown");     // "name|type|bytes read back;..."
        auto part = [](const QByteArray &headers, const QByteArray &body) { return "--m\n" + headers + "\n\n" + body + "\n"; };
        const QByteArray png = QByteArray::fromBase64("iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAAAAAA6fptVAAAACklEQVR4nGNgAAAAAgABSK+kcQAAAABJRU5ErkJggg==");
        QTest::newRow("none") << QByteArray() << "";
        QTest::newRow("by disposition, by name alone, type lower case")
            << part("Content-Type: Application/PDF\nContent-Disposition: attachment; filename=\"r.pdf\"", "%PDF-1")
                   + part("Content-Type: application/zip; name=z.zip\nContent-Transfer-Encoding: base64", "UEsD\nBA==")
            << QStringLiteral("r.pdf|application/pdf|%PDF-1;z.zip|application/zip|PK\x03\x04");
        QByteArray long64 = QByteArray(300, 'q').toBase64();  // lines, a space and a stray character
        for (qsizetype at = 76; at < long64.size(); at += 78)
            long64.insert(at, "\r\n");
        long64.insert(100, " !");
        QTest::newRow("long base64 with breaks and stray characters")
            << part("Content-Type: application/octet-stream; name=q.bin\nContent-Transfer-Encoding: base64", long64)
            << QStringLiteral("q.bin|application/octet-stream|") + QString(300, 'q');
        QTest::newRow("inline named text is none, text marked attachment is one")
            << part("Content-Type: text/plain\nContent-Disposition: inline; filename=n.txt", "x")
                   + part("Content-Type: text/html\nContent-Disposition: attachment; filename=a.html", "<p>")
            << "a.html|text/html|<p>";
        QTest::newRow("RFC 2231 and 2047 names, paths cut, no name numbered")
            << part("Content-Type: application/pdf\nContent-Disposition: attachment; filename*=UTF-8''R%C3%A9sum%C3%A9.pdf", "1")
                   + part("Content-Type: application/pdf; name=\"=?UTF-8?Q?..=2F..=2FJ=C3=B6rg.pdf?=\"", "2")
                   + part("Content-Type: image/gif\nContent-Disposition: attachment; filename=\"C:\\\\x\\\\e.gif\"", "3")
                   + part("Content-Type: application/pdf\nContent-Disposition: attachment; filename=\"dir/\"", "4")
                   + part("Content-Type: application/x-what\nContent-Disposition: attachment", "5")
            << QStringLiteral("R\u00e9sum\u00e9.pdf|application/pdf|1;J\u00f6rg.pdf|application/pdf|2;e.gif|image/gif|3;"
                              "attachment-4.pdf|application/pdf|4;attachment-5|application/x-what|5");
        QTest::newRow("cid picture stays inline; nested parts in message order")
            << part("Content-Type: multipart/related; boundary=r", "--r\nContent-Type: text/html\n\n<img src=\"cid:p@x\">\n--r\n"
                    "Content-Type: image/png; name=shown.png\nContent-ID: <p@x>\nContent-Transfer-Encoding: base64\n\n"
                    + png.toBase64() + "\n--r\n"
                    "Content-Type: application/pdf; name=in.pdf\n\n1\n--r--")
                   + part("Content-Type: image/png; name=other.png\nContent-Transfer-Encoding: base64", "aW1hZ2U=")
            << "in.pdf|application/pdf|1;other.png|image/png|image";
        const QByteArray inner = "From: x@example.com\nSubject: =?UTF-8?Q?Gr=C3=BC=C3=9Fe?=\nContent-Type: multipart/mixed; "
                                 "boundary=i\n\n--i\n\ninner\n--i\nContent-Type: application/pdf; name=i.pdf\n\n1\n--i--";
        QTest::newRow("attached message is one file named by subject; inline one is read through")
            << part("Content-Type: message/rfc822\nContent-Disposition: attachment", inner)
                   + part("Content-Type: message/rfc822", inner)
            << QStringLiteral("Gr\u00fc\u00dfe.eml|message/rfc822|eml: inner;i.pdf|application/pdf|1");
    }
    void attachments()
    {
        QFETCH(QByteArray, parts); QFETCH(QString, shown);
        const MessageEntry m = parsed("Content-Type: multipart/mixed; boundary=m\n",
                                      "--m\nContent-Type: text/plain\n\nhello\n" + parts + "--m--\n");
        QStringList got;
        for (const MailAttachment &a : m.Attachments) {
            QVERIFY(a.bytes);
            const QByteArray bytes = a.bytes->read();  // an attached message reads back as the message it was
            QCOMPARE(bytes.size(), a.size);
            const QString content = a.type == "message/rfc822"
                ? "eml: " + parseMailMessage(bytes, {}).PlainTextBody.trimmed() : QString::fromLatin1(bytes);
            got << a.fileName + '|' + QString::fromLatin1(a.type) + '|' + content;
        }
        QCOMPARE(got.join(';'), shown);
        QCOMPARE(m.PlainTextBody, QStringLiteral("hello"));
    }
    // Every spelling a sender gets wrong decodes byte for byte as the library's own stream
    // filter decodes it: escapes, soft breaks and broken escapes packed close, at every distance
    // from each other and from the end; a text longer than one read of the stream.
    void contentDecodesAsTheLibraryFilterDoes_data()
    {
        QTest::addColumn<QByteArray>("encoding"); QTest::addColumn<QByteArray>("body");
        QRandomGenerator random(19);
        const QByteArray pieces[] = {"=", "=\r\n", "=\n", "=3D", "=3d", "=\r", "=Z", "=4", "a", "\r\n", " ", "\t", "=\r="};
        for (int row = 0; row < 40; ++row) {
            QByteArray body;
            for (int i = random.bounded(1, 60); i > 0; --i)
                body += pieces[random.bounded(int(std::size(pieces)))];
            QTest::addRow("qp %d", row) << QByteArray("quoted-printable") << body;
        }
        QTest::newRow("qp, long") << QByteArray("quoted-printable") << QByteArray(70000, 'x') + "=41=\r\n" + QByteArray(5000, 'y');
        QTest::newRow("base64") << QByteArray("base64") << QByteArray("SGVs bG8s\r\nIHdv*cmxk IQ==\r\nQUJD\r\n=");
        QTest::newRow("uuencode") << QByteArray("x-uuencode") << QByteArray("begin 644 a\r\n%:&5L;&\\*\r\n`\r\nend\r\n");
        QTest::newRow("8bit") << QByteArray("8bit") << QByteArray("Gr\xc3\xbc\xc3\x9f" "e =41\r\n");
    }
    void contentDecodesAsTheLibraryFilterDoes()
    {
        QFETCH(QByteArray, encoding); QFETCH(QByteArray, body);
        const QByteArray raw = "Content-Transfer-Encoding: " + encoding + "\r\n\r\n" + body;
        GObjectPtr<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(raw.constData(), size_t(raw.size())));
        GObjectPtr<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
        GObjectPtr<GMimeMessage> message(g_mime_parser_construct_message(parser.get(), mimeParserOptions()));
        QVERIFY(message);
        GMimePart *part = GMIME_PART(g_mime_message_get_mime_part(message.get()));
        GObjectPtr<GMimeStream> sink(g_mime_stream_mem_new());
        QVERIFY(g_mime_data_wrapper_write_to_stream(g_mime_part_get_content(part), sink.get()) >= 0);
        const GByteArray *filtered = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(sink.get()));
        QCOMPARE(decodedContent(part), QByteArray(reinterpret_cast<const char *>(filtered->data), qsizetype(filtered->len)));
    }
    // A folder of small attachments keeps them in memory up to a budget, the rest in files;
    // whatever goes returns its room or its file, so one download's leftovers never push the
    // next one's attachments to disk.
    void attachmentsStayInMemoryWithinTheBudget()
    {
        const qint64 before = SpooledBytes::bytesInMemory();
        const QByteArray piece(SpooledBytes::keptInMemoryUpTo, 'a');
        QList<std::shared_ptr<const SpooledBytes>> kept;
        for (qint64 total = 0; total <= SpooledBytes::memoryBudget; total += piece.size())
            kept << SpooledBytes::store(piece);
        kept << SpooledBytes::store(piece + 'b');
        QStringList files;
        for (const auto &bytes : kept) {
            QVERIFY(bytes);
            QCOMPARE(bytes->read(), bytes == kept.last() ? piece + 'b' : piece);
            if (!bytes->path().isEmpty())
                files << bytes->path();
        }
        QVERIFY(SpooledBytes::bytesInMemory() <= SpooledBytes::memoryBudget);
        QVERIFY(files.size() >= 2);
        QVERIFY(files.size() < kept.size() / 2);
        kept.clear();
        QCOMPARE(SpooledBytes::bytesInMemory(), before);
        for (const QString &file : files)
            QVERIFY2(!QFile::exists(file), qPrintable(file));
    }
};

QTEST_GUILESS_MAIN(TestMailMessageParts)
#include "tst_mailmessage_parts.moc"
