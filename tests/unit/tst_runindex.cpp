// The run's "index.csv": written as RFC 4180, read back by a parser of that grammar (and not by
// the code that wrote it), with the byte order mark and the header once however many runs
// append, and no cell a spreadsheet would run as a formula.

#include "print/RunIndex.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// RFC 4180 records: a quoted field runs to its closing quote, "" inside it is one quote, CRLF
// ends a record. Anything else (a bare CR or LF outside quotes, text after a closing quote)
// fails the test.
QList<QStringList> parseCsv(const QString &text, bool *ok)
{
    QList<QStringList> records;
    QStringList record;
    QString field;
    qsizetype at = 0;
    *ok = true;
    while (at < text.size()) {
        if (text.at(at) == QLatin1Char('"')) {
            for (++at; at < text.size(); ++at) {
                if (text.at(at) == QLatin1Char('"')) {
                    if (at + 1 < text.size() && text.at(at + 1) == QLatin1Char('"'))
                        ++at;
                    else
                        break;
                }
                field += text.at(at);
            }
            ++at;  // the closing quote
        } else {
            while (at < text.size() && text.at(at) != QLatin1Char(',') && text.at(at) != QLatin1Char('\r')) {
                if (text.at(at) == QLatin1Char('"') || text.at(at) == QLatin1Char('\n'))
                    *ok = false;
                field += text.at(at++);
            }
        }
        record << field;
        field.clear();
        if (at < text.size() && text.at(at) == QLatin1Char(',')) {
            ++at;
            continue;
        }
        if (text.mid(at, 2) != QLatin1String("\r\n")) {
            *ok = false;
            return records;
        }
        at += 2;
        records << record;
        record.clear();
    }
    return records;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

RunIndexRow row(int count, const QString &subject)
{
    RunIndexRow r;
    r.count = count;
    r.file = QStringLiteral("%1 - x.pdf").arg(count);
    r.received = QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7), Qt::LocalTime);
    r.from = QStringLiteral("Ann <ann@example.com>");
    r.to = QStringLiteral("Bob <bob@example.com>, carl@example.com");
    r.subject = subject;
    r.messageId = QStringLiteral("abc@example.com");
    r.pages = 2;
    r.attachments = {QStringLiteral("a.pdf"), QStringLiteral("b, c.txt")};
    r.result = indexPrintedResult();
    return r;
}

}  // namespace

class TestRunIndex : public QObject {
    Q_OBJECT
private slots:
    void cellsComeBackAsWritten_data();
    void cellsComeBackAsWritten();
    void twoRunsShareOneMarkAndHeader();
    void receivedReadsBackAsALocalDateTime();
    void anIndexThatCannotBeWrittenSaysWhy();
};

void TestRunIndex::cellsComeBackAsWritten_data()
{
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("expected");  // as the spreadsheet shows it
    QTest::newRow("plain") << "Hello" << "Hello";
    QTest::newRow("comma") << "a, b" << "a, b";
    QTest::newRow("quotes") << "say \"hi\"" << "say \"hi\"";
    QTest::newRow("crlf") << "one\r\ntwo" << "one\r\ntwo";
    QTest::newRow("lone lf and cr") << "one\ntwo\rthree" << "one\ntwo\rthree";
    QTest::newRow("non-ascii") << "Grüße 日本語 😀" << "Grüße 日本語 😀";
    QTest::newRow("formula =") << "=HYPERLINK(\"http://127.0.0.1:9/\",\"x\")" << "'=HYPERLINK(\"http://127.0.0.1:9/\",\"x\")";
    QTest::newRow("formula +") << "+1+1" << "'+1+1";
    QTest::newRow("formula -") << "-2+3" << "'-2+3";
    QTest::newRow("formula @") << "@SUM(A1)" << "'@SUM(A1)";
    QTest::newRow("= later is text") << "a=b" << "a=b";
    QTest::newRow("empty") << "" << "";
}

void TestRunIndex::cellsComeBackAsWritten()
{
    QFETCH(QString, subject);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    RunIndex index(dir.path());
    QString error;
    QVERIFY2(index.append(row(7, subject), &error), qPrintable(error));
    const QByteArray bytes = readAll(dir.filePath("index.csv"));
    QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
    bool ok = false;
    const QList<QStringList> records = parseCsv(QString::fromUtf8(bytes.mid(3)), &ok);
    QVERIFY2(ok, bytes.constData());
    QCOMPARE(records.size(), 2);
    QCOMPARE(records[0], QStringList({"Count", "File", "Received", "From", "To", "Subject", "Message-ID", "Pages",
                                      "Attachments", "Result"}));
    QCOMPARE(records[1].size(), 10);
    QCOMPARE(records[1][5], expected);
    QCOMPARE(records[1][4], QStringLiteral("Bob <bob@example.com>, carl@example.com"));
    QCOMPARE(records[1][8], QStringLiteral("a.pdf; b, c.txt"));
}

void TestRunIndex::twoRunsShareOneMarkAndHeader()
{
    QTemporaryDir dir;
    QString error;
    for (int run = 0; run < 2; ++run) {
        RunIndex index(dir.path() + "/");  // a folder given with its slash
        QVERIFY2(index.append(row(1, "first"), &error), qPrintable(error));
        QVERIFY2(index.append(row(2, "second"), &error), qPrintable(error));
    }
    const QByteArray bytes = readAll(dir.filePath("index.csv"));
    QCOMPARE(bytes.count("\xEF\xBB\xBF"), 1);
    QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
    bool ok = false;
    const QList<QStringList> records = parseCsv(QString::fromUtf8(bytes.mid(3)), &ok);
    QVERIFY(ok);
    QCOMPARE(records.size(), 5);
    QCOMPARE(records[0][0], QStringLiteral("Count"));
    QStringList subjects;
    for (const QStringList &r : records.mid(1))
        subjects << r[0] + ":" + r[5];
    QCOMPARE(subjects, QStringList({"1:first", "2:second", "1:first", "2:second"}));

    // A file left empty (a run that stopped before its first row) still gets its header.
    QTemporaryDir other;
    QFile empty(other.filePath("index.csv"));
    QVERIFY(empty.open(QIODevice::WriteOnly));
    empty.close();
    QVERIFY(RunIndex(other.path()).append(row(1, "x"), &error));
    QVERIFY(readAll(other.filePath("index.csv")).startsWith("\xEF\xBB\xBF" "Count,File,"));
}

void TestRunIndex::receivedReadsBackAsALocalDateTime()
{
    const QDateTime local(QDate(2026, 12, 9), QTime(23, 59, 58), Qt::LocalTime);
    const QString text = indexDateTime(local.toUTC());  // shown in local time whatever it came as
    QCOMPARE(QDateTime::fromString(text, Qt::ISODate), local);
    QVERIFY(indexDateTime(QDateTime()).isEmpty());
}

void TestRunIndex::anIndexThatCannotBeWrittenSaysWhy()
{
    QTemporaryDir dir;
    QString error;
    QVERIFY(!RunIndex(dir.filePath("missing")).append(row(1, "x"), &error));
    QVERIFY2(error.contains(dir.filePath("missing/index.csv")), qPrintable(error));
}

QTEST_GUILESS_MAIN(TestRunIndex)
#include "tst_runindex.moc"
