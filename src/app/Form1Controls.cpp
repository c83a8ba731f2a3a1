// Builds the main window's controls at their designed places (twips).

#include "app/Form1.h"
#include "app/FolderOptions.h"
#include "app/StatusProgressBar.h"
#include "core/HoverPointer.h"
#include "core/SkinFramework.h"
#include "core/Twips.h"
#include "list/MessageListPanel.h"
#include "list/MessageListView.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {

QLabel *makeLabel(QWidget *parent, const char *name, const char *text, const QRect &geometry)
{
    return place(new QLabel(QString::fromUtf8(text), parent), name, geometry);
}

}  // namespace

// Every push button is 405 twips high.
QPushButton *Form1::makeButton(QWidget *parent, const char *name, const char *caption, int left, int top,
                               int width)
{
    auto *button = place(new QPushButton(QString::fromUtf8(caption), parent), name,
                         twipsRect(left, top, width, 405));
    followHoverRule(this, {button});
    return button;
}

void Form1::createControls()
{
    setObjectName(QStringLiteral("Form1"));
    setFixedSize(twips(8040), twips(11400));
    createLoginFrame();
    createFolderFrame();
    createFilterFrame();
    createListArea();
    createPrintArea();
    SkinFramework1 = new SkinFramework(this);
    SkinFramework1->setObjectName(QStringLiteral("SkinFramework1"));
    followHoverRule(this, {Frame1, Frame2, Frame5, Frame6, Text1, Text2, ListView1});
    // The text boxes select their text when they take the focus.
    Text1->installEventFilter(this);
    Text2->installEventFilter(this);
}

void Form1::createLoginFrame()
{
    Frame5 = place(new QGroupBox(QStringLiteral("Gmail Login"), this), "Frame5",
                   twipsRect(120, 120, 3840, 2790));
    makeLabel(Frame5, "LabelUser", "Gmail username:", twipsRect(120, 300, 3600, 255));
    Text1 = place(new QLineEdit(Frame5), "Text1", twipsRect(120, 555, 3600, 345));
    makeLabel(Frame5, "LabelPassword", "Password:", twipsRect(120, 960, 3600, 255));
    Text2 = place(new QLineEdit(Frame5), "Text2", twipsRect(120, 1215, 3600, 345));
    Text2->setEchoMode(QLineEdit::Password);
    Check1 = place(new QCheckBox(QStringLiteral("Remember me"), Frame5), "Check1",
                   twipsRect(120, 1650, 3600, 255));
    Check2 = place(new QCheckBox(QStringLiteral("Autoconnect when software loads"), Frame5),
                   "Check2", twipsRect(120, 1950, 3600, 255));
    PushButton1 = makeButton(Frame5, "PushButton1", "Help", 120, 2280, 1200);
    PushButton3 = makeButton(Frame5, "PushButton3", "1. Connect", 1440, 2280, 2280);
}

void Form1::createFolderFrame()
{
    Frame2 = place(new QGroupBox(QStringLiteral("Folder"), this), "Frame2",
                   twipsRect(4080, 120, 3840, 2790));
    const QStringList &captions = designedFolderCaptions();
    for (int i = 0; i < captions.size(); ++i) {
        const QByteArray name = "Option" + QByteArray::number(i + 3);
        auto *option = place(new QRadioButton(captions[i], Frame2), name.constData(),
                             twipsRect(240, 300 + i * 300, 3480, 255));
        folderOptions << option;
    }
    folderOptions.first()->setChecked(true);
}

void Form1::createFilterFrame()
{
    Frame6 = place(new QGroupBox(QStringLiteral("Filter Options"), this), "Frame6",
                   twipsRect(120, 3030, 7800, 1380));
    PushButton15 = makeButton(Frame6, "PushButton15", "?", 120, 300, 345);
    PushButton14 = makeButton(Frame6, "PushButton14", "Filter By Characters", 600, 300, 2640);
    Label3 = makeLabel(Frame6, "Label3", "No Character Filter set", twipsRect(3360, 300, 2610, 405));
    PushButton17 = makeButton(Frame6, "PushButton17", "Clear Filter", 6120, 300, 1440);
    PushButton16 = makeButton(Frame6, "PushButton16", "?", 120, 800, 345);
    PushButton13 = makeButton(Frame6, "PushButton13", "Filter By Label", 600, 800, 2640);
    Label4 = makeLabel(Frame6, "Label4", "No Label Filter set", twipsRect(3360, 795, 2610, 405));
    PushButton18 = makeButton(Frame6, "PushButton18", "Clear Filter", 6120, 800, 1440);
    // They show a label name or a filter text the user chose: characters, never markup.
    Label3->setTextFormat(Qt::PlainText);
    Label4->setTextFormat(Qt::PlainText);
}

void Form1::createListArea()
{
    PushButton2 = makeButton(this, "PushButton2", "2a. Get All Emails", 120, 4515, 3840);
    PushButton10 = makeButton(this, "PushButton10", "2b. Get Some Emails", 4080, 4515, 3840);
    PushButton11 = makeButton(this, "PushButton11", "Show List In Larger View", 120, 5025, 7800);
    ListView1 = place(new MessageListView(this), "ListView1", twipsRect(120, 5535, 7800, 1860));
    Label1 = makeLabel(this, "Label1", "Total Number Of Emails: ", twipsRect(120, 7485, 3840, 255));
    Label2 = makeLabel(this, "Label2", "Selected Emails: ", twipsRect(4080, 7485, 3840, 255));
    PushButton5 = makeButton(this, "PushButton5", "Check All Emails", 120, 7845, 3840);
    PushButton6 = makeButton(this, "PushButton6", "Uncheck All Emails", 4080, 7845, 3840);
    PushButton9 = makeButton(this, "PushButton9", "Check Emails Containing...", 120, 8355, 3840);
    PushButton8 = makeButton(this, "PushButton8", "Check Emails Not Containing...", 4080, 8355, 3840);
    PushButton7 = makeButton(this, "PushButton7", "Clear List", 120, 8865, 7800);
    panel = new MessageListPanel(this, QStringLiteral("Form1"),
                                 {ListView1, Label1, Label2, PushButton5, PushButton6, PushButton9, PushButton8});
}

void Form1::createPrintArea()
{
    PushButton4 = makeButton(this, "PushButton4", "3. Preview Selected Messages", 120, 9375, 7800);
    Frame1 = place(new QGroupBox(QStringLiteral("Print Options"), this), "Frame1",
                   twipsRect(120, 9885, 7800, 900));
    Option1 = place(new QRadioButton(QStringLiteral("Print email as it appears in browser (with images)"),
                                     Frame1),
                    "Option1", twipsRect(240, 270, 7440, 255));
    Option2 = place(new QRadioButton(QStringLiteral("Print as plain text"), Frame1), "Option2",
                    twipsRect(240, 570, 7440, 255));
    Option1->setChecked(true);
    ProgressBar1 = place(new StatusProgressBar(this), "ProgressBar1", twipsRect(120, 10890, 7800, 405));
}
