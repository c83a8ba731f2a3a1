// The "Get Some Emails" range dialog: its load, the checks of "Continue" and what it leaves
// behind for the download.

#include "core/AppGlobals.h"
#include "core/Twips.h"
#include "mail/Form2.h"
#include "platform/ScriptedDialogs.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

class TestForm2 : public QObject {
    Q_OBJECT
private slots:
    void init();
    void loadShowsTheMaximumAndSelectsIt();
    void firstNumberMustBePositive_data();
    void firstNumberMustBePositive();
    void lastNumberMustBeWithinTheMailbox_data();
    void lastNumberMustBeWithinTheMailbox();
    void continueHandsTheRangeOverRounded();
    void numberBeyondThirtyTwoBitsIsRefused_data();
    void numberBeyondThirtyTwoBitsIsRefused();
    void fromGreaterThanToIsAccepted();
    void closingWithoutContinueConfirmsNothing();
    void command1RunsContinue();

private:
    std::unique_ptr<Form2> openDialog(int maxMessage);
    std::unique_ptr<platform::ScriptedDialogs> m_dialogs;
    ImapSessionPtr m_session;
};

void TestForm2::init()
{
    globals() = AppGlobals();
    m_dialogs = std::make_unique<platform::ScriptedDialogs>();
    m_session = clsImapSession::create();
}

std::unique_ptr<Form2> TestForm2::openDialog(int maxMessage)
{
    auto dialog = std::make_unique<Form2>();
    dialog->ImapSession = m_session;
    dialog->MaxMessage = maxMessage;
    dialog->show();
    return dialog;
}

void TestForm2::loadShowsTheMaximumAndSelectsIt()
{
    globals().RangeConfirmed = true;
    auto dialog = openDialog(10);
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Get Some Emails"));
    QCOMPARE(dialog->Text1_1->text(), QStringLiteral("10"));
    QCOMPARE(dialog->Label1_1->text(), QStringLiteral("To (Max of 10)"));
    QCOMPARE(dialog->Text1_0->text(), QStringLiteral("1"));
    QCOMPARE(dialog->Text1_1->selectedText(), QStringLiteral("10"));
    QVERIFY(!globals().RangeConfirmed);
    QCOMPARE(dialog->PushButton1->geometry(), twipsRect(540, 1320, 3135, 435));
    QCOMPARE(dialog->Command1->text(), QStringLiteral("Command1"));
}

void TestForm2::firstNumberMustBePositive_data()
{
    QTest::addColumn<QString>("first");
    QTest::newRow("zero") << "0";
    QTest::newRow("negative") << "-3";
    QTest::newRow("no digits") << "abc";
    QTest::newRow("empty") << "";
}

void TestForm2::firstNumberMustBePositive()
{
    QFETCH(QString, first);
    auto dialog = openDialog(10);
    dialog->Text1_0->setText(first);
    dialog->PushButton1->click();
    QCOMPARE(m_dialogs->messageTexts(), QStringList{"Please input a value greater than zero."});
    QVERIFY(dialog->isVisible());
    QVERIFY(!globals().RangeConfirmed);
}

void TestForm2::lastNumberMustBeWithinTheMailbox_data()
{
    QTest::addColumn<QString>("last");
    QTest::newRow("above the maximum") << "11";
    QTest::newRow("zero") << "0";
    QTest::newRow("no digits") << "x5";
}

void TestForm2::lastNumberMustBeWithinTheMailbox()
{
    QFETCH(QString, last);
    auto dialog = openDialog(10);
    dialog->Text1_1->setText(last);
    dialog->PushButton1->click();
    QCOMPARE(m_dialogs->messageTexts(),
             QStringList{"Please input max value greater than zero (0) and less than or equal to 10."});
    QVERIFY(dialog->isVisible());
}

void TestForm2::continueHandsTheRangeOverRounded()
{
    auto dialog = openDialog(10);
    dialog->Text1_0->setText(" 2.5");
    dialog->Text1_1->setText("3.5 messages");
    dialog->PushButton1->click();
    QVERIFY(m_dialogs->shown.isEmpty());
    QCOMPARE(m_session->CurrentLocation, 2);
    QCOMPARE(m_session->MaxRecord, 4);
    QVERIFY(globals().RangeConfirmed);
    QVERIFY(globals().SkipDoneMessage);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
}

void TestForm2::numberBeyondThirtyTwoBitsIsRefused_data()
{
    QTest::addColumn<QString>("first");
    QTest::newRow("ten digits") << "3000000000";
    QTest::newRow("exponent") << "1e10";
}

void TestForm2::numberBeyondThirtyTwoBitsIsRefused()
{
    QFETCH(QString, first);
    auto dialog = openDialog(10);
    dialog->Text1_0->setText(first);
    dialog->Text1_1->setText("5");
    dialog->PushButton1->click();
    QCOMPARE(m_dialogs->shown.size(), 1);
    QVERIFY(m_dialogs->messageTexts().first().contains("Overflow"));
    QVERIFY(dialog->isVisible());
    QVERIFY(!globals().RangeConfirmed);
    QCOMPARE(m_session->MaxRecord, 0);
}

void TestForm2::fromGreaterThanToIsAccepted()
{
    auto dialog = openDialog(10);
    dialog->Text1_0->setText("6");
    dialog->Text1_1->setText("5");
    dialog->PushButton1->click();
    QVERIFY(globals().RangeConfirmed);
    QCOMPARE(m_session->CurrentLocation, 6);
    QCOMPARE(m_session->MaxRecord, 5);
}

void TestForm2::closingWithoutContinueConfirmsNothing()
{
    auto dialog = openDialog(10);
    dialog->close();
    QVERIFY(!globals().RangeConfirmed);
    QVERIFY(globals().SkipDoneMessage);
    QCOMPARE(m_session->MaxRecord, 0);
}

void TestForm2::command1RunsContinue()
{
    auto dialog = openDialog(4);
    dialog->Text1_0->setText("3");
    dialog->Command1->click();
    QVERIFY(globals().RangeConfirmed);
    QCOMPARE(m_session->CurrentLocation, 3);
    QCOMPARE(m_session->MaxRecord, 4);
}

QTEST_MAIN(TestForm2)
#include "tst_form2.moc"
