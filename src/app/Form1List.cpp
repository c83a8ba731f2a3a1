// The message list's own button on the main window, "Clear List"; the list, its totals and the
// selection tools are the list panel's.

#include "app/Form1.h"

#include "core/Procedure.h"
#include "list/Form4.h"
#include "list/MessageListPanel.h"
#include "list/MessageListView.h"

bool Form1::selectionPassFlag() const
{
    return panel->selectionPassFlag();
}

void Form1::PushButton7_Click()
{
    Procedure p(QStringLiteral("Form1"), QStringLiteral("PushButton7_Click"));
    if (p.test(100, [&] { return !isBusy(); })) {
        p(102, [&] { ListView1->clear(); });
        p(104, [&] { panel->refreshTotals(true); });
    }
}

void Form1::PushButton11_Click()
{
    Procedure p(QStringLiteral("Form1"), QStringLiteral("PushButton11_Click"));
    Form4 larger(ListView1, this);
    p(100, [&] { larger.copyRowsFromMainList(); });
    p(102, [&] { larger.setWindowState(Qt::WindowMaximized); });
    p(104, [&] { larger.exec(); });
    p(106, [&] { panel->refreshTotals(false); });
}
