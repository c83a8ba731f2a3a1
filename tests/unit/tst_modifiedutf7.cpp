#include "imap/ModifiedUtf7.h"

#include <QRandomGenerator>
#include <QtTest>

class TestModifiedUtf7 : public QObject {
    Q_OBJECT

private slots:
    void knownNames_data();
    void knownNames();
    void invalidSequencesKeepTheirText_data();
    void invalidSequencesKeepTheirText();
    void loneSurrogateIsReplacedWhenEncoding();
    void randomNamesRoundTrip();
};

void TestModifiedUtf7::knownNames_data()
{
    QTest::addColumn<QByteArray>("wire");
    QTest::addColumn<QString>("name");

    QTest::newRow("plain ascii") << QByteArray("INBOX") << QStringLiteral("INBOX");
    QTest::newRow("gmail folder") << QByteArray("[Gmail]/All Mail") << QStringLiteral("[Gmail]/All Mail");
    QTest::newRow("accented") << QByteArray("Re&AOc-us") << QStringLiteral("Re\u00e7us");
    QTest::newRow("ampersand") << QByteArray("&-") << QStringLiteral("&");
    QTest::newRow("ampersands in text") << QByteArray("A&-B &- C") << QStringLiteral("A&B & C");
    // RFC 3501's own example: "~peter/mail/台北/日本語"
    QTest::newRow("rfc example") << QByteArray("~peter/mail/&U,BTFw-/&ZeVnLIqe-")
                                 << QStringLiteral("~peter/mail/\u53f0\u5317/\u65e5\u672c\u8a9e");
    QTest::newRow("japanese") << QByteArray("&MMYwuTDI-") << QStringLiteral("\u30c6\u30b9\u30c8");
    QTest::newRow("emoji") << QByteArray("&2D3eAA-") << QString::fromUtf8("\xf0\x9f\x98\x80");
    QTest::newRow("emoji between text") << QByteArray("a&2D3eAA-b") << QString::fromUtf8("a\xf0\x9f\x98\x80" "b");
    QTest::newRow("control char") << QByteArray("&AAk-") << QStringLiteral("\t");
    QTest::newRow("tilde and dash") << QByteArray("a-b~c") << QStringLiteral("a-b~c");
}

void TestModifiedUtf7::knownNames()
{
    QFETCH(QByteArray, wire);
    QFETCH(QString, name);
    QCOMPARE(decodeMailboxName(wire), name);
    QCOMPARE(encodeMailboxName(name), wire);
}

void TestModifiedUtf7::invalidSequencesKeepTheirText_data()
{
    QTest::addColumn<QByteArray>("wire");
    QTest::addColumn<QString>("name");

    QTest::newRow("no terminator") << QByteArray("Re&AOc") << QStringLiteral("Re&AOc");
    QTest::newRow("bad base64 char") << QByteArray("x&A!c-y") << QStringLiteral("x&A!c-y");
    QTest::newRow("half a unit") << QByteArray("&AO-") << QStringLiteral("&AO-");
    QTest::newRow("non-zero padding bits") << QByteArray("&AOd-") << QStringLiteral("&AOd-");
    QTest::newRow("lone high surrogate") << QByteArray("&2D0-") << QStringLiteral("&2D0-");
    QTest::newRow("bad run then good run") << QByteArray("&%-&AOc-") << QStringLiteral("&%-\u00e7");
    QTest::newRow("utf-8 from a non-conforming server")
        << QByteArray("Re\xc3\xa7us") << QStringLiteral("Re\u00e7us");
}

void TestModifiedUtf7::invalidSequencesKeepTheirText()
{
    QFETCH(QByteArray, wire);
    QFETCH(QString, name);
    QCOMPARE(decodeMailboxName(wire), name);
}

void TestModifiedUtf7::loneSurrogateIsReplacedWhenEncoding()
{
    const QString broken = QStringLiteral("a") + QChar(0xd83d) + QStringLiteral("b");
    // U+FFFD in UTF-16BE is FF FD: base64 "//0", with "," for "/".
    QCOMPARE(encodeMailboxName(broken), QByteArray("a&,,0-b"));
    QCOMPARE(decodeMailboxName(encodeMailboxName(broken)), QStringLiteral("a\ufffdb"));
}

void TestModifiedUtf7::randomNamesRoundTrip()
{
    QRandomGenerator random(20240611);
    // Weighted towards the characters that switch between the direct and the shifted form.
    const auto randomCodePoint = [&]() -> char32_t {
        switch (random.bounded(6)) {
        case 0: return U'&';
        case 1: return char32_t(0x20 + random.bounded(0x5f));
        case 2: return char32_t(0x80 + random.bounded(0x780));
        case 3: return char32_t(0x3040 + random.bounded(0x5000));
        case 4: return char32_t(0x1f300 + random.bounded(0x300));
        default: return char32_t(random.bounded(0x20));
        }
    };
    for (int n = 0; n < 2000; ++n) {
        QString name;
        const int length = random.bounded(12);
        for (int i = 0; i < length; ++i) {
            const char32_t cp = randomCodePoint();
            name += QString::fromUcs4(&cp, 1);
        }
        const QByteArray wire = encodeMailboxName(name);
        for (char c : wire)
            QVERIFY2(c >= 0x20 && c <= 0x7e, wire.constData());
        QCOMPARE(decodeMailboxName(wire), name);
    }
}

QTEST_GUILESS_MAIN(TestModifiedUtf7)
#include "tst_modifiedutf7.moc"
