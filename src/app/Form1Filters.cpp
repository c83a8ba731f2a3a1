// The "Filter Options" frame: the two filter windows, their "Clear Filter" and "?" buttons.

#include "app/Form1.h"

#include "core/MessageBox.h"
#include "core/Procedure.h"
#include "core/SettingsStore.h"
#include "list/Form6.h"
#include "list/Form7.h"

#include <QLabel>
#include <QPushButton>

namespace {

const QString kNotConnected = QStringLiteral("Please connect first (Step 1) before using this feature.");

// Where the provider explains labels.
const QString kLabelHelpAddress = QStringLiteral("https://support.google.com/mail/answer/118708");

}  // namespace

void Form1::PushButton14_Click()
{
    Procedure p(QStringLiteral("Form1"), QStringLiteral("PushButton14_Click"));
    if (p.test(100, [&] { return PushButton3->text() == QLatin1String("1. Connect"); })) {
        p(102, [&] { showMessage(kNotConnected); });
        return;
    }
    Form6 window(CharactersFilter, this);
    p(104, [&] {
        window.exec();
        CharactersFilter = window.CharactersFilter;
    });
    if (p.test(106, [&] { return CharactersFilter.isEmpty(); }))
        p(108, [&] { Label3->setText(QStringLiteral("No Character Filter set")); });
    else
        p(110, [&] { Label3->setText(QStringLiteral("Character Filter: ") + CharactersFilter); });
}

void Form1::PushButton13_Click()
{
    Procedure p(QStringLiteral("Form1"), QStringLiteral("PushButton13_Click"));
    if (p.test(100, [&] { return PushButton3->text() == QLatin1String("1. Connect"); })) {
        p(102, [&] { showMessage(kNotConnected); });
        return;
    }
    Form7 window(LabelFilter, this);
    p(104, [&] {
        window.exec();
        LabelFilter = window.LabelFilter;
    });
    if (p.test(106, [&] { return LabelFilter.isEmpty(); }))
        p(108, [&] { Label4->setText(QStringLiteral("No Label Filter set")); });
    else
        p(110, [&] { Label4->setText(QStringLiteral("Label Filter: ") + LabelFilter); });
}

void Form1::PushButton17_Click()
{
    Procedure p(QStringLiteral("Form1"), QStringLiteral("PushButton17_Click"));
    p(100, [&] { CharactersFilter.clear(); });
    p(102, [&] { saveSetting(QStringLiteral("CharactersFilter"), QString()); });
    p(104, [&] { Label3->setText(QStringLiteral("No Character Filter set")); });
}

void Form1::PushButton18_Click()
{
    Procedure p(QStringLiteral("Form1"), QStringLiteral("PushButton18_Click"));
    p(100, [&] { LabelFilter.clear(); });
    p(102, [&] { saveSetting(QStringLiteral("LabelFilter"), QString()); });
    p(104, [&] { Label4->setText(QStringLiteral("No Label Filter set")); });
}

void Form1::PushButton15_Click()
{
    Procedure p(QStringLiteral("Form1"), QStringLiteral("PushButton15_Click"));
    p(100, [&] {
        showMessage(QStringLiteral("Search feature. This feature will allow you to only show emails "
                                   "containing certain text so that you do not have to look at all "
                                   "the emails in the folder."));
    });
}

void Form1::PushButton16_Click()
{
    Procedure p(QStringLiteral("Form1"), QStringLiteral("PushButton16_Click"));
    p(100, [&] {
        showMessage(QStringLiteral("This feature will allow you to show only emails that are "
                                   "associated with a certain label. \r\n\r\nIf you are new to "
                                   "Gmail and do not know what a label is, see ")
                    + kLabelHelpAddress);
    });
}
