#include "list/MessageListPanel.h"

#include "core/MessageBox.h"
#include "core/Procedure.h"
#include "list/MessageList.h"
#include "list/MessageListView.h"
#include "list/SelectionTools.h"
#include "platform/Dialogs.h"

#include <QLabel>
#include <QPushButton>

MessageListPanel::MessageListPanel(QObject *parent, QString windowName,
                                   const MessageListPanelControls &controls)
    : QObject(parent), m_windowName(std::move(windowName)), m_controls(controls)
{
    connect(controls.checkAll, &QPushButton::clicked, this, &MessageListPanel::checkAllClick);
    connect(controls.uncheckAll, &QPushButton::clicked, this, &MessageListPanel::uncheckAllClick);
    connect(controls.checkContaining, &QPushButton::clicked, this,
            &MessageListPanel::checkContainingClick);
    connect(controls.checkNotContaining, &QPushButton::clicked, this,
            &MessageListPanel::checkNotContainingClick);
    connect(controls.list, &MessageListView::itemCheck, this, [this] { refreshTotals(false); });
}

void MessageListPanel::refreshTotals(bool reset)
{
    RefreshTotals(m_controls.list, m_controls.totalLabel, m_controls.selectedLabel, reset);
}

QString MessageListPanel::procedureName(const QPushButton *button) const
{
    return button->objectName() + QStringLiteral("_Click");
}

void MessageListPanel::checkAllClick()
{
    setAllRows(m_controls.checkAll, true);
}

void MessageListPanel::uncheckAllClick()
{
    setAllRows(m_controls.uncheckAll, false);
}

void MessageListPanel::checkContainingClick()
{
    checkRowsByText(m_controls.checkContaining, true);
}

void MessageListPanel::checkNotContainingClick()
{
    checkRowsByText(m_controls.checkNotContaining, false);
}

void MessageListPanel::setAllRows(QPushButton *button, bool checked)
{
    Procedure p(m_windowName, procedureName(button));
    p(100, [&] { checkAllRows(m_controls.list, checked); });
    p(102, [&] { refreshTotals(false); });
    p(104, [&] { m_selectionPassFlag = false; });
}

void MessageListPanel::checkRowsByText(QPushButton *button, bool containing)
{
    Procedure p(m_windowName, procedureName(button));
    QString x;
    p(100, [&] {
        x = platform::dialogs().inputBox(QStringLiteral("Enter X:"), applicationTitle(), QString());
    });
    p(102, [&] { ::checkRowsByText(m_controls.list, x, containing, m_selectionPassFlag); });
    p(104, [&] { refreshTotals(false); });
}

void setTotalsLabelWhite(QLabel *label)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, QColor(255, 255, 255));
    label->setPalette(palette);
    label->setAutoFillBackground(true);
}
