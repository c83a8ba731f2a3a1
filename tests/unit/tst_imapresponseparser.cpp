// The IMAP response parser, the stream framer and the command tracker, on bytes alone.

#include "imap/ImapCommandTracker.h"
#include "imap/ImapCommandWriting.h"
#include "imap/ImapResponseParser.h"
#include "imap/ImapResponseReader.h"

#include <QBuffer>
#include <QRandomGenerator>
#include <QTest>

#include "HeapInUse.h"

namespace {

using Outcome = ImapParseResult::Outcome;

ImapResponse parsed(const QByteArray &raw)
{
    const ImapParseResult result = parseImapResponse(raw);
    if (result.outcome != Outcome::Complete)
        qWarning() << "not complete:" << raw << result.error;
    return result.response;
}

enum class Feed { Appended, FromDevice };

// Feeds `stream` in chunks of the given sizes: appended, or arriving on a device the way the
// client reads its socket (a literal's bytes read straight into it, the rest appended).
QList<QByteArray> frameAll(const QByteArray &stream, const QList<int> &chunkSizes, Feed feed = Feed::Appended)
{
    ImapResponseReader reader;
    QList<QByteArray> responses;
    QByteArray arrived;
    QBuffer device(&arrived);
    device.open(QIODevice::ReadOnly);
    qsizetype pos = 0;
    int chunk = 0;
    while (pos < stream.size()) {
        const int size = chunkSizes.isEmpty() ? int(stream.size()) : chunkSizes[chunk++ % chunkSizes.size()];
        if (feed == Feed::Appended) {
            reader.append(stream.mid(pos, size));
        } else {
            arrived += stream.mid(pos, size);
            while (device.bytesAvailable() > 0) {
                if (reader.readLiteralFrom(device) == 0)
                    reader.append(device.read(3));
            }
        }
        pos += size;
        while (auto response = reader.takeResponse())
            responses.append(*response);
    }
    return responses;
}

// A literal as the server sends it: "{size}", a line end, the bytes.
QByteArray literal(const QByteArray &bytes)
{
    return '{' + QByteArray::number(bytes.size()) + "}\r\n" + bytes;
}

const QByteArray fetchBody = "Subject: x\r\n\r\nline\r\n) end\r\n";
const QByteArray fetchResponse = "* 12 FETCH (INTERNALDATE \"01-Sep-2021 15:00:00 +0200\" BODY[] "
    + literal(fetchBody) + " FLAGS (\\Seen))\r\n";
const QByteArray listWithLiteral = "* LIST (\\HasNoChildren) \"/\" " + literal("Re\"\xc3\xa7)us\r\n") + "\r\n";

}  // namespace

class TestImapResponseParser : public QObject {
    Q_OBJECT
private slots:
    void valuesOfEveryKind();
    void quotedEscapesAndLiteralsWithLineBreaks();
    void statusResponsesKeepTheirText();
    void untaggedDataAndContinuation();
    void malformedInputIsRejected();
    void everyTruncationIsIncomplete();
    void listResponses_data();
    void listResponses();
    void fetchResponses();
    void internalDate_data();
    void internalDate();
    void quotingRoundTrips();
    void readerFramesResponsesWhateverTheChunks();
    void readerIsNotFooledByBracesInText();
    void readerReportsLiteralProgressAndLimits();
    void valuesNobodyReadsAreSkippedAndTooManyRefused();
    void trackerRoutesResponsesToTheirCommands();
    void trackerRoutesMessageDataByNumber();
    void trackerFollowsTheSelectedMailbox();
    void readerBoundsOneResponseAsAWhole();
    void aMessageIsHeldAboutOnceOnItsWay();
    void fuzzedInputNeverCrashesAndFramesConsistently();
};

void TestImapResponseParser::valuesOfEveryKind()
{
    const QByteArray raw = "atom \\Seen NIL nil \"q s\" (a (b (c)) ()) BODY[HEADER.FIELDS (FROM TO)]<0> {3+}\r\nx y 42\r\n";
    QList<ImapValue> values;
    qsizetype pos = 0;
    QCOMPARE(parseImapValues(raw, pos, values), Outcome::Complete);
    QCOMPARE(values.size(), 9);
    QCOMPARE(values[0].kind, ImapValue::Kind::Atom);
    QCOMPARE(values[1].text, QByteArray("\\Seen"));
    QCOMPARE(values[2].kind, ImapValue::Kind::Nil);
    QCOMPARE(values[3].kind, ImapValue::Kind::Nil);
    QCOMPARE(values[4].kind, ImapValue::Kind::Quoted);
    QCOMPARE(values[4].text, QByteArray("q s"));
    QCOMPARE(values[5].kind, ImapValue::Kind::List);
    QCOMPARE(values[5].items.size(), 3);
    QCOMPARE(values[5].items[1].items[1].items[0].text, QByteArray("c"));
    QCOMPARE(values[5].items[2].items.size(), 0);
    QCOMPARE(values[6].text, QByteArray("BODY[HEADER.FIELDS (FROM TO)]<0>"));
    QCOMPARE(values[7].kind, ImapValue::Kind::Literal);
    QCOMPARE(values[7].text, QByteArray("x y"));
    QVERIFY(values[8].isNumber());
    QCOMPARE(values[8].toNumber(), 42);
    QCOMPARE(raw.mid(pos), QByteArray("\r\n"));

    // A section may quote a header name, brackets and all.
    QList<ImapValue> section;
    pos = 0;
    QCOMPARE(parseImapValues("BODY[HEADER.FIELDS (\"X-A] \\\"b\")] NIL", pos, section), Outcome::Complete);
    QCOMPARE(section.size(), 2);
    QCOMPARE(section[0].text, QByteArray("BODY[HEADER.FIELDS (\"X-A] \\\"b\")]"));
}

void TestImapResponseParser::quotedEscapesAndLiteralsWithLineBreaks()
{
    const ImapResponse response = parsed("* ID (\"name\" \"a \\\"quoted\\\" \\\\ back\" \"empty\" \"\" \"lit\" " + literal("A\r\n)\r\n\"B") + ")\r\n");
    QCOMPARE(response.keyword, QByteArray("ID"));
    const QList<ImapValue> &items = response.values.at(0).items;
    QCOMPARE(items.size(), 6);
    QCOMPARE(items[1].text, QByteArray("a \"quoted\" \\ back"));
    QCOMPARE(items[3].kind, ImapValue::Kind::Quoted);
    QCOMPARE(items[3].text, QByteArray());
    QCOMPARE(items[5].kind, ImapValue::Kind::Literal);
    QCOMPARE(items[5].text, QByteArray("A\r\n)\r\n\"B"));

    const ImapResponse empty = parsed("* 1 FETCH (BODY[] {0}\r\n)\r\n");
    QCOMPARE(empty.values.at(0).items.at(1).kind, ImapValue::Kind::Literal);
    QVERIFY(empty.values.at(0).items.at(1).text.isEmpty());
}

void TestImapResponseParser::statusResponsesKeepTheirText()
{
    const ImapResponse no = parsed("Q7 NO [AUTHENTICATIONFAILED] Authentication failed.\r\n");
    QCOMPARE(no.kind, ImapResponse::Kind::Tagged);
    QCOMPARE(no.tag, QByteArray("Q7"));
    QCOMPARE(no.status, ImapStatus::No);
    QCOMPARE(no.code, QByteArray("AUTHENTICATIONFAILED"));
    QCOMPARE(no.text, QStringLiteral("Authentication failed."));

    // Free text is not tokenised: unbalanced quotes, parentheses and braces stay as they are.
    const ImapResponse bad = parsed("Q8 bad Can't \"parse (this {5}\r\n");
    QCOMPARE(bad.status, ImapStatus::Bad);
    QCOMPARE(bad.text, QStringLiteral("Can't \"parse (this {5}"));

    const ImapResponse greeting = parsed("* OK [CAPABILITY IMAP4rev1 ID LITERAL+] Dovecot ready.\r\n");
    QCOMPARE(greeting.kind, ImapResponse::Kind::Untagged);
    QCOMPARE(greeting.status, ImapStatus::Ok);
    QCOMPARE(greeting.code, QByteArray("CAPABILITY IMAP4rev1 ID LITERAL+"));
    QCOMPARE(greeting.text, QStringLiteral("Dovecot ready."));

    QCOMPARE(parsed("* BYE Logging out\r\n").status, ImapStatus::Bye);
    QCOMPARE(parsed("* PREAUTH welcome\r\n").status, ImapStatus::Preauth);
    const ImapResponse bare = parsed("Q1 OK\r\n");
    QCOMPARE(bare.status, ImapStatus::Ok);
    QVERIFY(bare.text.isEmpty());
    QCOMPARE(parsed("Q2 OK [READ-ONLY] Examine completed (0.001 + 0.000 secs).\r\n").code, QByteArray("READ-ONLY"));
}

void TestImapResponseParser::untaggedDataAndContinuation()
{
    const ImapResponse exists = parsed("* 23 EXISTS\r\n");
    QCOMPARE(exists.number, 23);
    QCOMPARE(exists.keyword, QByteArray("EXISTS"));
    QCOMPARE(exists.status, ImapStatus::None);

    const ImapResponse flags = parsed("* FLAGS (\\Answered \\Flagged \\Seen $Forwarded)\r\n");
    QCOMPARE(flags.keyword, QByteArray("FLAGS"));
    QCOMPARE(flags.values.at(0).items.size(), 4);

    const ImapResponse id = parsed("* ID NIL\r\n");
    QCOMPARE(id.values.at(0).kind, ImapValue::Kind::Nil);

    const ImapResponse go = parsed("+ Ready for literal data\r\n");
    QCOMPARE(go.kind, ImapResponse::Kind::Continuation);
    QCOMPARE(go.text, QStringLiteral("Ready for literal data"));
    QCOMPARE(parsed("+\r\n").kind, ImapResponse::Kind::Continuation);
}

void TestImapResponseParser::malformedInputIsRejected()
{
    const QList<QByteArray> malformed = {
        "* 1 FETCH (FLAGS (\\Seen)\r\n",          // list left open at the line end
        "* LIST () \"/\" \"a\rb\"\r\n",           // line break in a quoted string
        "* 1 FETCH (BODY[] {x}\r\nabc)\r\n",      // bad literal size
        "* 1 FETCH (BODY[] {3}abc)\r\n",          // literal size not followed by a line end
        "* SEARCH 1 2) 3\r\n",                    // stray parenthesis
        "Q1 MAYBE fine\r\n",                      // no status in a tagged response
        "* 3 EXISTS\r\n* 4 EXISTS\r\n",          // two responses where one is expected
        "* OK [ALERT unclosed\r\n",
        "* X " + QByteArray(200, '(') + "\r\n",  // nesting deeper than any real answer
    };
    for (const QByteArray &raw : malformed) {
        const ImapParseResult result = parseImapResponse(raw);
        QVERIFY2(result.outcome == Outcome::Malformed, raw.constData());
        QVERIFY(!result.error.isEmpty());
    }
}

void TestImapResponseParser::everyTruncationIsIncomplete()
{
    const QList<QByteArray> complete = {
        fetchResponse,
        listWithLiteral,
        "Q3 NO [ALERT] no\r\n",
        "* 5 EXISTS\r\n",
        "+ go\r\n",
        "* 2 FETCH (BODY[] {4+}\r\nab\r\n INTERNALDATE \" 2-Jan-2020 01:02:03 -0500\")\r\n",
    };
    for (const QByteArray &raw : complete) {
        QCOMPARE(parseImapResponse(raw).outcome, Outcome::Complete);
        for (qsizetype length = 0; length < raw.size(); ++length) {
            const ImapParseResult result = parseImapResponse(raw.left(length));
            QVERIFY2(result.outcome == Outcome::Incomplete,
                     qPrintable(QStringLiteral("%1 bytes of %2: %3").arg(length).arg(QString::fromUtf8(raw), result.error)));
        }
    }
}

void TestImapResponseParser::listResponses_data()
{
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<QStringList>("attributes");
    QTest::addColumn<QString>("delimiter");
    QTest::addColumn<QByteArray>("wireName");

    QTest::newRow("quoted") << QByteArray("* LIST (\\HasNoChildren \\Sent) \"/\" \"[Gmail]/Sent Mail\"\r\n")
                            << QStringList{"\\HasNoChildren", "\\Sent"} << "/" << QByteArray("[Gmail]/Sent Mail");
    QTest::newRow("atom") << QByteArray("* LIST () \".\" INBOX\r\n") << QStringList{} << "." << QByteArray("INBOX");
    QTest::newRow("literal name") << QByteArray("* LIST (\\Marked) \"/\" " + literal("With \"quote\"\\") + "\r\n")
                                  << QStringList{"\\Marked"} << "/" << QByteArray("With \"quote\"\\");
    QTest::newRow("nil delimiter") << QByteArray("* LIST (\\Noselect) NIL \"\"\r\n") << QStringList{"\\Noselect"}
                                   << QString() << QByteArray();
    QTest::newRow("escaped delimiter") << QByteArray("* LIST () \"\\\\\" \"a\\\\b\"\r\n") << QStringList{} << "\\"
                                       << QByteArray("a\\b");
    QTest::newRow("modified utf-7 and extended data")
        << QByteArray("* LIST (\\HasNoChildren) \"/\" Re&AOc-us (\"CHILDINFO\" (\"SUBSCRIBED\"))\r\n")
        << QStringList{"\\HasNoChildren"} << "/" << QByteArray("Re&AOc-us");
}

void TestImapResponseParser::listResponses()
{
    QFETCH(QByteArray, raw);
    const std::optional<ImapListEntry> entry = parseListResponse(parsed(raw));
    QVERIFY(entry);
    QTEST(entry->attributes, "attributes");
    QTEST(entry->delimiter, "delimiter");
    QTEST(entry->wireName, "wireName");

    QVERIFY(!parseListResponse(parsed("* LIST \"/\" INBOX\r\n")));
    QVERIFY(!parseListResponse(parsed("* 3 EXISTS\r\n")));
}

void TestImapResponseParser::fetchResponses()
{
    const std::optional<ImapFetchData> data = parseFetchResponse(parsed(fetchResponse));
    QVERIFY(data);
    QCOMPARE(data->sequenceNumber, 12);
    QVERIFY(data->hasBody);
    QCOMPARE(data->body, fetchBody);
    QCOMPARE(data->internalDate, QDateTime(QDate(2021, 9, 1), QTime(13, 0), Qt::UTC));
    QCOMPARE(data->flags, QStringList{"\\Seen"});

    const std::optional<ImapFetchData> quotedBody = parseFetchResponse(parsed("* 3 fetch (body[] \"tiny\" UID 9)\r\n"));
    QVERIFY(quotedBody && quotedBody->hasBody);
    QCOMPARE(quotedBody->body, QByteArray("tiny"));
    QVERIFY(!quotedBody->internalDate.isValid());

    const std::optional<ImapFetchData> flagsOnly = parseFetchResponse(parsed("* 4 FETCH (FLAGS ())\r\n"));
    QVERIFY(flagsOnly && !flagsOnly->hasBody && flagsOnly->hasFlags && flagsOnly->flags.isEmpty());

    QVERIFY(!parseFetchResponse(parsed("* 4 FETCH (BODY[] {1}\r\nx)\r\n")).value().internalDate.isValid());
    QVERIFY(!parseFetchResponse(parsed("* 4 FETCH (FLAGS)\r\n")));       // odd item count
    QVERIFY(!parseFetchResponse(parsed("* 4 FETCH FLAGS ()\r\n")));      // not a list
    QVERIFY(!parseFetchResponse(parsed("* 4 FETCH (BODY[] NIL)\r\n")).value().hasBody);
}

void TestImapResponseParser::internalDate_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QDateTime>("utc");
    QTest::addColumn<int>("offset");
    const QDateTime invalid;
    QTest::newRow("east") << QByteArray("01-Sep-2021 15:00:00 +0200") << QDateTime(QDate(2021, 9, 1), QTime(13, 0), Qt::UTC) << 7200;
    QTest::newRow("space day") << QByteArray(" 1-Sep-2021 15:00:00 +0000") << QDateTime(QDate(2021, 9, 1), QTime(15, 0), Qt::UTC) << 0;
    QTest::newRow("one digit") << QByteArray("7-Mar-1999 23:59:59 -0530") << QDateTime(QDate(1999, 3, 8), QTime(5, 29, 59), Qt::UTC) << -19800;
    QTest::newRow("lower month") << QByteArray("29-feb-2024 00:00:00 +0100") << QDateTime(QDate(2024, 2, 28), QTime(23, 0), Qt::UTC) << 3600;
    QTest::newRow("no leap day") << QByteArray("29-Feb-2023 00:00:00 +0100") << invalid << 0;
    QTest::newRow("bad month") << QByteArray("01-Sec-2021 15:00:00 +0200") << invalid << 0;
    QTest::newRow("bad hour") << QByteArray("01-Sep-2021 25:00:00 +0200") << invalid << 0;
    QTest::newRow("no zone") << QByteArray("01-Sep-2021 15:00:00") << invalid << 0;
    QTest::newRow("rfc 2822 form") << QByteArray("Wed, 1 Sep 2021 15:00:00 +0200") << invalid << 0;
    QTest::newRow("empty") << QByteArray() << invalid << 0;
}

void TestImapResponseParser::internalDate()
{
    QFETCH(QByteArray, text);
    QFETCH(QDateTime, utc);
    QFETCH(int, offset);
    const std::optional<QDateTime> date = parseInternalDate(text);
    QCOMPARE(date.has_value(), utc.isValid());
    if (date) {
        QCOMPARE(date->toUTC(), utc);
        QCOMPARE(date->offsetFromUtc(), offset);
    }
}

void TestImapResponseParser::quotingRoundTrips()
{
    const QList<QByteArray> samples = {"plain", "pass \"word\" \\ x", "", "\\\\\"\"", "{5}", "(a)"};
    for (const QByteArray &sample : samples) {
        QVERIFY(!needsImapLiteral(sample));
        QList<ImapValue> values;
        qsizetype pos = 0;
        const QByteArray quoted = quoteImapString(sample);
        QCOMPARE(parseImapValues(quoted, pos, values), Outcome::Complete);
        QCOMPARE(values.size(), 1);
        QCOMPARE(values[0].text, sample);
        QCOMPARE(pos, quoted.size());
    }
    QVERIFY(needsImapLiteral("p\xc3\xa4ss"));
    QVERIFY(needsImapLiteral("a\r\nb"));
    QVERIFY(needsImapLiteral("a\nb"));
    QVERIFY(containsImapNul(QByteArray("a\0b", 3)));
    QVERIFY(!containsImapNul("ab"));
}

void TestImapResponseParser::readerFramesResponsesWhateverTheChunks()
{
    const QList<QByteArray> responses = {
        "* OK ready\r\n",
        fetchResponse,
        // A literal whose bytes look like further responses.
        "* 13 FETCH (BODY[] " + literal("\r\n* 14 FETCH (BODY[] {5}\r\nQ1 OK\r\n") + ")\r\n",
        "* 15 FETCH (BODY[] {3}\r\nab\n INTERNALDATE {26}\r\n01-Sep-2021 15:00:00 +0200)\r\n",
        "Q1 OK done\r\n",
        "* 16 EXISTS\n",  // a bare LF ends a line too
    };
    const QByteArray stream = responses.join();
    QCOMPARE(frameAll(stream, {}), responses);
    for (int size : {1, 2, 3, 7, 64})
        QCOMPARE(frameAll(stream, {size}), responses);
    QCOMPARE(frameAll(stream, {5, 1, 30, 2, 17}), responses);
    for (int size : {1, 7, 1000})
        QCOMPARE(frameAll(stream, {size}, Feed::FromDevice), responses);
    for (const QByteArray &response : responses)
        QCOMPARE(parseImapResponse(response).outcome, Outcome::Complete);
}

void TestImapResponseParser::readerIsNotFooledByBracesInText()
{
    const QList<QByteArray> responses = {
        "Q1 NO can't open {5}\r\n",                       // status text
        "* OK [ALERT] see {3}\r\n",
        "+ send {4}\r\n",
        "* LIST () \"/\" \"name {3}\r\n",                // inside a quoted string (broken)
        "* LIST () \"/\" \"odd \\\" {3}\r\n",            // after an escaped quote, still inside
        "* 1 FETCH (BODY[] " + literal("x{3}\r\n") + ")\r\n",  // the literal's bytes are not lines
    };
    QCOMPARE(frameAll(responses.join(), {1}), responses);
}

void TestImapResponseParser::readerReportsLiteralProgressAndLimits()
{
    ImapResponseReader reader;
    reader.append("* 7 FETCH (INTERNALDATE \"01-Sep-2021 15:00:00 +0200\" BODY[] {100}\r\n");
    reader.append(QByteArray(40, 'x'));
    QVERIFY(!reader.takeResponse());
    auto progress = reader.literalInProgress();
    QVERIFY(progress);
    QVERIFY(progress->firstLine.startsWith("* 7 FETCH ("));
    QVERIFY(progress->firstLine.endsWith("{100}"));
    QCOMPARE(progress->size, 100);
    QCOMPARE(progress->received, 40);
    reader.append(QByteArray(60, 'y') + ")\r\nQ4 OK");
    QVERIFY(reader.takeResponse());
    QVERIFY(!reader.literalInProgress());
    QVERIFY(!reader.takeResponse());
    reader.append("\r\n");
    QCOMPARE(*reader.takeResponse(), QByteArray("Q4 OK\r\n"));
    QCOMPARE(reader.bufferedBytes(), 0);

    ImapResponseReader huge;
    huge.append("* 1 FETCH (BODY[] {99999999999999}\r\n");
    QVERIFY(!huge.takeResponse());
    QVERIFY(huge.hasError());

    ImapResponseReader endless;
    const QByteArray chunk(1 << 20, 'a');
    for (qint64 sent = 0; sent <= ImapResponseReader::maxLineLength && !endless.hasError(); sent += chunk.size()) {
        endless.append(chunk);
        QVERIFY(!endless.takeResponse());
    }
    QVERIFY(endless.hasError());
}

// A line of many values costs memory per value once parsed: data the client drops is not taken
// apart, and data it keeps may hold only so many.
void TestImapResponseParser::valuesNobodyReadsAreSkippedAndTooManyRefused()
{
    const QByteArray search = "* SEARCH" + QByteArray(" 1").repeated(maxValuesPerResponse + 1) + "\r\n";
    const ImapParseResult skipped = parseImapResponse(search, &ImapCommandTracker::usesValuesOf);
    QCOMPARE(skipped.outcome, ImapParseResult::Outcome::Complete);
    QCOMPARE(skipped.response.keyword, QByteArray("SEARCH"));
    QVERIFY(skipped.response.values.isEmpty());
    QCOMPARE(parseImapResponse(search).outcome, ImapParseResult::Outcome::Malformed);
    const QByteArray flags = "* 1 FETCH (FLAGS (" + QByteArray("\\a ").repeated(maxValuesPerResponse) + "))\r\n";
    QCOMPARE(parseImapResponse(flags, &ImapCommandTracker::usesValuesOf).outcome, ImapParseResult::Outcome::Malformed);
    const ImapParseResult fetch = parseImapResponse("* 1 FETCH (BODY[] {1}\r\na)\r\n", &ImapCommandTracker::usesValuesOf);
    QCOMPARE(parseFetchResponse(fetch.response)->body, QByteArray("a"));
}

void TestImapResponseParser::trackerRoutesResponsesToTheirCommands()
{
    ImapCommandTracker tracker;
    auto feed = [&](const QByteArray &raw) { tracker.dispatch(raw, parsed(raw)); };
    feed("* OK hello\r\n");
    QVERIFY(tracker.greeting());

    const auto raw = tracker.add("Q1", ImapPendingCommand::Kind::Other);
    raw->keepRawText = true;
    const auto first = tracker.add("Q2", ImapPendingCommand::Kind::Fetch, 1);
    const auto second = tracker.add("Q3", ImapPendingCommand::Kind::Fetch, 2);
    second->abandoned = true;
    const auto third = tracker.add("Q4", ImapPendingCommand::Kind::Fetch, 3);

    feed("* ID (\"name\" \"x\")\r\n");
    feed("Q1 OK ID done\r\n");
    QVERIFY(raw->succeeded());
    QCOMPARE(raw->rawText, QByteArray("* ID (\"name\" \"x\")\r\nQ1 OK ID done\r\n"));
    QVERIFY(raw->untagged.isEmpty());  // a raw command keeps the text only

    feed("* 1 FETCH (BODY[] {1}\r\na)\r\n");
    feed("Q2 OK\r\n");
    feed("* 2 FETCH (BODY[] {1}\r\nb)\r\n");  // for the abandoned command: dropped
    feed("Q3 OK\r\n");
    QVERIFY(!tracker.sawUnexpectedReply());
    feed("Q99 OK stale\r\n");                 // a tag nobody sent: noted, finishes nothing
    QVERIFY(tracker.sawUnexpectedReply());
    feed("* 3 FETCH (BODY[] {1}\r\nc)\r\n");
    QCOMPARE(first->untagged.size(), 1);
    QVERIFY(first->untagged.first().values.first().items.last().text == "a");
    QVERIFY(second->done() && second->untagged.isEmpty());
    QVERIFY(!third->done());
    QCOMPARE(third->untagged.size(), 1);
    QCOMPARE(tracker.outstandingCount(), 1);
    feed("Q4 NO gone\r\n");
    QVERIFY(third->done() && !third->succeeded());
    QCOMPARE(tracker.outstandingCount(), 0);

    const auto login = tracker.add("Q5", ImapPendingCommand::Kind::Other);
    tracker.setAwaitingContinuation(login);
    QVERIFY(tracker.isAwaitingContinuation());
    feed("+ go ahead\r\n");
    QVERIFY(login->continued);
    QVERIFY(!tracker.isAwaitingContinuation());
    feed("* BYE shutting down\r\n");
    QVERIFY(tracker.bye());
}

// A server running several FETCHes at once sends one message's data before the previous
// command's OK: message data goes to the FETCH for that number; what no command asked for (a
// flag change) is counted and dropped.
void TestImapResponseParser::trackerRoutesMessageDataByNumber()
{
    ImapCommandTracker tracker;
    auto feed = [&](const QByteArray &raw) { tracker.dispatch(raw, parsed(raw)); };
    feed("* OK hello\r\n");
    const auto four = tracker.add("Q1", ImapPendingCommand::Kind::Fetch, 4);
    const auto five = tracker.add("Q2", ImapPendingCommand::Kind::Fetch, 5);
    const auto flags = tracker.add("Q3", ImapPendingCommand::Kind::Other);
    feed("* 5 FETCH (INTERNALDATE \"01-Sep-2021 15:00:00 +0200\" BODY[] {1}\r\nb)\r\n");
    feed("* 4 FETCH (BODY[] {1}\r\na)\r\n");
    feed("* 5 FETCH (FLAGS (\\Seen))\r\n");  // not message data: nobody's
    feed("Q2 OK\r\n");
    feed("Q1 OK\r\n");
    feed("* 4 FETCH (FLAGS ())\r\n");
    feed("Q3 OK\r\n");
    QCOMPARE(four->untagged.size(), 1);
    QCOMPARE(parseFetchResponse(four->untagged[0])->body, QByteArray("a"));
    QCOMPARE(five->untagged.size(), 1);
    QCOMPARE(parseFetchResponse(five->untagged[0])->body, QByteArray("b"));
    QVERIFY(flags->untagged.isEmpty());
    QCOMPARE(tracker.droppedCount(), 2);
    QVERIFY(four->succeeded() && five->succeeded() && flags->succeeded());

    // Message 6 sent ahead and given up, then asked for again before the first answer came (the
    // server runs both at once): the first body is the given-up command's, the second the new one's.
    const auto givenUp = tracker.add("Q4", ImapPendingCommand::Kind::Fetch, 6);
    givenUp->abandoned = true;
    const auto again = tracker.add("Q5", ImapPendingCommand::Kind::Fetch, 6);
    feed("* 6 FETCH (INTERNALDATE \"01-Sep-2021 15:00:00 +0200\" BODY[] {3}\r\nold)\r\n");
    feed("* 6 FETCH (INTERNALDATE \"01-Sep-2021 15:00:00 +0200\" BODY[] {3}\r\nnew)\r\n");
    feed("Q4 OK\r\n");
    feed("Q5 OK\r\n");
    QCOMPARE(again->untagged.size(), 1);
    QCOMPARE(parseFetchResponse(again->untagged[0])->body, QByteArray("new"));
}

void TestImapResponseParser::trackerFollowsTheSelectedMailbox()
{
    ImapCommandTracker tracker;
    auto feed = [&](const QByteArray &raw) { tracker.dispatch(raw, parsed(raw)); };
    feed("* OK hello\r\n");
    const auto oldFetch = tracker.add("Q1", ImapPendingCommand::Kind::Fetch, 1);
    const auto select = tracker.add("Q2", ImapPendingCommand::Kind::Select);
    QVERIFY(!tracker.hasSelection());
    feed("* 99 EXISTS\r\n");  // the old mailbox still talking: not the new one's size
    feed("Q1 OK\r\n");
    feed("* 5 EXISTS\r\n");
    feed("* 0 RECENT\r\n");
    QVERIFY(!tracker.hasSelection());
    QCOMPARE(tracker.messageCount(), 0);
    feed("Q2 OK [READ-ONLY] done\r\n");
    QVERIFY(tracker.hasSelection());
    QCOMPARE(tracker.messageCount(), 5);
    feed("* 7 EXISTS\r\n");      // new mail while idle
    QCOMPARE(tracker.messageCount(), 7);
    feed("* 3 EXPUNGE\r\n");
    QCOMPARE(tracker.messageCount(), 6);
    QVERIFY(oldFetch->untagged.isEmpty());

    tracker.add("Q3", ImapPendingCommand::Kind::Select);
    feed("Q3 NO no such mailbox\r\n");
    QVERIFY(!tracker.hasSelection());
    QCOMPARE(tracker.messageCount(), 0);
}

// Random damage to real answers: the parser and framer must never crash, read past their input
// or disagree with each other, and framing must not depend on how the bytes were split.
void TestImapResponseParser::readerBoundsOneResponseAsAWhole()
{
    const QByteArray head = "* 1 FETCH (BODY[] {10}\r\n0123456789 X {10}\r\n0123456789";
    const QByteArray whole = head + ")\r\n";
    ImapResponseReader exact;
    exact.setMaxResponseSize(whole.size());
    exact.append(whole + "Q1 OK done\r\n");
    QCOMPARE(exact.takeResponse(), std::optional<QByteArray>(whole));
    QCOMPARE(exact.takeResponse(), std::optional<QByteArray>("Q1 OK done\r\n"));  // the bound is per response

    // One byte less: refused when the closing line comes.
    ImapResponseReader oneLess;
    oneLess.setMaxResponseSize(whole.size() - 1);
    oneLess.append(head);
    QVERIFY(!oneLess.hasError());
    oneLess.append(")\r\n");
    QVERIFY(!oneLess.takeResponse());
    QVERIFY2(oneLess.errorText().contains("larger than"), qPrintable(oneLess.errorText()));
    oneLess.clear();
    QCOMPARE(oneLess.maxResponseSize(), whole.size() - 1);

    // No room for the second literal: refused as soon as it is announced, before its bytes come.
    ImapResponseReader tight;
    tight.setMaxResponseSize(whole.size() - 4);
    tight.append(head.left(head.indexOf("X {10}") + 8));
    QVERIFY(tight.hasError());

    // A line without an end counts too, before it reaches the line limit.
    ImapResponseReader longLine;
    longLine.setMaxResponseSize(1000);
    longLine.append("* 1 FETCH (BODY[] {10}\r\n0123456789 " + QByteArray(1000, 'a'));
    QVERIFY(longLine.hasError());
}

// A message is held about once on its way from the socket's pieces to the caller: the framed
// response leaves the reader's buffer without a copy, and the parsed value, the command's data
// and the fetched body share one copy. The steps are those of the client's read loop.
void TestImapResponseParser::aMessageIsHeldAboutOnceOnItsWay()
{
    constexpr qsizetype size = qsizetype(48) << 20;
    const qint64 before = heapInUse();
    qint64 peak = 0;
    auto note = [&] { peak = qMax(peak, heapInUse() - before); };
    ImapCommandTracker tracker;
    tracker.dispatch("* OK hi\r\n", parsed("* OK hi\r\n"));
    const auto command = tracker.add("Q1", ImapPendingCommand::Kind::Fetch, 7);
    {
        ImapResponseReader reader;
        reader.append("* 7 FETCH (INTERNALDATE \"01-Sep-2021 15:00:00 +0200\" BODY[] {" + QByteArray::number(size)
                      + "}\r\n");
        for (qsizetype sent = 0; sent < size; sent += 256 << 10)  // as the socket hands it over
            reader.append(QByteArray(qMin<qsizetype>(256 << 10, size - sent), 'm'));
        reader.append(")\r\nQ1 OK done\r\n");
        note();
        std::optional<QByteArray> raw = reader.takeResponse();
        QVERIFY(raw);
        note();
        ImapParseResult result = parseImapResponse(*raw, &ImapCommandTracker::usesValuesOf);
        QCOMPARE(result.outcome, Outcome::Complete);
        note();
        tracker.dispatch(*raw, std::move(result.response));
        raw.reset();
        note();
        const std::optional<QByteArray> tagged = reader.takeResponse();
        QVERIFY(tagged);
        tracker.dispatch(*tagged, parsed(*tagged));
    }
    QVERIFY(command->succeeded());
    QCOMPARE(command->untagged.size(), 1);
    const QByteArray body = parseFetchResponse(command->untagged.first())->body;
    command->untagged.clear();
    note();
    QCOMPARE(body.size(), size);
    QVERIFY(body.startsWith("mmm") && body.endsWith("mmm"));
    qDebug() << "peak heap while a" << (size >> 20) << "MiB message was read:" << (peak >> 20) << "MiB ("
             << double(peak) / size << "times its size)";
    QVERIFY2(peak <= 2 * size + (4 << 20), qPrintable(QString::number(peak >> 20)));
}

void TestImapResponseParser::fuzzedInputNeverCrashesAndFramesConsistently()
{
    const QList<QByteArray> seeds = {
        fetchResponse,
        listWithLiteral,
        "* 2 FETCH (BODY[] {4+}\r\nab\r\n INTERNALDATE \" 2-Jan-2020 01:02:03 -0500\" FLAGS (\\Seen $x))\r\n",
        "Q3 NO [ALERT] no \"x\r\n",
        "* ID (\"a\" NIL \"b\\\\\" {2}\r\n\r\n)\r\n",
    };
    const QByteArray alphabet = "(){}\"\\ \r\n[]+*0123456789NILabc";
    QRandomGenerator random(20240917);
    int complete = 0;
    for (int round = 0; round < 20000; ++round) {
        QByteArray data = seeds[random.bounded(int(seeds.size()))];
        const int edits = 1 + random.bounded(4);
        for (int e = 0; e < edits; ++e) {
            const int at = random.bounded(int(data.size()) + 1);
            switch (random.bounded(4)) {
            case 0: data.insert(at, alphabet.at(random.bounded(int(alphabet.size())))); break;
            case 1: if (at < data.size()) data.remove(at, 1); break;
            case 2: if (at < data.size()) data[at] = alphabet.at(random.bounded(int(alphabet.size()))); break;
            default: data.truncate(at); break;
            }
        }
        if (parseImapResponse(data).outcome == Outcome::Complete)
            ++complete;
        QList<ImapValue> values;
        qsizetype pos = 0;
        parseImapValues(data, pos, values);
        QVERIFY(pos >= 0 && pos <= data.size());

        const QList<QByteArray> whole = frameAll(data, {});
        QCOMPARE(whole.join(), data.left(whole.join().size()));
        // What the framer calls a whole response is never "incomplete" to the parser.
        for (const QByteArray &response : whole)
            QVERIFY2(parseImapResponse(response).outcome != Outcome::Incomplete, response.constData());
        QCOMPARE(frameAll(data, {1 + random.bounded(9)}), whole);
    }
    QVERIFY(complete > 0);  // the damage left some answers intact: the loop tested both paths
}

QTEST_GUILESS_MAIN(TestImapResponseParser)
#include "tst_imapresponseparser.moc"
