// The run's "index.csv", read back by an RFC 4180 parser of its own (not the code that wrote
// it): every cell as written, the byte order mark and header once however many runs append, and
// no cell a spreadsheet would run as a formula.

#include "print/RunIndex.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Records of RFC 4180 text; *ok false on anything the grammar does not allow.
QList<QStringList> parseCsv(const QString &text, bool *ok)
{
    QList<QStringList> records{QStringList()};
    QString field;
    *ok = true;
    for (qsizetype at = 0; at < text.size();) {
        const bool quoted = text.at(at) == '"';
        if (quoted) {
            while (++at < text.size() && (text.at(at) != '"' || text.mid(at, 2) == "\"\""))
                field += text.at(text.mid(at, 2) == "\"\"" ? at++ : at);
            ++at;  // the closing quote
        }
        // Unquoted text, or anything after a closing quote, may hold no quote and no line break.
        while (at < text.size() && text.at(at) != ',' && text.at(at) != '\r') {
            *ok = *ok && !quoted && text.at(at) != '"' && text.at(at) != '\n';
            field += text.at(at++);
        }
        records.last() << field;
        field.clear();
        if (at < text.size() && text.at(at) == ',') {
            ++at;
        } else if (text.mid(at, 2) == "\r\n") {
            at += 2;
            records << QStringList();
        } else {
            *ok = false;
            break;
        }
    }
    *ok = *ok && records.last().isEmpty();  // the last record ends with CRLF too
    records.removeLast();
    return records;
}

QList<QStringList> readIndex(const QString &folder, int *marks, bool *ok)
{
    QFile file(folder + "/index.csv");
    const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    *marks = int(bytes.count("\xEF\xBB\xBF"));
    return bytes.startsWith("\xEF\xBB\xBF") ? parseCsv(QString::fromUtf8(bytes.mid(3)), ok) : QList<QStringList>();
}

RunIndexRow row(int count, const QString &subject)
{
    RunIndexRow r;
    r.count = count;
    r.to = "Bob <bob@example.com>, carl@example.com";
    r.subject = subject;
    r.attachments = QStringList{"a.pdf", "b, c.txt"};
    return r;
}

}  // namespace

class TestRunIndex : public QObject {
    Q_OBJECT
private slots:
    void cellsComeBackAsWritten_data();
    void cellsComeBackAsWritten();
    void runsAppendUnderOneMarkAndHeader();
};

void TestRunIndex::cellsComeBackAsWritten_data()
{
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("expected");  // as the spreadsheet shows it
    QTest::newRow("plain") << "Hello" << "Hello";
    QTest::newRow("comma") << "a, b" << "a, b";
    QTest::newRow("quotes") << "say \"hi\"" << "say \"hi\"";
    QTest::newRow("crlf, lone lf and cr") << "one\r\ntwo\nthree\rfour" << "one\r\ntwo\nthree\rfour";
    QTest::newRow("non-ascii") << "Grüße 日本語 😀" << "Grüße 日本語 😀";
    QTest::newRow("formula =") << "=HYPERLINK(\"http://127.0.0.1:9/\",\"x\")" << "'=HYPERLINK(\"http://127.0.0.1:9/\",\"x\")";
    QTest::newRow("formula +") << "+1+1" << "'+1+1";
    QTest::newRow("formula -") << "-2+3" << "'-2+3";
    QTest::newRow("formula @") << "@SUM(A1)" << "'@SUM(A1)";
    QTest::newRow("= later is text") << "a=b" << "a=b";
}

void TestRunIndex::cellsComeBackAsWritten()
{
    QFETCH(QString, subject);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    QString error;
    QVERIFY2(RunIndex(dir.path()).append(row(7, subject), &error), qPrintable(error));
    int marks = 0;
    bool ok = false;
    const QList<QStringList> records = readIndex(dir.path(), &marks, &ok);
    QVERIFY(ok);
    QCOMPARE(records.size(), 2);
    QCOMPARE(records[0], QStringList({"Count", "File", "Received", "From", "To", "Subject", "Message-ID", "Pages",
                                      "Attachments", "Result"}));
    QCOMPARE(records[1], QStringList({"7", "", "", "", "Bob <bob@example.com>, carl@example.com", expected, "", "",
                                      "a.pdf; b, c.txt", ""}));
}

void TestRunIndex::runsAppendUnderOneMarkAndHeader()
{
    QTemporaryDir dir;
    QFile(dir.filePath("index.csv")).open(QIODevice::WriteOnly);  // left empty by a run that stopped
    QString error;
    for (int run = 0; run < 2; ++run) {
        RunIndex index(dir.path() + "/");
        QVERIFY2(index.append(row(1, "first"), &error) && index.append(row(2, "second"), &error), qPrintable(error));
    }
    int marks = 0;
    bool ok = false;
    const QList<QStringList> records = readIndex(dir.path(), &marks, &ok);
    QVERIFY(ok);
    QCOMPARE(marks, 1);
    QStringList cells;
    for (const QStringList &r : records)
        cells << r[0] + ":" + r[5];
    QCOMPARE(cells, QStringList({"Count:Subject", "1:first", "2:second", "1:first", "2:second"}));

    QVERIFY(!RunIndex(dir.filePath("missing")).append(row(1, "x"), &error));
    QVERIFY2(error.contains(dir.filePath("missing/index.csv")), qPrintable(error));
}

QTEST_GUILESS_MAIN(TestRunIndex)
#include "tst_runindex.moc"
