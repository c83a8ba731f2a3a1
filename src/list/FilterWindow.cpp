#include "list/FilterWindow.h"

#include "core/AppGlobals.h"
#include "core/HoverPointer.h"
#include "core/Procedure.h"
#include "core/SettingsStore.h"
#include "core/Twips.h"
#include "core/WindowStartUp.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

namespace {

// What the two windows' designs differ in (twips).
struct Design {
    const char *name;
    const char *title;
    const char *frameCaption;
    int height;
    int frameTop;
    int buttonTop;
    const char *cancelName;
    const char *setting;
};

const Design &designOf(FilterWindow::Kind kind)
{
    static const Design characters{"Form6", "Filter By Characters",
                                   "Filter By Characters - only emails containing these "
                                   "characters will be retrieved",
                                   1590, 120, 1080, "PushButton2", "CharactersFilter"};
    static const Design label{"Form7", "Filter By Label", "Filter By Label",
                              1545, 90, 1035, "PushButton3", "LabelFilter"};
    return kind == FilterWindow::Kind::Characters ? characters : label;
}

}  // namespace

FilterWindow::FilterWindow(Kind kind, const QString &filter, QWidget *parent)
    : QDialog(parent), filter(filter), m_kind(kind)
{
    buildControls();
    connect(PushButton1, &QPushButton::clicked, this, &FilterWindow::okClick);
    connect(cancelButton, &QPushButton::clicked, this, &FilterWindow::cancelClick);
}

void FilterWindow::buildControls()
{
    const Design &design = designOf(m_kind);
    setObjectName(QLatin1String(design.name));
    setWindowTitle(QLatin1String(design.title));
    setFixedSize(twips(8040), twips(design.height));
    Frame2 = place(new QGroupBox(QLatin1String(design.frameCaption), this), "Frame2",
                   twipsRect(120, design.frameTop, 7800, 840));
    QWidget *editor = nullptr;
    if (m_kind == Kind::Characters) {
        editor = txtSearch = place(new QLineEdit(Frame2), "txtSearch", twipsRect(240, 300, 7335, 345));
    } else {
        // A drop-down list: the user picks a listed label and cannot type one.
        editor = Combo1 = place(new QComboBox(Frame2), "Combo1", twipsRect(240, 300, 7335, 345));
        Combo1->setEditable(false);
    }
    PushButton1 = place(new QPushButton(QStringLiteral("OK"), this), "PushButton1",
                        twipsRect(120, design.buttonTop, 3840, 405));
    cancelButton = place(new QPushButton(QStringLiteral("Cancel"), this), design.cancelName,
                         twipsRect(4080, design.buttonTop, 3840, 405));
    PushButton1->setDefault(true);
    followHoverRule(this, {Frame2, editor, PushButton1, cancelButton});
}

void FilterWindow::showEvent(QShowEvent *event)
{
    // A modal window becomes the active one as it is shown. Filling the label list again on
    // every later activation would throw away the label the user had just picked.
    if (!m_loaded) {
        m_loaded = true;
        Procedure p(objectName(), QStringLiteral("Form_Load"));
        startWindow(p, this, {100, 102, 104, 106});
        m_kind == Kind::Characters ? showCharacters() : showLabels();
    }
    QDialog::showEvent(event);
}

void FilterWindow::showCharacters()
{
    Procedure p(objectName(), QStringLiteral("Form_Activate"));
    if (p.test(100, [&] { return !filter.isEmpty(); }))
        p(102, [&] { txtSearch->setText(filter); });
    p(104, [&] {
        txtSearch->setFocus();
        txtSearch->selectAll();
    });
}

void FilterWindow::showLabels()
{
    Procedure p(objectName(), QStringLiteral("Form_Activate"));
    int found = -1;
    p(100, [&] { Combo1->clear(); });
    p(102, [&] {
        const QStringList &labels = globals().LabelNames;
        for (int i = 0; i < labels.size(); ++i) {
            Combo1->addItem(labels.at(i));
            if (labels.at(i) == filter)
                found = i;
        }
    });
    p(104, [&] { Combo1->setCurrentIndex(!filter.isEmpty() && found >= 0 ? found : -1); });
}

QString FilterWindow::settingName(Kind kind)
{
    return QLatin1String(designOf(kind).setting);
}

void FilterWindow::okClick()
{
    Procedure p(objectName(), QStringLiteral("PushButton1_Click"));
    p(100, [&] {
        if (txtSearch)
            filter = txtSearch->text();
        else
            filter = Combo1->currentIndex() >= 0 ? Combo1->currentText() : QString();
    });
    p(102, [&] { saveSetting(settingName(m_kind), filter); });
    p(104, [&] { accept(); });
}

void FilterWindow::cancelClick()
{
    Procedure p(objectName(), cancelButton->objectName() + QStringLiteral("_Click"));
    p(100, [&] { reject(); });
}

void FilterWindow::done(int result)
{
    // However the window closes: a download running under it ends without its "Done." box.
    globals().SkipDoneMessage = true;
    QDialog::done(result);
}
