// The message list's buttons: totals, ticks, the selection tools and "Clear List".

#include "app/Form1.h"

#include "core/MessageBox.h"
#include "core/Procedure.h"
#include "list/MessageList.h"
#include "list/MessageListView.h"
#include "list/SelectionTools.h"
#include "platform/Dialogs.h"

void Form1::refreshTotals(bool reset)
{
    RefreshTotals(ListView1, Label1, Label2, reset);
}

void Form1::ListView1_ItemCheck()
{
    refreshTotals(false);
}

void Form1::PushButton5_Click()
{
    Procedure p(QStringLiteral("Form1"), QStringLiteral("PushButton5_Click"));
    p(100, [&] { checkAllRows(ListView1, true); });
    p(102, [&] { refreshTotals(false); });
    p(104, [&] { m_selectionPassFlag = false; });
}

void Form1::PushButton6_Click()
{
    Procedure p(QStringLiteral("Form1"), QStringLiteral("PushButton6_Click"));
    p(100, [&] { checkAllRows(ListView1, false); });
    p(102, [&] { refreshTotals(false); });
    p(104, [&] { m_selectionPassFlag = false; });
}

void Form1::PushButton9_Click()
{
    checkRowsByText("PushButton9_Click", true);
}

void Form1::PushButton8_Click()
{
    checkRowsByText("PushButton8_Click", false);
}

void Form1::checkRowsByText(const char *procedure, bool containing)
{
    Procedure p(QStringLiteral("Form1"), QLatin1String(procedure));
    QString x;
    p(100, [&] {
        x = platform::dialogs().inputBox(QStringLiteral("Enter X:"), applicationTitle(), QString());
    });
    p(102, [&] { ::checkRowsByText(ListView1, x, containing, m_selectionPassFlag); });
    p(104, [&] { refreshTotals(false); });
}

void Form1::PushButton7_Click()
{
    Procedure p(QStringLiteral("Form1"), QStringLiteral("PushButton7_Click"));
    if (p.test(100, [&] { return !isBusy(); })) {
        p(102, [&] { ListView1->clear(); });
        p(104, [&] { refreshTotals(true); });
    }
}
