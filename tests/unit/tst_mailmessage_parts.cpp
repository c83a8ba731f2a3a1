// Recipients, Message-ID and attachments of a parsed message.
#include "mime/MailMessage.h"

#include <QtTest>

// Messages are written with "\n" for readability and sent as the CRLF text IMAP delivers.
static QByteArray message(const QByteArray &lfText)
{
    QByteArray out = lfText;
    out.replace("\n", "\r\n");
    return out;
}

static QStringList shown(const QVector<MailAddress> &list)
{
    QStringList out;
    for (const MailAddress &a : list)
        out << a.name + '|' + a.address;
    return out;
}

// "name|type|size" for each attachment.
static QStringList described(const QVector<MailAttachment> &list)
{
    QStringList out;
    for (const MailAttachment &a : list)
        out << a.fileName + '|' + QString::fromLatin1(a.type) + '|' + QString::number(a.size);
    return out;
}

static const QDateTime kInternalDate(QDate(2020, 1, 2), QTime(3, 4, 5), Qt::UTC);
static const QByteArray kPng = QByteArray::fromBase64(
    "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAAAAAA6fptVAAAACklEQVR4nGNgAAAAAgABSK+kcQAAAABJRU5ErkJggg==");

class TestMailMessageParts : public QObject {
    Q_OBJECT

private slots:
    void recipients_data();
    void recipients();
    void attachments_data();
    void attachments();
    void attachmentBytesReadBack();
};

void TestMailMessageParts::recipients_data()
{
    QTest::addColumn<QByteArray>("headers");
    QTest::addColumn<QStringList>("to");
    QTest::addColumn<QStringList>("cc");
    QTest::addColumn<QString>("messageId");

    QTest::newRow("names and bare addresses")
        << QByteArray("To: Ann <ann@example.com>, bob@example.org\nCc: \"Doe, Carl\" <carl@example.net>\n"
                      "Message-ID: <abc.123@example.com>\n")
        << QStringList{"Ann|ann@example.com", "|bob@example.org"} << QStringList{"Doe, Carl|carl@example.net"}
        << "abc.123@example.com";
    QTest::newRow("group flattened, empty group gone")
        << QByteArray("To: Team: a@example.com, Bea <b@example.com>;, undisclosed-recipients:;\n")
        << QStringList{"|a@example.com", "Bea|b@example.com"} << QStringList{} << "";
    QTest::newRow("encoded names, folded list")
        << QByteArray("To: =?UTF-8?Q?J=C3=B6rg?= <j@example.de>,\n =?utf-8?B?5bGx55Sw?= <y@example.jp>\n"
                      "Message-ID:\n  <folded@example.com>  \n")
        << QStringList{QStringLiteral("J\u00f6rg|j@example.de"), QStringLiteral("\u5c71\u7530|y@example.jp")}
        << QStringList{} << "folded@example.com";
    QTest::newRow("no To, no Cc, no Message-ID") << QByteArray() << QStringList{} << QStringList{} << "";
    QTest::newRow("Message-ID without brackets") << QByteArray("Message-ID:  plain@example.com \n")
                                                 << QStringList{} << QStringList{} << "plain@example.com";
}

void TestMailMessageParts::recipients()
{
    QFETCH(QByteArray, headers);
    QFETCH(QStringList, to);
    QFETCH(QStringList, cc);
    QFETCH(QString, messageId);
    const MessageEntry m =
        parseMailMessage(message("From: f@example.com\n" + headers + "Subject: s\n\nbody\n"), kInternalDate);
    QCOMPARE(shown(m.To), to);
    QCOMPARE(shown(m.Cc), cc);
    QCOMPARE(m.MessageId, messageId);
    QCOMPARE(m.From, QStringLiteral("f@example.com"));
}

void TestMailMessageParts::attachments_data()
{
    QTest::addColumn<QByteArray>("body");  // after "Content-Type: multipart/mixed; boundary=m"
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QString>("plain");

    const QByteArray text = "--m\nContent-Type: text/plain\n\nhello\n";
    const QByteArray png = kPng.toBase64();
    QTest::newRow("none") << text + "--m--\n" << QStringList{} << "hello";
    QTest::newRow("by disposition, type lower case")
        << text + "--m\nContent-Type: Application/PDF\nContent-Disposition: attachment; filename=\"r.pdf\"\n\n%PDF-1.4\n--m--\n"
        << QStringList{"r.pdf|application/pdf|8"} << "hello";
    QTest::newRow("file name without disposition")
        << text + "--m\nContent-Type: application/zip; name=\"z.zip\"\nContent-Transfer-Encoding: base64\n\nUEsDBA==\n--m--\n"
        << QStringList{"z.zip|application/zip|4"} << "hello";
    QTest::newRow("inline text with a name is no attachment")
        << text + "--m\nContent-Type: text/plain\nContent-Disposition: inline; filename=\"note.txt\"\n\nmore\n--m--\n"
        << QStringList{} << "hello";
    QTest::newRow("text marked attachment is one, never the body")
        << "--m\nContent-Type: text/plain\nContent-Disposition: attachment; filename=\"a.txt\"\n\nfile\n" + text + "--m--\n"
        << QStringList{"a.txt|text/plain|4"} << "hello";
    QTest::newRow("RFC 2231 and RFC 2047 names")
        << text + "--m\nContent-Type: application/pdf\nContent-Disposition: attachment;\n"
                  " filename*=UTF-8''R%C3%A9sum%C3%A9.pdf\n\nx\n"
                  "--m\nContent-Type: application/pdf; name=\"=?UTF-8?Q?J=C3=B6rg.pdf?=\"\n\ny\n--m--\n"
        << QStringList{QStringLiteral("R\u00e9sum\u00e9.pdf|application/pdf|1"),
                       QStringLiteral("J\u00f6rg.pdf|application/pdf|1")} << "hello";
    QTest::newRow("path stripped")
        << text + "--m\nContent-Type: application/octet-stream\nContent-Disposition: attachment; "
                  "filename=\"../../etc/passwd\"\n\nx\n--m\nContent-Type: application/octet-stream\n"
                  "Content-Disposition: attachment; filename=\"C:\\\\Users\\\\x\\\\evil.exe\"\n\ny\n--m--\n"
        << QStringList{"passwd|application/octet-stream|1", "evil.exe|application/octet-stream|1"} << "hello";
    QTest::newRow("no name: numbered, extension from type")
        << text + "--m\nContent-Type: application/pdf\nContent-Disposition: attachment\n\nx\n"
                  "--m\nContent-Type: application/x-unknown\nContent-Disposition: attachment; filename=\"/\"\n\ny\n--m--\n"
        << QStringList{"attachment-1.pdf|application/pdf|1", "attachment-2|application/x-unknown|1"} << "hello";
    QTest::newRow("cid picture stays inline, unreferenced named picture is attached")
        << "--m\nContent-Type: multipart/related; boundary=r\n\n--r\nContent-Type: text/html\n\n"
           "<img src=\"cid:p@x\">\n--r\nContent-Type: image/png; name=\"shown.png\"\nContent-ID: <p@x>\n"
           "Content-Transfer-Encoding: base64\n\n" + png + "\n--r--\n"
           "--m\nContent-Type: image/png; name=\"other.png\"\nContent-Transfer-Encoding: base64\n\n" + png + "\n--m--\n"
        << QStringList{"other.png|image/png|" + QString::number(kPng.size())} << "";
    QTest::newRow("nested multipart, message order")
        << QByteArray("--m\nContent-Type: multipart/alternative; boundary=a\n\n--a\nContent-Type: text/plain\n\nhello\n"
           "--a\nContent-Type: text/html\n\n<p>hello</p>\n--a--\n"
           "--m\nContent-Type: multipart/mixed; boundary=n\n\n--n\nContent-Type: application/pdf; name=one.pdf\n\n1\n"
           "--n\nContent-Type: application/pdf; name=two.pdf\n\n22\n--n--\n"
           "--m\nContent-Type: application/pdf; name=three.pdf\n\n333\n--m--\n")
        << QStringList{"one.pdf|application/pdf|1", "two.pdf|application/pdf|2", "three.pdf|application/pdf|3"}
        << "hello";
    QTest::newRow("attached message named by its subject, its files inside it")
        << text + "--m\nContent-Type: message/rfc822\nContent-Disposition: attachment\n\n"
                  "From: x@example.com\nSubject: =?UTF-8?Q?Gr=C3=BC=C3=9Fe?=\nContent-Type: multipart/mixed; boundary=i\n\n"
                  "--i\nContent-Type: text/plain\n\ninner\n--i\nContent-Type: application/pdf; name=in.pdf\n\n1\n--i--\n--m--\n"
        << QStringList{QStringLiteral("Gr\u00fc\u00dfe.eml|message/rfc822|")} << "hello";
    QTest::newRow("attached message with a file name")
        << text + "--m\nContent-Type: message/rfc822; name=\"fwd.eml\"\n\nFrom: x@example.com\nSubject: s\n\ninner\n--m--\n"
        << QStringList{"fwd.eml|message/rfc822|"} << "hello";
    QTest::newRow("inline forward is read, not attached")
        << text + "--m\nContent-Type: message/rfc822\n\nFrom: x@example.com\nSubject: s\nContent-Type: multipart/mixed; boundary=i\n\n"
                  "--i\nContent-Type: text/plain\n\ninner\n--i\nContent-Type: application/pdf; name=in.pdf\n\n1\n--i--\n--m--\n"
        << QStringList{"in.pdf|application/pdf|1"} << "hello";
}

void TestMailMessageParts::attachments()
{
    QFETCH(QByteArray, body);
    QFETCH(QStringList, expected);
    QFETCH(QString, plain);
    const MessageEntry m = parseMailMessage(
        message("From: f@example.com\nSubject: s\nContent-Type: multipart/mixed; boundary=m\n\n" + body), kInternalDate);
    QStringList got = described(m.Attachments);
    // An attached message's size depends on how it is written out; it need only be there.
    for (int i = 0; i < got.size() && i < expected.size(); ++i)
        if (expected[i].endsWith(QLatin1String("message/rfc822|")) && got[i].startsWith(expected[i])
            && m.Attachments[i].size > 0)
            got[i] = expected[i];
    QCOMPARE(got, expected);
    QCOMPARE(m.PlainTextBody.trimmed(), plain);
    for (const MailAttachment &a : m.Attachments) {
        QVERIFY(a.bytes);
        QCOMPARE(a.bytes->size(), a.size);
    }
}

void TestMailMessageParts::attachmentBytesReadBack()
{
    QByteArray original(300000, Qt::Uninitialized);
    for (int i = 0; i < original.size(); ++i)
        original[i] = char((i * 7919) >> 3);
    QByteArray encoded = original.toBase64();
    for (qsizetype at = 76; at < encoded.size(); at += 78)
        encoded.insert(at, "\r\n");
    const QByteArray raw = message("From: f@example.com\nSubject: s\nContent-Type: multipart/mixed; boundary=m\n\n"
                                   "--m\nContent-Type: text/plain\n\nhi\n--m\nContent-Type: application/octet-stream\n"
                                   "Content-Disposition: attachment; filename=data.bin\n"
                                   "Content-Transfer-Encoding: base64\n\n")
                           + encoded + message("\n--m--\n");
    QString path;
    {
        const MessageEntry m = parseMailMessage(raw, kInternalDate);
        QCOMPARE(m.Attachments.size(), 1);
        QCOMPARE(m.Attachments[0].size, qint64(original.size()));
        QVERIFY(m.Attachments[0].bytes);
        bool ok = false;
        QCOMPARE(m.Attachments[0].bytes->read(&ok), original);
        QVERIFY(ok);
        path = m.Attachments[0].bytes->path();
        QVERIFY(QFile::exists(path));
    }
    // The bytes go with the last record that holds them.
    QVERIFY(!QFile::exists(path));
}

QTEST_GUILESS_MAIN(TestMailMessageParts)
#include "tst_mailmessage_parts.moc"
