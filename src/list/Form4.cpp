#include "list/Form4.h"

#include "core/HoverPointer.h"
#include "core/Procedure.h"
#include "core/Twips.h"
#include "core/Utilities.h"
#include "core/WindowStartUp.h"
#include "list/Form4Layout.h"
#include "list/MessageList.h"
#include "list/MessageListPanel.h"
#include "list/MessageListView.h"

#include <QLabel>
#include <QPushButton>

using namespace messagelist;

namespace {

QRect pixels(const QRect &inTwips)
{
    return twipsRect(inTwips.x(), inTwips.y(), inTwips.width(), inTwips.height());
}

}  // namespace

Form4::Form4(MessageListView *mainList, QWidget *parent) : QDialog(parent), m_mainList(mainList)
{
    createControls();
    Form_Load();
}

void Form4::createControls()
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral(" List In Larger View"));
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    resize(twips(8040), twips(4470));
    setMinimumSize(twips(form4MinimumOuterWidth()), twips(form4MinimumOuterHeight()));
    const auto button = [this](const char *name, const QString &caption, const QRect &geometry) {
        return place(new QPushButton(caption, this), name, geometry);
    };
    ListView1 = place(new MessageListView(this), "ListView1", twipsRect(120, 120, 7800, 1860));
    Label1 = place(new QLabel(QStringLiteral("Total Number Of Emails: "), this), "Label1",
                   twipsRect(120, 2085, 3840, 255));
    Label2 = place(new QLabel(QStringLiteral("Selected Emails: "), this), "Label2",
                   twipsRect(4080, 2085, 3840, 255));
    PushButton5 = button("PushButton5", QStringLiteral("Check All"), twipsRect(120, 2440, 3840, 405));
    PushButton6 = button("PushButton6", QStringLiteral("Uncheck All"), twipsRect(4080, 2440, 3840, 405));
    PushButton9 = button("PushButton9", QStringLiteral("Check Emails Containing..."),
                         twipsRect(120, 2950, 3840, 405));
    PushButton10 = button("PushButton10", QStringLiteral("Check Emails Not Containing..."),
                          twipsRect(4080, 2950, 3840, 405));
    PushButton7 = button("PushButton7", QStringLiteral("Clear List"), twipsRect(120, 3460, 3840, 405));
    PushButton1 = button("PushButton1", QStringLiteral("Maximize This Window"),
                         twipsRect(4080, 3460, 3840, 405));
    PushButton4 = button("PushButton4", QStringLiteral("< Back"), twipsRect(120, 3970, 7800, 405));
    for (QPushButton *b : {PushButton5, PushButton6, PushButton9, PushButton10, PushButton7,
                           PushButton1, PushButton4})
        b->setAutoDefault(false);
    m_panel = new MessageListPanel(this, QStringLiteral("Form4"),
                                   {ListView1, Label1, Label2, PushButton5, PushButton6,
                                    PushButton9, PushButton10});
    followHoverRule(this, {ListView1, PushButton5, PushButton6, PushButton9, PushButton10,
                           PushButton7, PushButton1, PushButton4});
    connect(PushButton7, &QPushButton::clicked, this, &Form4::PushButton7_Click);
    connect(PushButton1, &QPushButton::clicked, this, &Form4::PushButton1_Click);
    connect(PushButton4, &QPushButton::clicked, this, &Form4::PushButton4_Click);
}

void Form4::Form_Load()
{
    Procedure p(QStringLiteral("Form4"), QStringLiteral("Form_Load"));
    startWindow(p, this, {100, 102, 104, 106});
    p(108, [&] {
        static const int widths[ColumnCount] = {1300, 1600, 1600, 1600, 1600, 0};
        for (int column = 0; column < ColumnCount; ++column)
            ListView1->setColumnWidth(column, twips(widths[column]));
    });
    p(110, [&] { ListView1->clear(); });
    p(112, [&] { ListView1->viewport()->update(); });
    p(114, [&] { m_panel->refreshTotals(false); });
    p(116, [&] { m_panel->resetSelectionPass(); });
    p(118, [&] { setTotalsLabelWhite(Label1); });
    p(120, [&] { setTotalsLabelWhite(Label2); });
}

void Form4::copyRowsFromMainList()
{
    // Built apart and added in one call: one insertion instead of one per row.
    const int rows = m_mainList->topLevelItemCount();
    QList<QTreeWidgetItem *> copies;
    copies.reserve(rows);
    for (int index = 0; index < rows; ++index)
        copies.append(m_mainList->topLevelItem(index)->clone());
    ListView1->addTopLevelItems(copies);
}

void Form4::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    Form_Resize();
}

void Form4::Form_Resize()
{
    if (!m_panel)
        return;
    const QSize outer = frameGeometry().size();
    const Form4Layout layout = layoutForm4(outer.width() * 15, outer.height() * 15);
    ListView1->setGeometry(pixels(layout.list));
    for (int column = 0; column < ColumnCount; ++column)
        ListView1->setColumnWidth(column, twips(layout.columns[column]));
    Label1->setGeometry(pixels(layout.label1));
    Label2->setGeometry(pixels(layout.label2));
    PushButton5->setGeometry(pixels(layout.checkAll));
    PushButton6->setGeometry(pixels(layout.uncheckAll));
    PushButton9->setGeometry(pixels(layout.containing));
    PushButton10->setGeometry(pixels(layout.notContaining));
    PushButton7->setGeometry(pixels(layout.clearList));
    PushButton1->setGeometry(pixels(layout.maximize));
    PushButton4->setGeometry(pixels(layout.back));
    m_panel->refreshTotals(false);
}

void Form4::PushButton7_Click()
{
    Procedure p(QStringLiteral("Form4"), QStringLiteral("PushButton7_Click"));
    p(100, [&] { ListView1->clear(); });
    p(102, [&] { m_mainList->clear(); });
    p(104, [&] { m_panel->refreshTotals(true); });
}

void Form4::PushButton1_Click()
{
    Procedure p(QStringLiteral("Form4"), QStringLiteral("PushButton1_Click"));
    p(100, [&] { setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized); });
}

void Form4::PushButton4_Click()
{
    Procedure p(QStringLiteral("Form4"), QStringLiteral("PushButton4_Click"));
    p(100, [&] { close(); });
}

void Form4::done(int result)
{
    Form_Unload();
    QDialog::done(result);
}

void Form4::Form_Unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    // Row i here is row i there: the window is modal, and only its own "Clear List" changes
    // the main list, which it empties on both sides.
    const int rows = qMin(ListView1->topLevelItemCount(), m_mainList->topLevelItemCount());
    for (int index = 0; index < rows; ++index) {
        const Qt::CheckState state = ListView1->topLevelItem(index)->checkState(FromColumn);
        QTreeWidgetItem *mainRow = m_mainList->topLevelItem(index);
        if (mainRow->checkState(FromColumn) != state)
            mainRow->setCheckState(FromColumn, state);
    }
}
