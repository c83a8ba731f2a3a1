#include "list/Form6.h"

#include "core/AppGlobals.h"
#include "core/HoverPointer.h"
#include "core/Procedure.h"
#include "core/ProgramFolder.h"
#include "core/SettingsStore.h"
#include "core/Twips.h"
#include "core/Utilities.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

Form6::Form6(const QString &charactersFilter, QWidget *parent)
    : QDialog(parent), CharactersFilter(charactersFilter)
{
    setObjectName(QStringLiteral("Form6"));
    setWindowTitle(QStringLiteral("Filter By Characters"));
    setFixedSize(twips(8040), twips(1590));
    Frame2 = place(new QGroupBox(QStringLiteral("Filter By Characters - only emails containing "
                                                "these characters will be retrieved"),
                                 this),
                   "Frame2", twipsRect(120, 120, 7800, 840));
    txtSearch = place(new QLineEdit(Frame2), "txtSearch", twipsRect(240, 300, 7335, 345));
    PushButton1 = place(new QPushButton(QStringLiteral("OK"), this), "PushButton1",
                        twipsRect(120, 1080, 3840, 405));
    PushButton2 = place(new QPushButton(QStringLiteral("Cancel"), this), "PushButton2",
                        twipsRect(4080, 1080, 3840, 405));
    PushButton1->setDefault(true);
    followHoverRule(this, {Frame2, txtSearch, PushButton1, PushButton2});
    connect(PushButton1, &QPushButton::clicked, this, &Form6::PushButton1_Click);
    connect(PushButton2, &QPushButton::clicked, this, &Form6::PushButton2_Click);
}

void Form6::showEvent(QShowEvent *event)
{
    // A modal window becomes the active one as it is shown.
    if (!m_loaded) {
        m_loaded = true;
        Form_Load();
        Form_Activate();
    }
    QDialog::showEvent(event);
}

void Form6::Form_Load()
{
    Procedure p(QStringLiteral("Form6"), QStringLiteral("Form_Load"));
    p(100, [&] { FlattenColors(this); });
    p(102, [&] { setWindowIcon(QIcon(programFile(QStringLiteral("quorvale.png")))); });
    if (p.test(104, [&] { return PathExists(programFile(QStringLiteral("HAND-M.CUR"))); }))
        p(106, [&] { setHoverPointerImage(this, loadPointerImage(programFile(QStringLiteral("HAND-M.CUR")))); });
}

void Form6::Form_Activate()
{
    Procedure p(QStringLiteral("Form6"), QStringLiteral("Form_Activate"));
    if (p.test(100, [&] { return !CharactersFilter.isEmpty(); }))
        p(102, [&] { txtSearch->setText(CharactersFilter); });
    p(104, [&] {
        txtSearch->setFocus();
        txtSearch->selectAll();
    });
}

void Form6::PushButton1_Click()
{
    Procedure p(QStringLiteral("Form6"), QStringLiteral("PushButton1_Click"));
    p(100, [&] { CharactersFilter = txtSearch->text(); });
    p(102, [&] { saveSetting(QStringLiteral("CharactersFilter"), CharactersFilter); });
    p(104, [&] { accept(); });
}

void Form6::PushButton2_Click()
{
    Procedure p(QStringLiteral("Form6"), QStringLiteral("PushButton2_Click"));
    p(100, [&] { reject(); });
}

void Form6::done(int result)
{
    // However the window closes: a download running under it ends without its "Done." box.
    globals().SkipDoneMessage = true;
    QDialog::done(result);
}
