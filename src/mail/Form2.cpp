#include "mail/Form2.h"

#include "core/AppError.h"
#include "core/AppGlobals.h"
#include "core/Conversions.h"
#include "core/HoverPointer.h"
#include "core/MessageBox.h"
#include "core/Procedure.h"
#include "core/Twips.h"
#include "core/Utilities.h"
#include "core/WindowStartUp.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

Form2::Form2(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Get Some Emails"));
    setFixedSize(twips(4215), twips(2900));
    Label1_0 = place(new QLabel(QStringLiteral("From:"), this), "Label1_0", twipsRect(540, 360, 1575, 255));
    Text1_0 = place(new QLineEdit(QStringLiteral("1"), this), "Text1_0", twipsRect(540, 660, 1515, 375));
    Label1_1 = place(new QLabel(QStringLiteral("To (Max of 0):"), this), "Label1_1",
                     twipsRect(2160, 360, 1575, 255));
    Text1_1 = place(new QLineEdit(QStringLiteral("1"), this), "Text1_1", twipsRect(2160, 660, 1515, 375));
    PushButton1 = place(new QPushButton(QStringLiteral("Continue"), this), "PushButton1",
                        twipsRect(540, 1320, 3135, 435));
    Command1 = place(new QPushButton(QStringLiteral("Command1"), this), "Command1",
                     twipsRect(1440, 2340, 990, 360));
    // Between "Continue" and Command1, so that no control of the range moves.
    PushButtonMatching = place(new QPushButton(QStringLiteral("Get Emails Matching..."), this),
                               "PushButtonMatching", twipsRect(540, 1845, 3135, 405));
    PushButton1->setAutoDefault(false);
    Command1->setAutoDefault(false);
    PushButtonMatching->setAutoDefault(false);
    followHoverRule(this, {PushButton1, PushButtonMatching});
    connect(PushButtonMatching, &QPushButton::clicked, this, &Form2::PushButtonMatching_Click);
    connect(PushButton1, &QPushButton::clicked, this, &Form2::PushButton1_Click);
    connect(Command1, &QPushButton::clicked, this, &Form2::Command1_Click);
}

void Form2::showEvent(QShowEvent *event)
{
    if (!m_loaded) {
        m_loaded = true;
        Form_Load();
    }
    QDialog::showEvent(event);
}

void Form2::Form_Load()
{
    Procedure p(QStringLiteral("Form2"), QStringLiteral("Form_Load"));
    startWindow(p, this, {100, 102, 104, 106});
    p(108, [&] { globals().RangeConfirmed = false; });
    p(110, [&] {
        Text1_1->setText(QString::number(MaxMessage));
        Label1_1->setText(QStringLiteral("To (Max of ") + QString::number(MaxMessage) + QStringLiteral(")"));
    });
    p(112, [&] {
        setTabOrder(Text1_1, Text1_0);
        Text1_1->setFocus();
        Text1_1->selectAll();
    });
}

void Form2::PushButton1_Click()
{
    Procedure p(QStringLiteral("Form2"), QStringLiteral("PushButton1_Click"));
    double first = 0;
    double last = 0;
    p(100, [&] { first = leadingNumber(Text1_0->text()); });
    if (p.test(102, [&] { return !(first > 0); })) {
        p(104, [&] { showMessage(QStringLiteral("Please input a value greater than zero.")); });
        return;
    }
    p(106, [&] { last = leadingNumber(Text1_1->text()); });
    if (p.test(108, [&] { return !(last > 0) || last > MaxMessage; })) {
        p(110, [&] {
            showMessage(QStringLiteral("Please input max value greater than zero (0) and less than or equal to ")
                        + QString::number(MaxMessage) + QStringLiteral("."));
        });
        return;
    }
    bool rangeSet = false;
    p(112, [&] {
        if (!ImapSession)
            apperror::throwObjectNotSet();
        const qint32 firstNumber = roundToInteger(first);
        const qint32 lastNumber = roundToInteger(last);
        ImapSession->CurrentLocation = firstNumber;
        ImapSession->MaxRecord = lastNumber;
        rangeSet = true;
    });
    // A number that does not convert (3000000000, 1e10) is bad input like any other: its box
    // was shown, the dialog stays open and nothing is confirmed.
    if (!rangeSet)
        return;
    p(114, [&] { globals().RangeConfirmed = true; });
    p(116, [&] { accept(); });
}

void Form2::Command1_Click()
{
    PushButton1_Click();
}

void Form2::PushButtonMatching_Click()
{
    MatchingChosen = true;
    reject();
}

void Form2::done(int result)
{
    Form_Unload();
    QDialog::done(result);
}

void Form2::Form_Unload()
{
    // The search's own run ends as Get All does, with its "Done." box.
    if (!MatchingChosen)
        globals().SkipDoneMessage = true;
}
