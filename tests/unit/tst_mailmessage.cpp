#include "mime/MailMessage.h"

#include <QRandomGenerator>
#include <QtTest>
#include <ctime>

// Messages are written with "\n" for readability and sent as the CRLF text IMAP delivers.
static QByteArray message(const QByteArray &lfText)
{
    QByteArray out = lfText;
    out.replace("\n", "\r\n");
    return out;
}

static bool isValidText(const MessageEntry &m)
{
    for (const QString *s : {&m.From, &m.FromName, &m.FromAddress, &m.Subject, &m.PlainTextBody, &m.HTMLTextBody})
        if (!s->isValidUtf16())
            return false;
    return true;
}

static const QDateTime kInternalDate(QDate(2020, 1, 2), QTime(3, 4, 5), Qt::UTC);

class TestMailMessage : public QObject {
    Q_OBJECT

private slots:
    void fromHeader_data();
    void fromHeader();
    void subject_data();
    void subject();
    void dateHeader_data();
    void dateHeader();
    void bodies_data();
    void bodies();
    void charsets_data();
    void charsets();
    void inlinePictures_data();
    void inlinePictures();
    void cidReferenceSpellings_data();
    void cidReferenceSpellings();
    void lineEndsOfTextBodies_data();
    void lineEndsOfTextBodies();
    void garbageGivesEmptyFields_data();
    void garbageGivesEmptyFields();
    void randomAndTruncatedInputsReturn();
};

void TestMailMessage::fromHeader_data()
{
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("address");

    QTest::newRow("name and address") << QByteArray("John Doe <john@example.com>")
                                      << "John Doe <john@example.com>" << "John Doe" << "john@example.com";
    QTest::newRow("quoted name with comma") << QByteArray("\"Doe, John\" <john@example.com>")
                                            << "Doe, John <john@example.com>" << "Doe, John" << "john@example.com";
    QTest::newRow("Q-encoded name") << QByteArray("=?UTF-8?Q?J=C3=B6rg_M=C3=BCller?= <jm@example.de>")
                                    << QStringLiteral("J\u00f6rg M\u00fcller <jm@example.de>")
                                    << QStringLiteral("J\u00f6rg M\u00fcller") << "jm@example.de";
    QTest::newRow("Q-encoded Latin-1 word and plain word")
        << QByteArray("=?ISO-8859-1?Q?Andr=E9?= Pirard <PIRARD@vm1.ulg.ac.be>")
        << QStringLiteral("Andr\u00e9 Pirard <PIRARD@vm1.ulg.ac.be>") << QStringLiteral("Andr\u00e9 Pirard")
        << "PIRARD@vm1.ulg.ac.be";
    QTest::newRow("encoded word inside quotes") << QByteArray("\"=?shift_jis?B?jlKTY5G+mFk=?=\" <yamada@example.jp>")
                                                << QStringLiteral("\u5c71\u7530\u592a\u90ce <yamada@example.jp>")
                                                << QStringLiteral("\u5c71\u7530\u592a\u90ce") << "yamada@example.jp";
    QTest::newRow("name split inside a character across encoded words")
        << QByteArray("=?utf-8?B?5bGx5w==?= =?utf-8?B?lLA=?= <y@example.jp>")
        << QStringLiteral("\u5c71\u7530 <y@example.jp>") << QStringLiteral("\u5c71\u7530") << "y@example.jp";
    QTest::newRow("bare address") << QByteArray("jane@example.com") << "jane@example.com" << "" << "jane@example.com";
    QTest::newRow("angle address only") << QByteArray("<jane@example.com>") << "jane@example.com" << ""
                                        << "jane@example.com";
    QTest::newRow("comment as name") << QByteArray("john@example.com (John Doe)")
                                     << "John Doe <john@example.com>" << "John Doe" << "john@example.com";
    QTest::newRow("two mailboxes") << QByteArray("a@example.com, Bob <bob@example.org>")
                                   << "a@example.com, Bob <bob@example.org>" << "" << "a@example.com";
    QTest::newRow("group") << QByteArray("Team: Ann <ann@example.com>, bo@example.com;")
                           << "Ann <ann@example.com>, bo@example.com" << "Ann" << "ann@example.com";
    QTest::newRow("folded") << QByteArray("\"John\n Doe\" \n <john@example.com>")
                            << "John Doe <john@example.com>" << "John Doe" << "john@example.com";
    QTest::newRow("malformed") << QByteArray("not an address <<>") << "not an address <<>" << "" << "";
    QTest::newRow("malformed with encoded word, folded") << QByteArray("=?utf-8?Q?Caf=C3=A9?=\n <<>")
                                                          << QStringLiteral("Caf\u00e9 <<>") << "" << "";
    QTest::newRow("empty group") << QByteArray("undisclosed-recipients:;") << "undisclosed-recipients:;" << ""
                                 << "";
}

void TestMailMessage::fromHeader()
{
    QFETCH(QByteArray, header);
    QFETCH(QString, from);
    QFETCH(QString, name);
    QFETCH(QString, address);
    const MessageEntry m = parseMailMessage(message("From: " + header + "\nSubject: s\n\nbody\n"), kInternalDate);
    QCOMPARE(m.From, from);
    QCOMPARE(m.FromName, name);
    QCOMPARE(m.FromAddress, address);
}

void TestMailMessage::subject_data()
{
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<QString>("subject");

    QTest::newRow("plain") << QByteArray("Hello there") << "Hello there";
    QTest::newRow("B utf-8") << QByteArray("=?UTF-8?B?R3LDvMOfZSBhdXMgS8O2bG4=?=")
                             << QStringLiteral("Gr\u00fc\u00dfe aus K\u00f6ln");
    QTest::newRow("Q with underscores") << QByteArray("=?iso-8859-1?q?caf=E9_cr=E8me?=")
                                        << QStringLiteral("caf\u00e9 cr\u00e8me");
    QTest::newRow("ISO-2022-JP") << QByteArray("=?ISO-2022-JP?B?GyRCRnxLXDhsJE43b0w+GyhC?=")
                                 << QStringLiteral("\u65e5\u672c\u8a9e\u306e\u4ef6\u540d");
    QTest::newRow("mixed charsets and plain text")
        << QByteArray("Re: =?koi8-r?B?79Teo9Q=?= and =?utf-8?Q?K=C3=B6ln?= done")
        << QStringLiteral("Re: \u041e\u0442\u0447\u0451\u0442 and K\u00f6ln done");
    QTest::newRow("adjacent encoded words join") << QByteArray("=?utf-8?Q?ab?= =?utf-8?Q?cd?=") << "abcd";
    QTest::newRow("long folded plain") << QByteArray("A long subject that was\n folded by the sender\n\tacross lines")
                                       << "A long subject that was folded by the sender\tacross lines";
    QTest::newRow("long folded encoded, split inside a character")
        << QByteArray("=?UTF-8?B?5pel5pw=?=\n =?UTF-8?B?rOiqnuOBruQ=?=\n =?UTF-8?B?u7blkI0=?=")
        << QStringLiteral("\u65e5\u672c\u8a9e\u306e\u4ef6\u540d");
    QTest::newRow("raw utf-8") << QByteArray("Gr\xc3\xbc\xc3\x9f" "e") << QStringLiteral("Gr\u00fc\u00dfe");
    QTest::newRow("raw latin-1") << QByteArray("caf\xe9") << QStringLiteral("caf\u00e9");
}

void TestMailMessage::subject()
{
    QFETCH(QByteArray, header);
    QFETCH(QString, subject);
    const MessageEntry m = parseMailMessage(message("From: a@example.com\nSubject: " + header + "\n\nbody\n"),
                                           kInternalDate);
    QCOMPARE(m.Subject, subject);
}

void TestMailMessage::dateHeader_data()
{
    QTest::addColumn<QByteArray>("headers");
    QTest::addColumn<QDateTime>("utc");

    QTest::newRow("summer, west of UTC") << QByteArray("Date: Wed, 01 Sep 2021 09:00:00 -0400\n")
                                         << QDateTime(QDate(2021, 9, 1), QTime(13, 0), Qt::UTC);
    QTest::newRow("winter, GMT, no weekday") << QByteArray("Date: 15 Jan 2021 12:00:00 GMT\n")
                                             << QDateTime(QDate(2021, 1, 15), QTime(12, 0), Qt::UTC);
    QTest::newRow("folded") << QByteArray("Date: Wed, 01 Sep 2021\n 15:30:00 +0200\n")
                            << QDateTime(QDate(2021, 9, 1), QTime(13, 30), Qt::UTC);
    QTest::newRow("missing") << QByteArray() << kInternalDate;
    QTest::newRow("unreadable") << QByteArray("Date: next Tuesday\n") << kInternalDate;
    QTest::newRow("impossible day") << QByteArray("Date: Wed, 32 Sep 2021 15:00:00 +0200\n") << kInternalDate;
    QTest::newRow("empty") << QByteArray("Date: \n") << kInternalDate;
}

void TestMailMessage::dateHeader()
{
    QFETCH(QByteArray, headers);
    QFETCH(QDateTime, utc);
    const MessageEntry m = parseMailMessage(message("From: a@example.com\n" + headers + "Subject: s\n\nbody\n"),
                                           kInternalDate);
    QCOMPARE(m.ReceivedDateTime.timeSpec(), Qt::LocalTime);
    QCOMPARE(m.ReceivedDateTime.toUTC(), utc);
    // The test runs in Berlin time: the same instant on the local clock.
    QCOMPARE(m.ReceivedDateTime.time(), utc.time().addSecs(utc.date().month() >= 4 && utc.date().month() <= 10 ? 7200 : 3600));
}

void TestMailMessage::bodies_data()
{
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<QString>("plain");
    QTest::addColumn<QString>("html");

    QTest::newRow("no content type") << message("From: a@example.com\n\nHello\nWorld\n") << "Hello\nWorld\n" << "";
    QTest::newRow("html only") << message("From: a@example.com\nContent-Type: text/html; charset=utf-8\n\n"
                                          "<b>Hi</b>\n")
                               << "" << "<b>Hi</b>\n";
    QTest::newRow("alternative") << message(R"(From: a@example.com
MIME-Version: 1.0
Content-Type: multipart/alternative; boundary="alt"

--alt
Content-Type: text/plain; charset=utf-8
Content-Transfer-Encoding: quoted-printable

Caf=C3=A9 with a soft=
 break
--alt
Content-Type: text/html; charset=utf-8
Content-Transfer-Encoding: base64

PHA+Q2Fmw6kg4oCUIG1lbsO6PC9wPg==
--alt--
)") << QStringLiteral("Caf\u00e9 with a soft break")
                                 << QStringLiteral("<p>Caf\u00e9 \u2014 men\u00fa</p>");
    QTest::newRow("mixed > alternative, attachment after") << message(R"(From: a@example.com
Content-Type: multipart/mixed; boundary=outer

preamble text is not a body
--outer
Content-Type: multipart/alternative; boundary=inner

--inner
Content-Type: text/plain

plain body
--inner
Content-Type: text/html

<p>html body</p>
--inner--

--outer
Content-Type: text/plain; name="notes.txt"
Content-Disposition: attachment; filename="notes.txt"

attached text
--outer
Content-Type: text/html
Content-Disposition: attachment; filename="page.html"

<p>attached page</p>
--outer--
epilogue
)") << "plain body" << "<p>html body</p>";
    QTest::newRow("attachment before the body") << message(R"(From: a@example.com
Content-Type: multipart/mixed; boundary=b

--b
Content-Type: text/plain
Content-Disposition: ATTACHMENT; filename=first.txt

attached first
--b
Content-Type: text/plain

real body
--b--
)") << "real body" << "";
    QTest::newRow("file name without disposition is a body") << message(R"(From: a@example.com
Content-Type: multipart/mixed; boundary=b

--b
Content-Type: text/plain; name="readme.txt"

named but not attached
--b
Content-Type: text/plain

second
--b--
)") << "named but not attached" << "";
    QTest::newRow("inline with file name is a body") << message(R"(From: a@example.com
Content-Type: multipart/mixed; boundary=b

--b
Content-Type: image/png
Content-Disposition: inline; filename=logo.png
Content-Transfer-Encoding: base64

iVBORw0KGgo=
--b
Content-Type: text/html
Content-Disposition: inline; filename=body.html

<i>inline</i>
--b--
)") << "" << "<i>inline</i>";
    QTest::newRow("mixed > related > alternative") << message(R"(From: a@example.com
Content-Type: multipart/mixed; boundary=m

--m
Content-Type: multipart/related; boundary=r; type="multipart/alternative"

--r
Content-Type: multipart/alternative; boundary=a

--a
Content-Type: text/plain; charset=us-ascii

deep plain
--a
Content-Type: text/html; charset=us-ascii

<img src="cid:logo">
--a--
--r
Content-Type: image/gif
Content-ID: <logo>
Content-Transfer-Encoding: base64

R0lGODlhAQABAAAAACw=
--r--
--m
Content-Type: application/pdf
Content-Disposition: attachment; filename=x.pdf

%PDF
--m--
)") << "deep plain" << "<img src=\"cid:logo\">";
    QTest::newRow("attached message is not the body") << message(R"(From: a@example.com
Content-Type: multipart/mixed; boundary=b

--b
Content-Type: text/html

<p>outer</p>
--b
Content-Type: message/rfc822
Content-Disposition: attachment

From: inner@example.com
Subject: inner

inner plain
--b--
)") << "" << "<p>outer</p>";
    QTest::newRow("inline forwarded message is read") << message(R"(From: a@example.com
Content-Type: multipart/mixed; boundary=b

--b
Content-Type: message/rfc822

From: inner@example.com
Subject: inner

inner plain
--b--
)") << "inner plain" << "";
    QTest::newRow("missing end boundary") << message(R"(From: a@example.com
Content-Type: multipart/alternative; boundary=b

--b
Content-Type: text/plain

cut off here
)") << "cut off here\n" << "";
}

void TestMailMessage::bodies()
{
    QFETCH(QByteArray, raw);
    QFETCH(QString, plain);
    QFETCH(QString, html);
    const MessageEntry m = parseMailMessage(raw, kInternalDate);
    QCOMPARE(m.PlainTextBody, plain);
    QCOMPARE(m.HTMLTextBody, html);
}

void TestMailMessage::charsets_data()
{
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QByteArray>("encoding");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("text");

    QTest::newRow("Shift_JIS base64") << QByteArray("text/plain; charset=Shift_JIS") << QByteArray("base64")
                                      << QByteArray("k/qWe4zqgsyDZYNMg1iDZ4LFgreBQg0K")
                                      << QStringLiteral("\u65e5\u672c\u8a9e\u306e\u30c6\u30ad\u30b9\u30c8"
                                                        "\u3067\u3059\u3002\n");
    QTest::newRow("KOI8-R quoted-printable") << QByteArray("text/plain; charset=\"koi8-r\"")
                                             << QByteArray("quoted-printable")
                                             << QByteArray("=F0=D2=C9=D7=C5=D4, =CD=C9=D2!")
                                             << QStringLiteral("\u041f\u0440\u0438\u0432\u0435\u0442, "
                                                               "\u043c\u0438\u0440!");
    QTest::newRow("ISO-8859-1 8bit") << QByteArray("text/plain; charset=ISO-8859-1") << QByteArray("8bit")
                                     << QByteArray("na\xefve \xe9t\xe9") << QStringLiteral("na\u00efve \u00e9t\u00e9");
    QTest::newRow("windows-1252 euro and quotes") << QByteArray("text/plain; charset=windows-1252")
                                                  << QByteArray("8bit") << QByteArray("\x80 5 \x93ok\x94")
                                                  << QStringLiteral("\u20ac 5 \u201cok\u201d");
    QTest::newRow("utf-8 8bit") << QByteArray("text/plain; charset=utf-8") << QByteArray("8bit")
                                << QByteArray("\xe2\x9c\x93 done") << QStringLiteral("\u2713 done");
    QTest::newRow("no charset, valid utf-8") << QByteArray("text/plain") << QByteArray("8bit")
                                             << QByteArray("\xc3\xa9") << QStringLiteral("\u00e9");
    QTest::newRow("no charset, stray byte falls back to Latin-1")
        << QByteArray("text/plain") << QByteArray("8bit") << QByteArray("caf\xe9 \xc3\xa9")
        << QStringLiteral("caf\u00e9 \u00e9");
    QTest::newRow("unknown charset keeps the text") << QByteArray("text/plain; charset=x-made-up")
                                                    << QByteArray("8bit") << QByteArray("\xc3\xa9t\xe9")
                                                    << QStringLiteral("\u00e9t\u00e9");
    QTest::newRow("hostile charset name") << QByteArray("text/plain; charset=\"../../x\"") << QByteArray("7bit")
                                          << QByteArray("plain") << QStringLiteral("plain");
    QTest::newRow("invalid byte in Shift_JIS is marked, rest kept")
        << QByteArray("text/plain; charset=shift_jis") << QByteArray("8bit") << QByteArray("a\xff" "b\x93\xfa")
        << QStringLiteral("a\ufffdb\u65e5");
    QTest::newRow("html utf-16 base64") << QByteArray("text/html; charset=utf-16") << QByteArray("base64")
                                        << QByteArray("/v8APABpAD4ASABpADwALwBpAD4=")
                                        << QStringLiteral("<i>Hi</i>");
    QTest::newRow("no charset, windows-1252 quotes and euro")
        << QByteArray("text/plain") << QByteArray("8bit") << QByteArray("\x93ok\x94 \x80")
        << QStringLiteral("\u201cok\u201d \u20ac");
    // An HTML part without a charset parameter is read in the charset its markup declares.
    QTest::newRow("html meta koi8-r") << QByteArray("text/html") << QByteArray("8bit")
                                      << QByteArray("<meta charset=koi8-r><p>\xf0\xd2\xc9\xd7\xc5\xd4</p>")
                                      << QStringLiteral("<meta charset=koi8-r><p>\u041f\u0440\u0438\u0432\u0435\u0442</p>");
    QTest::newRow("html http-equiv windows-1252")
        << QByteArray("text/html") << QByteArray("8bit")
        << QByteArray("<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1252\">\x93ok\x94 \x80")
        << QStringLiteral("<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1252\">"
                          "\u201cok\u201d \u20ac");
    QTest::newRow("html meta shift_jis") << QByteArray("text/html") << QByteArray("8bit")
                                         << QByteArray("<meta charset='Shift_JIS'>\x93\xfa\x96\x7b")
                                         << QStringLiteral("<meta charset='Shift_JIS'>\u65e5\u672c");
    QTest::newRow("html meta utf-8") << QByteArray("text/html") << QByteArray("8bit")
                                     << QByteArray("<meta charset=\"utf-8\">\xe2\x9c\x93")
                                     << QStringLiteral("<meta charset=\"utf-8\">\u2713");
    QTest::newRow("html bogus charset name, sniffed") << QByteArray("text/html") << QByteArray("8bit")
                                                      << QByteArray("<meta charset=x-bogus>caf\xc3\xa9 \x93q\x94")
                                                      << QStringLiteral("<meta charset=x-bogus>caf\u00e9 \u201cq\u201d");
    const QByteArray longHead = "<head><style>" + QByteArray(5000, 'a') + "</style>";
    QTest::newRow("html declaration late in the file")
        << QByteArray("text/html") << QByteArray("8bit")
        << longHead + "<meta content=\"text/html; charset=koi8-r\" http-equiv=content-type></head>\xf0\xd2"
        << QString::fromLatin1(longHead) + QStringLiteral("<meta content=\"text/html; charset=koi8-r\" "
                                                          "http-equiv=content-type></head>\u041f\u0440");
    QTest::newRow("html utf-16 declaration read as utf-8") << QByteArray("text/html") << QByteArray("8bit")
                                                           << QByteArray("<meta charset=utf-16>\xc3\xa9")
                                                           << QStringLiteral("<meta charset=utf-16>\u00e9");
    QTest::newRow("the part's charset wins over the markup")
        << QByteArray("text/html; charset=utf-8") << QByteArray("8bit") << QByteArray("<meta charset=koi8-r>\xc3\xa9")
        << QStringLiteral("<meta charset=koi8-r>\u00e9");
}

void TestMailMessage::charsets()
{
    QFETCH(QByteArray, contentType);
    QFETCH(QByteArray, encoding);
    QFETCH(QByteArray, body);
    QFETCH(QString, text);
    const QByteArray raw = message("From: a@example.com\nMIME-Version: 1.0\nContent-Type: " + contentType
                                   + "\nContent-Transfer-Encoding: " + encoding + "\n\n")
                           + body;
    const MessageEntry m = parseMailMessage(raw, kInternalDate);
    QCOMPARE(contentType.startsWith("text/html") ? m.HTMLTextBody : m.PlainTextBody, text);
}

void TestMailMessage::inlinePictures_data()
{
    QTest::addColumn<QByteArray>("declaredType");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("references");
    QTest::addColumn<QByteArray>("type");  // what is kept; empty: nothing

    const QByteArray png = QByteArray::fromBase64("iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAAAAAA6fptVAAAACklEQVR4nGNgAAAAAgABSK+kcQAAAABJRU5ErkJggg==");
    const QByteArray jpeg = "\xff\xd8\xff\xe0" + QByteArray(60, '\x10');
    const QByteArray webp = QByteArray("RIFF\x30\0\0\0WEBPVP8L", 16) + QByteArray(30, '\x2f');
    QByteArray bmp = "BM" + QByteArray(12, '\0') + QByteArray("\x28\0\0\0", 4) + QByteArray(40, '\x01');
    QTest::newRow("PNG sent as octet-stream") << QByteArray("application/octet-stream") << png << 1
                                              << QByteArray("image/png");
    QTest::newRow("JPEG labelled PNG") << QByteArray("image/png") << jpeg << 1 << QByteArray("image/jpeg");
    QTest::newRow("GIF without a type") << QByteArray() << QByteArray("GIF89a\x01\0\x01\0\0\0\0;", 14) << 1
                                        << QByteArray("image/gif");
    QTest::newRow("WebP") << QByteArray("application/octet-stream") << webp << 1 << QByteArray("image/webp");
    QTest::newRow("BMP") << QByteArray("image/bmp") << bmp << 1 << QByteArray("image/bmp");
    QTest::newRow("script labelled PNG is no picture")
        << QByteArray("image/png") << QByteArray("<svg onload=alert(1)>") << 1 << QByteArray();
    QTest::newRow("\"BM\" text is no picture") << QByteArray("image/bmp") << QByteArray("BM and more text here")
                                                << 1 << QByteArray();
    QTest::newRow("referenced 20000 times, kept once") << QByteArray("image/png") << png << 20000
                                                       << QByteArray("image/png");
}

void TestMailMessage::inlinePictures()
{
    QFETCH(QByteArray, declaredType);
    QFETCH(QByteArray, bytes);
    QFETCH(int, references);
    QFETCH(QByteArray, type);
    QByteArray html = "<p>pictures</p>";
    for (int i = 0; i < references; ++i)
        html += "<img src=\"cid:pic%40example\">";
    const QByteArray raw = message("From: a@example.com\nContent-Type: multipart/related; boundary=r\n\n--r\n"
                                   "Content-Type: text/html; charset=us-ascii\n\n")
                           + html + message("\n--r\n" + (declaredType.isEmpty() ? QByteArray() : "Content-Type: " + declaredType + "\n")
                                            + "Content-ID: <pic@example>\nContent-Transfer-Encoding: base64\n\n")
                           + bytes.toBase64() + message("\n--r--\n");
    const MessageEntry m = parseMailMessage(raw, kInternalDate);
    // The body stays as written, so its size follows the message's, however often it names a picture.
    QCOMPARE(m.HTMLTextBody, QString::fromLatin1(html));
    QCOMPARE(m.InlinePictures.size(), type.isEmpty() ? 0 : 1);
    if (!type.isEmpty()) {
        QCOMPARE(m.InlinePictures[0].contentId, QStringLiteral("pic@example"));
        QCOMPARE(m.InlinePictures[0].type, type);
        QCOMPARE(m.InlinePictures[0].bytes, bytes);
    }
}

void TestMailMessage::cidReferenceSpellings_data()
{
    QTest::addColumn<QByteArray>("html");
    QTest::addColumn<int>("pictures");
    QTest::newRow("upper case") << QByteArray("<img src=\"CID:p%40x\">") << 1;
    QTest::newRow("at the very start") << QByteArray("cid:p%40x") << 1;
    QTest::newRow("after other colons") << QByteArray("<p style=\"color:red\">a:b <img src=\"Cid:p%40x\">") << 1;
    QTest::newRow("letters around a colon, no reference") << QByteArray("<p>cia: dcid cid; id:</p>") << 0;
    QTest::newRow("dotted capital I is no i") << QByteArray("<img src=\"C\xc4\xb0" "D:p%40x\">") << 0;
}

void TestMailMessage::cidReferenceSpellings()
{
    QFETCH(QByteArray, html);
    QFETCH(int, pictures);
    const QByteArray png = QByteArray::fromBase64("iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mNk+M9QDwADhgGAWjR9awAAAABJRU5ErkJggg==");
    const QByteArray raw = message("From: a@example.com\nContent-Type: multipart/related; boundary=r\n\n--r\n"
                                   "Content-Type: text/html; charset=utf-8\n\n")
                           + html + message("\n--r\nContent-Type: image/png\nContent-ID: <p@x>\n"
                                            "Content-Transfer-Encoding: base64\n\n")
                           + png.toBase64() + message("\n--r--\n");
    QCOMPARE(parseMailMessage(raw, kInternalDate).InlinePictures.size(), pictures);
}

void TestMailMessage::lineEndsOfTextBodies_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("text");
    QTest::newRow("CR LF") << QByteArray("one\r\ntwo\r\n") << "one\ntwo\n";
    QTest::newRow("CR before CR LF") << QByteArray("a\r\r\nb") << "a\r\nb";
    QTest::newRow("lone CR and LF") << QByteArray("a\rb\nc\r") << "a\rb\nc\r";
    QTest::newRow("CR LF first and last") << QByteArray("\r\nx\r\n\r\n") << "\nx\n\n";
}

void TestMailMessage::lineEndsOfTextBodies()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, text);
    for (const QByteArray type : {QByteArray("plain"), QByteArray("html")}) {
        const QByteArray raw = "From: a@example.com\r\nContent-Type: text/" + type
                               + "; charset=utf-8\r\nContent-Transfer-Encoding: base64\r\n\r\n"
                               + body.toBase64() + "\r\n";
        const MessageEntry m = parseMailMessage(raw, kInternalDate);
        QCOMPARE(type == "plain" ? m.PlainTextBody : m.HTMLTextBody, text);
    }
}

void TestMailMessage::garbageGivesEmptyFields_data()
{
    QTest::addColumn<QByteArray>("raw");
    QTest::newRow("empty") << QByteArray();
    static const char noise[] = "\x00\x01\xff\xfe\x80garbage\x00\x7f";
    QTest::newRow("binary noise") << QByteArray(noise, sizeof noise - 1);
    QTest::newRow("no header colon") << QByteArray("this is not a message at all");
}

void TestMailMessage::garbageGivesEmptyFields()
{
    QFETCH(QByteArray, raw);
    const MessageEntry m = parseMailMessage(raw, kInternalDate);
    QVERIFY(m.From.isEmpty() && m.FromName.isEmpty() && m.FromAddress.isEmpty());
    QVERIFY(m.Subject.isEmpty() && m.PlainTextBody.isEmpty() && m.HTMLTextBody.isEmpty());
    QCOMPARE(m.ReceivedDateTime, kInternalDate);
    QCOMPARE(m.ReceivedDateTime.timeSpec(), Qt::LocalTime);
}

void TestMailMessage::randomAndTruncatedInputsReturn()
{
    const QByteArray sample = message(R"(From: =?utf-8?Q?J=C3=B6rg?= <j@example.com>
Subject: =?shift_jis?B?jlKTY5G+mFk=?=
Date: Wed, 01 Sep 2021 09:00:00 -0400
Content-Type: multipart/mixed; boundary="o"

--o
Content-Type: multipart/alternative; boundary="a"

--a
Content-Type: text/plain; charset=koi8-r
Content-Transfer-Encoding: quoted-printable

=F0=D2=C9=D7=C5=D4
--a
Content-Type: text/html; charset=shift_jis
Content-Transfer-Encoding: base64

k/qWe4zqgsyDZYNMg1iDZ4LFgreBQg0K
--a--
--o
Content-Type: message/rfc822

From: x@example.com

inner
--o--
)");
    // Sanity check that the sample itself is read, so the cuts below start from a real message.
    QCOMPARE(parseMailMessage(sample, kInternalDate).PlainTextBody,
             QStringLiteral("\u041f\u0440\u0438\u0432\u0435\u0442"));

    QRandomGenerator random(0x51ab1e);
    int parsed = 0;
    const auto check = [&](const QByteArray &raw) {
        const MessageEntry m = parseMailMessage(raw, kInternalDate);
        QVERIFY2(isValidText(m), raw.toHex().left(200).constData());
        QVERIFY(m.ReceivedDateTime.isValid());
        ++parsed;
    };

    for (qsizetype cut = 0; cut <= sample.size(); ++cut)
        check(sample.left(cut));
    for (int n = 0; n < 500; ++n) {
        QByteArray mutated = sample;
        for (int flips = random.bounded(1, 8); flips > 0; --flips)
            mutated[random.bounded(int(mutated.size()))] = char(random.bounded(256));
        check(mutated);
    }
    for (int n = 0; n < 300; ++n) {
        QByteArray noise(random.bounded(2000), Qt::Uninitialized);
        for (char &c : noise)
            c = char(random.bounded(256));
        // Half the noise gets a header in front so that the body parser sees it too.
        check(n % 2 ? "Content-Type: multipart/mixed; boundary=x\r\n\r\n--x\r\n" + noise : noise);
    }
    QByteArray deep = "From: a@example.com\r\n";
    for (int i = 0; i < 5000; ++i)
        deep += "Content-Type: multipart/mixed; boundary=b" + QByteArray::number(i) + "\r\n\r\n--b"
                + QByteArray::number(i) + "\r\n";
    deep += "Content-Type: text/plain\r\n\r\ndeep\r\n";
    check(deep);
    QCOMPARE(parsed, int(sample.size()) + 1 + 500 + 300 + 1);
}

int main(int argc, char **argv)
{
    // Before anything reads the clock: the date expectations are Berlin wall-clock times.
    qputenv("TZ", "Europe/Berlin");
    tzset();
    QCoreApplication app(argc, argv);
    TestMailMessage test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_mailmessage.moc"
