// Mail comes in every script. A Japanese and a Russian subject in the message list must be drawn
// with real glyphs from the fonts this machine has (after font fallback), never with the empty
// box a missing glyph turns into. Fails when the set-up script installs too few fonts.

#include "list/MessageList.h"
#include "list/MessageListView.h"

#include <QGlyphRun>
#include <QRawFont>
#include <QTextLayout>
#include <QtTest>

namespace {

// How many glyphs of `text` `font` (with the fonts it falls back to) draws as glyph 0, the empty
// box, and in which fonts.
QStringList emptyBoxes(const QString &text, const QFont &font)
{
    QTextLayout layout(text, font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    QStringList boxes;
    for (const QGlyphRun &run : layout.glyphRuns()) {
        for (quint32 glyph : run.glyphIndexes()) {
            if (glyph == 0)
                boxes << run.rawFont().familyName();
        }
    }
    return boxes;
}

}  // namespace

class TestFonts : public QObject {
    Q_OBJECT
private slots:
    void subjectsInOtherScriptsHaveGlyphs_data();
    void subjectsInOtherScriptsHaveGlyphs();
};

void TestFonts::subjectsInOtherScriptsHaveGlyphs_data()
{
    QTest::addColumn<QString>("subject");
    QTest::newRow("Japanese") << QStringLiteral("会議の議事録（第３四半期）をお送りします");
    QTest::newRow("Chinese") << QStringLiteral("发票已附上，请查收");
    QTest::newRow("Korean") << QStringLiteral("회의록을 보내드립니다");
    QTest::newRow("Russian") << QStringLiteral("Счёт на оплату №42 — срочно");
}

void TestFonts::subjectsInOtherScriptsHaveGlyphs()
{
    QFETCH(QString, subject);
    MessageListView list;
    MessageEntry entry;
    entry.Subject = subject;
    QTreeWidgetItem *row = appendMessageRow(&list, entry);
    const QFont used = row->font(messagelist::SubjectColumn).resolve(list.font());
    const QStringList boxes = emptyBoxes(row->text(messagelist::SubjectColumn), used);
    QVERIFY2(boxes.isEmpty(), qPrintable(QStringLiteral("%1 empty boxes (fonts: %2)")
                                             .arg(boxes.size())
                                             .arg(boxes.join(", "))));
}

QTEST_MAIN(TestFonts)
#include "tst_fonts.moc"
