// The main window headless: its controls, the start-up sequence with the settings it finds,
// the Help boxes, "Clear List", the pointer rules and closing.

#include "app/Form1.h"
#include "app/StatusProgressBar.h"
#include "core/MessageBox.h"
#include "core/ProgramFolder.h"
#include "core/SettingsStore.h"
#include "core/Twips.h"
#include "list/MessageList.h"
#include "list/MessageListView.h"
#include "mail/MailConnection.h"
#include "platform/PrivateTempFolder.h"
#include "platform/ScriptedDialogs.h"
#include "WindowTests.h"

#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

class TestForm1Startup : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void controlsStandAtTheirDesignedPlaces();
    void firstRunStartsEmptyWithInboxSelected();
    void rememberMeOffErasesTypedCredentials();
    void rememberMeOnRestoresTheUserName();
    void savedFolderIsSelectedAndAllEightKeysRewritten();
    void autoConnectWithoutRememberMeConnectsWithEmptyCredentials();
    void unreadableStoredValueShowsErrorAndGoesOn();
    void rememberMeEnablesAutoconnectBox();
    void helpShowsTwoBoxes();
    void clearListDoesNothingWhileBusy();
    void pointerFollowsTheHoverRule();
    void closingRunsShutdownOnce();

private:
    std::unique_ptr<Form1> loadForm();
    QStringList boxesAfterOnlineCheck() const;
    QTemporaryDir m_programDir;
    std::unique_ptr<platform::ScriptedDialogs> m_dialogs;
    int m_unloads = 0;
};

void TestForm1Startup::initTestCase()
{
    // A closed port: any connect fails at once. The online check pings this host.
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    const quint16 closedPort = probe.serverPort();
    probe.close();
    qputenv("QUORVALE_IMAP_HOST", "127.0.0.1");
    qputenv("QUORVALE_IMAP_PORT", QByteArray::number(closedPort));
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    setProgramFolder(m_programDir.path());
    Form1::setUnloadAction([this] { ++m_unloads; });
}

void TestForm1Startup::init()
{
    QFile::remove(settingsFilePath());
    m_dialogs = std::make_unique<platform::ScriptedDialogs>();
    setApplicationTitle(QStringLiteral("Quorvale"));
    m_unloads = 0;
}

void TestForm1Startup::cleanup()
{
    m_dialogs.reset();
    QFile::remove(m_programDir.filePath("HAND-M.CUR"));
}

// The boxes shown, less the online check's, which depends on whether this machine may ping.
QStringList TestForm1Startup::boxesAfterOnlineCheck() const
{
    QStringList texts = m_dialogs->messageTexts();
    texts.removeAll(QStringLiteral("You must be online to use this software accurately."));
    return texts;
}

std::unique_ptr<Form1> TestForm1Startup::loadForm()
{
    auto form = std::make_unique<Form1>();
    form->Form_Load();
    return form;
}

void TestForm1Startup::controlsStandAtTheirDesignedPlaces()
{
    auto form = loadForm();
    QCOMPARE(form->windowTitle(), QStringLiteral("Quorvale"));
    const QStringList names = {
        "Frame5", "Text1", "Text2", "Check1", "Check2", "PushButton1", "PushButton3", "Frame2",
        "Option3", "Option4", "Option5", "Option6", "Option7", "Option8", "Option9", "Option10",
        "ListView1", "Label1", "Label2", "Frame6", "Label3", "Label4", "ProgressBar1", "Frame1",
        "Option1", "Option2", "SkinFramework1", "PushButton2", "PushButton10", "PushButton4",
        "PushButton5", "PushButton6", "PushButton9", "PushButton8", "PushButton7",
        "PushButton11", "PushButton13", "PushButton14", "PushButton17", "PushButton18",
        "PushButton15", "PushButton16"};
    for (const QString &name : names)
        QVERIFY2(form->findChild<QObject *>(name), qPrintable(name));

    auto at = [&](const char *name) { return form->findChild<QWidget *>(name)->geometry(); };
    QCOMPARE(at("PushButton2"), twipsRect(120, 4515, 3840, 405));
    QCOMPARE(at("PushButton10"), twipsRect(4080, 4515, 3840, 405));
    QCOMPARE(at("ListView1"), twipsRect(120, 5535, 7800, 1860));
    QCOMPARE(at("Label2"), twipsRect(4080, 7485, 3840, 255));
    QCOMPARE(at("PushButton8"), twipsRect(4080, 8355, 3840, 405));
    QCOMPARE(at("PushButton7"), twipsRect(120, 8865, 7800, 405));
    QCOMPARE(at("Frame6"), twipsRect(120, 3030, 7800, 1380));
    QCOMPARE(form->findChild<QPushButton *>("PushButton14")->text(), QStringLiteral("Filter By Characters"));
    QCOMPARE(form->Text2->echoMode(), QLineEdit::Password);

    QTreeWidget *list = form->ListView1;
    QCOMPARE(list->columnCount(), 6);
    const QStringList headers = {"From", "From Name", "From Address", "Subject", "Received Date", "RecDate"};
    const QList<int> widths = {1300, 1300, 1600, 1600, 1600};
    for (int c = 0; c < 6; ++c)
        QCOMPARE(list->headerItem()->text(c), headers[c]);
    for (int c = 0; c < 5; ++c)
        QCOMPARE(list->columnWidth(c), twips(widths[c]));
    QVERIFY(list->isColumnHidden(5) || list->columnWidth(5) == 0);
    QCOMPARE(form->Label1->text(), QStringLiteral("Total Number Of Emails: 0"));
    QCOMPARE(form->Label2->text(), QStringLiteral("Selected Emails: 0"));
    QCOMPARE(form->Label1->palette().color(QPalette::Window), QColor(255, 255, 255));
    QCOMPARE(form->ProgressBar1->statusText(), QStringLiteral("Progress Bar"));
    QCOMPARE(form->Label3->text(), QStringLiteral("No Character Filter set"));
    QCOMPARE(form->Label4->text(), QStringLiteral("No Label Filter set"));
    QVERIFY(form->mailConnection() && form->mailConnection()->client());
    // A name without a blank stays whole as the title of every box.
    QCOMPARE(applicationTitle(), QStringLiteral("Quorvale"));
}

void TestForm1Startup::firstRunStartsEmptyWithInboxSelected()
{
    auto form = loadForm();
    QVERIFY(form->folderOptions[0]->isChecked());
    for (int i = 1; i < 8; ++i)
        QVERIFY(!form->folderOptions[i]->isChecked());
    QVERIFY(!form->Check1->isChecked());
    QVERIFY(!form->Check2->isChecked());
    QVERIFY(!form->Check2->isEnabled());
    QVERIFY(form->Text1->text().isEmpty());
    QVERIFY(form->Text2->text().isEmpty());
    QCOMPARE(form->PushButton3->text(), QStringLiteral("1. Connect"));
    QVERIFY(!form->session());
    // Nothing but (where ping is refused) the online check asks anything.
    QVERIFY2(boxesAfterOnlineCheck().isEmpty(), qPrintable(m_dialogs->messageTexts().join("|")));
    QVERIFY(m_dialogs->messageTexts().size() <= 1);
}

void TestForm1Startup::rememberMeOffErasesTypedCredentials()
{
    saveSetting("StayConnected", "0");
    saveSetting("User", "typed.last.time@gmail.com");
    auto form = loadForm();
    QVERIFY(form->Text1->text().isEmpty());
    QCOMPARE(getSetting("User", "missing"), QString());
    QCOMPARE(getSetting("StayConnected"), QStringLiteral("0"));
}

void TestForm1Startup::rememberMeOnRestoresTheUserName()
{
    saveSetting("StayConnected", "1");
    saveSetting("User", "kept@gmail.com");
    auto form = loadForm();
    QCOMPARE(form->Text1->text(), QStringLiteral("kept@gmail.com"));
    QVERIFY(form->Check1->isChecked());
    QVERIFY(form->Check2->isEnabled());
    QCOMPARE(getSetting("User"), QStringLiteral("kept@gmail.com"));
}

void TestForm1Startup::savedFolderIsSelectedAndAllEightKeysRewritten()
{
    for (int i = 3; i <= 10; ++i)
        saveSetting(QStringLiteral("Option%1").arg(i), i == 7 ? "True" : "False");
    // Marks that only a rewrite of all eight keys replaces.
    saveSetting("Option3", "0");
    saveSetting("Option10", "0");
    auto form = loadForm();
    QVERIFY(form->findChild<QRadioButton *>("Option7")->isChecked());
    QVERIFY(!form->findChild<QRadioButton *>("Option3")->isChecked());
    QCOMPARE(getSetting("Option3"), QStringLiteral("False"));
    QCOMPARE(getSetting("Option7"), QStringLiteral("True"));
    QCOMPARE(getSetting("Option10"), QStringLiteral("False"));

    // A click on another folder writes all eight again.
    form->findChild<QRadioButton *>("Option9")->click();
    QCOMPARE(getSetting("Option7"), QStringLiteral("False"));
    QCOMPARE(getSetting("Option9"), QStringLiteral("True"));
}

void TestForm1Startup::autoConnectWithoutRememberMeConnectsWithEmptyCredentials()
{
    saveSetting("AutoConnect", "1");
    saveSetting("StayConnected", "0");
    saveSetting("User", "someone");
    auto form = loadForm();
    QVERIFY(form->Check2->isChecked());
    QVERIFY(!form->Check2->isEnabled());
    // The port is closed: the connect ends in the one failure box.
    const QStringList texts = boxesAfterOnlineCheck();
    QCOMPARE(texts.size(), 1);
    QVERIFY(texts.first().startsWith("Invalid login. Please double-check your username and password."));
    QVERIFY(!m_dialogs->shown.last().request.detailedText.isEmpty());
    QCOMPARE(form->PushButton3->text(), QStringLiteral("1. Connect"));
    QCOMPARE(form->ProgressBar1->statusText(), QStringLiteral("Disconnected from Gmail."));
    QVERIFY(!form->session());
    QVERIFY(!form->isBusy());
}

void TestForm1Startup::unreadableStoredValueShowsErrorAndGoesOn()
{
    saveSetting("StayConnected", "abc");
    auto form = loadForm();
    const QStringList texts = boxesAfterOnlineCheck();
    QVERIFY(!texts.isEmpty());
    QVERIFY(texts.first().startsWith("Type mismatch\r\nin Vantelo2021/08/31.Form1.Form_Load at line 180"));
    // A failing test runs the statements it governs; start-up still reached its end.
    QVERIFY(form->Check1->isChecked());
    QCOMPARE(form->Label3->text(), QStringLiteral("No Character Filter set"));
}

void TestForm1Startup::rememberMeEnablesAutoconnectBox()
{
    auto form = loadForm();
    form->Check2->setEnabled(true);
    form->Check2->setChecked(true);
    QCOMPARE(getSetting("AutoConnect"), QStringLiteral("1"));
    form->Check1->setChecked(true);
    QCOMPARE(getSetting("StayConnected"), QStringLiteral("1"));
    QVERIFY(form->Check2->isEnabled());
    form->Check1->setChecked(false);
    QCOMPARE(getSetting("StayConnected"), QStringLiteral("0"));
    QVERIFY(!form->Check2->isEnabled());
    QVERIFY(form->Check2->isChecked());
    QCOMPARE(getSetting("AutoConnect"), QStringLiteral("1"));

    // Typing writes the user name at every change; focusing selects the whole text.
    form->show();
    QTest::keyClicks(form->Text1, "abc");
    QCOMPARE(getSetting("User"), QStringLiteral("abc"));
    form->Text2->setFocus();
    form->Text1->setFocus();
    QTRY_COMPARE(form->Text1->selectedText(), QStringLiteral("abc"));
}

void TestForm1Startup::helpShowsTwoBoxes()
{
    auto form = loadForm();
    m_dialogs->clear();
    form->PushButton1->click();
    QCOMPARE(m_dialogs->shown.size(), 2);
    const auto first = m_dialogs->shown[0].request;
    const QStringList paragraphs = first.text.split("\r\r");
    QCOMPARE(paragraphs.size(), 9);
    QVERIFY(paragraphs[0].startsWith("Having problems connecting? Make sure you have the latest version by downloading from "));
    QCOMPARE(paragraphs[1], QStringLiteral("IMAP must be enabled on your Gmail account to use this software. "));
    QVERIFY(paragraphs[6].startsWith("Google Apps (AKA "));
    QVERIFY(paragraphs[6].endsWith("@gmail.com account."));
    QCOMPARE(first.title, applicationTitle());
    QCOMPARE(first.icon, platform::BoxIcon::None);
    QCOMPARE(m_dialogs->shown[1].request.text,
             QStringLiteral("Privacy Policy\r\r1. This software can access your Gmail account only if you grant access to it.\r\r"
                            "2. This software does not store any information that is retrieved from your Gmail account.\r\r"
                            "3. This software stores your username and password locally on your computer if you select the "
                            "'Remember me' feature, but this information is private and not stored on a server."));
}

void TestForm1Startup::clearListDoesNothingWhileBusy()
{
    auto form = loadForm();
    for (int i = 0; i < 3; ++i)
        appendMessageRow(form->ListView1, MessageEntry{QString("from %1").arg(i)});
    RefreshTotals(form->ListView1, form->Label1, form->Label2, false);
    form->setCursor(Qt::WaitCursor);
    form->PushButton7->click();
    QCOMPARE(form->ListView1->topLevelItemCount(), 3);
    QCOMPARE(form->Label1->text(), QStringLiteral("Total Number Of Emails: 3"));
    form->setCursor(Qt::ArrowCursor);
    form->PushButton7->click();
    QCOMPARE(form->ListView1->topLevelItemCount(), 0);
    QCOMPARE(form->Label1->text(), QStringLiteral("Total Number Of Emails: 0"));
    QCOMPARE(form->Label2->text(), QStringLiteral("Selected Emails: 0"));
}

void TestForm1Startup::pointerFollowsTheHoverRule()
{
    QImage hand(16, 16, QImage::Format_ARGB32);
    hand.fill(Qt::red);
    QVERIFY(hand.save(m_programDir.filePath("HAND-M.CUR"), "PNG"));
    auto form = loadForm();
    // From a button straight onto what lies around it, as the mouse goes.
    QCOMPARE(pointerOver(form->PushButton5), Qt::BitmapCursor);
    QCOMPARE(pointerOver(form.get()), Qt::ArrowCursor);
    QCOMPARE(pointerOver(form->PushButton3), Qt::BitmapCursor);
    QCOMPARE(pointerOver(form->Frame5), Qt::ArrowCursor);
    form->setCursor(Qt::WaitCursor);
    QCOMPARE(pointerOver(form->PushButton5), Qt::WaitCursor);
    form->setCursor(Qt::ArrowCursor);
    QCOMPARE(pointerOver(form->PushButton5), Qt::BitmapCursor);
}

void TestForm1Startup::closingRunsShutdownOnce()
{
    auto form = loadForm();
    m_dialogs->clear();
    form->show();
    // The preview's page and logo copy: the ending, which runs no destructors, takes them along.
    const QString pages = platform::privateTempFolder();
    QVERIFY(QFile(pages + "/tmp.tmp").open(QIODevice::WriteOnly));
    form->close();
    QCOMPARE(m_unloads, 1);
    QVERIFY(!QFileInfo::exists(pages));
    QVERIFY(m_dialogs->shown.isEmpty());
}

QTEST_MAIN(TestForm1Startup)
#include "tst_form1_startup.moc"
