#include "list/Form7.h"

#include "core/AppGlobals.h"
#include "core/HoverPointer.h"
#include "core/Procedure.h"
#include "core/ProgramFolder.h"
#include "core/SettingsStore.h"
#include "core/Twips.h"
#include "core/Utilities.h"

#include <QComboBox>
#include <QGroupBox>
#include <QPushButton>

Form7::Form7(const QString &labelFilter, QWidget *parent) : QDialog(parent), LabelFilter(labelFilter)
{
    setObjectName(QStringLiteral("Form7"));
    setWindowTitle(QStringLiteral("Filter By Label"));
    setFixedSize(twips(8040), twips(1545));
    Frame2 = place(new QGroupBox(QStringLiteral("Filter By Label"), this), "Frame2",
                   twipsRect(120, 90, 7800, 840));
    // A drop-down list: the user picks a listed label and cannot type one.
    Combo1 = place(new QComboBox(Frame2), "Combo1", twipsRect(240, 300, 7335, 345));
    Combo1->setEditable(false);
    PushButton1 = place(new QPushButton(QStringLiteral("OK"), this), "PushButton1",
                        twipsRect(120, 1035, 3840, 405));
    PushButton3 = place(new QPushButton(QStringLiteral("Cancel"), this), "PushButton3",
                        twipsRect(4080, 1035, 3840, 405));
    PushButton1->setDefault(true);
    followHoverRule(this, {Frame2, Combo1, PushButton1, PushButton3});
    connect(PushButton1, &QPushButton::clicked, this, &Form7::PushButton1_Click);
    connect(PushButton3, &QPushButton::clicked, this, &Form7::PushButton3_Click);
}

void Form7::showEvent(QShowEvent *event)
{
    // A modal window becomes the active one as it is shown. Filling the list again on every
    // later activation would throw away the label the user had just picked.
    if (!m_loaded) {
        m_loaded = true;
        Form_Load();
        Form_Activate();
    }
    QDialog::showEvent(event);
}

void Form7::Form_Load()
{
    Procedure p(QStringLiteral("Form7"), QStringLiteral("Form_Load"));
    p(100, [&] { FlattenColors(this); });
    p(102, [&] { setWindowIcon(QIcon(programFile(QStringLiteral("quorvale.png")))); });
    if (p.test(104, [&] { return PathExists(programFile(QStringLiteral("HAND-M.CUR"))); }))
        p(106, [&] { setHoverPointerImage(this, loadPointerImage(programFile(QStringLiteral("HAND-M.CUR")))); });
}

void Form7::Form_Activate()
{
    Procedure p(QStringLiteral("Form7"), QStringLiteral("Form_Activate"));
    int found = -1;
    p(100, [&] { Combo1->clear(); });
    p(102, [&] {
        const QStringList &labels = globals().LabelNames;
        for (int i = 0; i < labels.size(); ++i) {
            Combo1->addItem(labels.at(i));
            if (labels.at(i) == LabelFilter)
                found = i;
        }
    });
    p(104, [&] { Combo1->setCurrentIndex(!LabelFilter.isEmpty() && found >= 0 ? found : -1); });
}

void Form7::PushButton1_Click()
{
    Procedure p(QStringLiteral("Form7"), QStringLiteral("PushButton1_Click"));
    p(100, [&] { LabelFilter = Combo1->currentIndex() >= 0 ? Combo1->currentText() : QString(); });
    p(102, [&] { saveSetting(QStringLiteral("LabelFilter"), LabelFilter); });
    p(104, [&] { accept(); });
}

void Form7::PushButton3_Click()
{
    Procedure p(QStringLiteral("Form7"), QStringLiteral("PushButton3_Click"));
    p(100, [&] { reject(); });
}

void Form7::done(int result)
{
    // However the window closes: a download running under it ends without its "Done." box.
    globals().SkipDoneMessage = true;
    QDialog::done(result);
}
