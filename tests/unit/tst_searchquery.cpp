// Searches as plain code: a Gmail query made into SEARCH keys, the SEARCH answer read back, and
// whether a server offers Gmail's own search. The command tracker's part is in the scripted and
// real servers' tests, where UIDs and message numbers differ.

#include "imap/ImapSearchResponse.h"
#include "mail/GmailSearchQuery.h"

#include <QTest>

namespace {

// The keys as they read on the wire, strings in quotes.
QString written(const ImapSearchRequest &request)
{
    QStringList words;
    for (const ImapSearchPart &part : request.parts)
        words << (part.isString ? QLatin1Char('"') + QString::fromUtf8(part.bytes) + QLatin1Char('"')
                                : QString::fromLatin1(part.bytes));
    return words.join(QLatin1Char(' '));
}

using Numbers = QList<qint64>;

}  // namespace

class TestSearchQuery : public QObject {
    Q_OBJECT
private slots:
    void standardKeys_data();
    void standardKeys();
    void refusedQueries_data();
    void refusedQueries();
    void gmailQueryTravelsWhole();
    void searchAnswers_data();
    void searchAnswers();
    void gmailCapability();
};

void TestSearchQuery::standardKeys_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("keys");
    QTest::newRow("word") << "invoice" << R"(TEXT "invoice")";
    QTest::newRow("words are all wanted") << "annual  report" << R"(TEXT "annual" TEXT "report")";
    QTest::newRow("phrase") << R"("annual report")" << R"(TEXT "annual report")";
    QTest::newRow("operators ignore case") << "FROM:bank Subject:x" << R"(FROM "bank" SUBJECT "x")";
    QTest::newRow("negated word") << "-draft" << R"(NOT TEXT "draft")";
    QTest::newRow("negated phrase") << R"(-"out of office")" << R"(NOT TEXT "out of office")";
    QTest::newRow("negated operator") << "-from:spam" << R"(NOT FROM "spam")";
    QTest::newRow("after is on or after the day") << "after:2025/01/01" << "SINCE 1-Jan-2025";
    QTest::newRow("before is before the day") << "before:2025/03/01" << "BEFORE 1-Mar-2025";
    QTest::newRow("one digit month and day") << "before:2025/2/9" << "BEFORE 9-Feb-2025";
    QTest::newRow("month first") << "before:04/18/2004" << "BEFORE 18-Apr-2004";
    QTest::newRow("newer older") << "newer:2020/02/29 older:2021/01/01" << "SINCE 29-Feb-2020 BEFORE 1-Jan-2021";
    QTest::newRow("non-ASCII word") << QString::fromUtf8("Prüfung") << QString::fromUtf8("TEXT \"Prüfung\"");
    QTest::newRow("colon in a word is text") << "10:30" << R"(TEXT "10:30")";
    QTest::newRow("lower-case or is a word") << "tea or coffee" << R"(TEXT "tea" TEXT "or" TEXT "coffee")";
}

void TestSearchQuery::standardKeys()
{
    QFETCH(QString, query);
    QFETCH(QString, keys);
    const GmailSearchKeys made = standardSearch(query);
    QVERIFY2(made.request, qPrintable(made.problem));
    QCOMPARE(written(*made.request), keys);
}

void TestSearchQuery::refusedQueries_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("named");  // what the problem must name
    QTest::newRow("has:") << "from:bank has:attachment" << "\"has:\" is not supported";
    QTest::newRow("OR") << "a OR b" << "\"OR\" is not supported";
    QTest::newRow("braces") << "{a b}" << "\"{a\" is not supported";
    QTest::newRow("open quote") << R"(subject:"half)" << "quotation mark is not closed";
    QTest::newRow("month 13") << "after:2025/13/01" << "\"after:2025/13/01\" is not a date";
    QTest::newRow("no such day") << "before:2023/02/29" << "is not a date";
    QTest::newRow("empty operator") << "from:" << "needs something after the colon";
    QTest::newRow("nothing") << "   " << "Type what to search for";
}

void TestSearchQuery::refusedQueries()
{
    QFETCH(QString, query);
    QFETCH(QString, named);
    const GmailSearchKeys made = standardSearch(query);
    QVERIFY2(!made.request, qPrintable(written(made.request.value_or(ImapSearchRequest{}))));
    QVERIFY2(made.problem.contains(named), qPrintable(made.problem));
}

void TestSearchQuery::gmailQueryTravelsWhole()
{
    const GmailSearchKeys made = gmailRawSearch(QString::fromUtf8("  has:attachment {Prüfung \"a b\"} "));
    QCOMPARE(written(made.request.value()), QString::fromUtf8("X-GM-RAW \"has:attachment {Prüfung \"a b\"}\""));
    QVERIFY(needsUtf8Charset(*made.request) && !needsUtf8Charset(*gmailRawSearch("from:bank").request));
    QVERIFY(!gmailRawSearch(" ").request);
}

void TestSearchQuery::searchAnswers_data()
{
    QTest::addColumn<QByteArray>("wire");
    QTest::addColumn<Numbers>("numbers");
    QTest::newRow("numbers") << QByteArray("* SEARCH 2 84 882\r\n") << Numbers{2, 84, 882};
    QTest::newRow("nothing found") << QByteArray("* SEARCH\r\n") << Numbers{};
    QTest::newRow("largest UID") << QByteArray("* SEARCH 4294967295\r\n") << Numbers{4294967295LL};
    QTest::newRow("modseq tail") << QByteArray("* SEARCH 3 5 (MODSEQ 917162500)\r\n") << Numbers{3, 5};
    QTest::newRow("several lines, repeats once")
        << QByteArray("* SEARCH 1 3\r\n* SEARCH 3 9\r\n") << Numbers{1, 3, 9};
    QTest::newRow("zero is no UID") << QByteArray("* SEARCH 0\r\n") << Numbers{-1};
    QTest::newRow("beyond 32 bits") << QByteArray("* SEARCH 4294967296\r\n") << Numbers{-1};
    QTest::newRow("letters") << QByteArray("* SEARCH 12a\r\n") << Numbers{-1};
    QTest::newRow("other data") << QByteArray("* 3 EXISTS\r\n") << Numbers{-1};
}

void TestSearchQuery::searchAnswers()
{
    QFETCH(QByteArray, wire);
    QFETCH(Numbers, numbers);  // {-1}: not readable
    QCOMPARE(searchResultFrom(wire).value_or(Numbers{-1}), numbers);
}

void TestSearchQuery::gmailCapability()
{
    QVERIFY(offersGmailSearch("* CAPABILITY IMAP4rev1 IDLE X-GM-EXT-1 UIDPLUS\r\nQ4 OK Thats all she wrote!\r\n"));
    QVERIFY(!offersGmailSearch("* CAPABILITY IMAP4rev1 SASL-IR ID ENABLE IDLE\r\nQ4 OK done\r\n"));
    QVERIFY(!offersGmailSearch("* OK X-GM-EXT-1 is not a capability here\r\nQ4 OK done\r\n"));
}

QTEST_GUILESS_MAIN(TestSearchQuery)
#include "tst_searchquery.moc"
