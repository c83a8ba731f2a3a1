// The run's "index.csv", read back by an RFC 4180 parser of its own: every cell as written, the
// byte order mark and header once however many runs append, no cell a spreadsheet would run.

#include "print/RunIndex.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// The records of RFC 4180 text after the byte order mark; empty when the grammar is broken.
QList<QStringList> readIndex(const QString &folder)
{
    QFile file(folder + "/index.csv");
    const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    const QString text = QString::fromUtf8(bytes.mid(3));
    if (!bytes.startsWith("\xEF\xBB\xBF") || bytes.count("\xEF\xBB\xBF") != 1)
        return {};
    QList<QStringList> records{QStringList()};
    for (qsizetype at = 0; at < text.size();) {
        QString field;
        const bool quoted = text.at(at) == '"';
        if (quoted) {
            while (++at < text.size() && (text.at(at) != '"' || text.mid(at, 2) == "\"\""))
                field += text.at(text.mid(at, 2) == "\"\"" ? at++ : at);
            ++at;  // the closing quote
        }
        for (; at < text.size() && text.at(at) != ',' && text.at(at) != '\r'; ++at) {
            if (quoted || text.at(at) == '"' || text.at(at) == '\n')
                return {};
            field += text.at(at);
        }
        records.last() << field;
        if (text.mid(at, 2) == "\r\n")
            records << QStringList();
        else if (at >= text.size() || text.at(at) != ',')
            return {};
        at += text.at(at) == ',' ? 1 : 2;
    }
    return records.last().isEmpty() ? records.mid(0, records.size() - 1) : QList<QStringList>();
}

RunIndexRow row(int count, const QString &subject)
{
    RunIndexRow r;
    r.count = count;
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
    const QStringList header{"Count", "File", "Received", "From", "To", "Subject", "Message-ID", "Pages", "Attachments",
                             "Result"};
    QCOMPARE(readIndex(dir.path()),
             (QList<QStringList>{header, {"7", "", "", "", "", expected, "", "", "a.pdf; b, c.txt", ""}}));
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
    QStringList cells;
    for (const QStringList &r : readIndex(dir.path()))
        cells << r.value(0) + ":" + r.value(5);
    QCOMPARE(cells, QStringList({"Count:Subject", "1:first", "2:second", "1:first", "2:second"}));
    QVERIFY(!RunIndex(dir.filePath("missing")).append(row(1, "x"), &error));
    QVERIFY2(error.contains(dir.filePath("missing/index.csv")), qPrintable(error));
}

QTEST_GUILESS_MAIN(TestRunIndex)
#include "tst_runindex.moc"
