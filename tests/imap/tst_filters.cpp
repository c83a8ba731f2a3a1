// The filter windows against the real test server: a label filter picked in "Filter By Label"
// makes the next download read that label; a character filter typed in "Filter By
// Characters" lists only the messages containing it; Cancel, reopening, a vanished label, and
// a filter window opened during a download.

#include "ModalWindows.h"
#include "WindowTests.h"
#include "TestServer.h"
#include "app/Form1.h"
#include "app/MessageFilters.h"
#include "core/AppGlobals.h"
#include "core/ProgramFolder.h"
#include "core/SettingsStore.h"
#include "list/FilterWindow.h"
#include "list/MessageListView.h"
#include "platform/EventLoop.h"
#include "platform/ScriptedDialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>

namespace {

QStringList subjects(const QTreeWidget *list)
{
    QStringList all;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        all << list->topLevelItem(i)->text(3);
    all.sort();
    return all;
}

}  // namespace

class TestFilters : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void labelFilterDownloadsExactlyThatLabel();
    void vanishedLabelOpensWithNothingSelected();
    void characterFilterWindowOnARealDownload();
    void filterWindowDuringADownloadEndsItWithoutDone();
    void notConnectedAndClearFilter();

private:
    std::unique_ptr<Form1> connectedForm();
    TestServer m_server;
    QTemporaryDir m_programDir;
    std::unique_ptr<platform::ScriptedDialogs> m_dialogs;
};

void TestFilters::initTestCase()
{
    m_server = TestServer::fromFixture();
    m_server.applyToEnvironment();
    prepareWindowTests(m_programDir.path());
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

void TestFilters::init()
{
    QFile::remove(settingsFilePath());
    globals() = AppGlobals();
    m_dialogs = std::make_unique<platform::ScriptedDialogs>();
}

std::unique_ptr<Form1> TestFilters::connectedForm()
{
    auto form = std::make_unique<Form1>();
    form->Form_Load();
    form->show();
    form->Text1->setText(m_server.user);
    form->Text2->setText(m_server.password);
    form->PushButton3->click();
    m_dialogs->clear();
    return form;
}

void TestFilters::labelFilterDownloadsExactlyThatLabel()
{
    auto form = connectedForm();
    for (const QString label : {QStringLiteral("Reçus"), QStringLiteral("Hostile"), QStringLiteral("Family/Kids")}) {
        QVERIFY(globals().LabelNames.contains(label));
        whenOpen<FilterWindow>([label](FilterWindow *window) {
            window->Combo1->setCurrentIndex(window->Combo1->findText(label));
            window->PushButton1->click();
        });
        form->PushButton13->click();
        QCOMPARE(form->filters().label(), label);
        QCOMPARE(form->Label4->text(), "Label Filter: " + label);
        QCOMPARE(getSetting("LabelFilter"), label);

        form->PushButton2->click();
        QStringList expected;
        for (const auto &message : m_server.corpus(m_server.user, label))
            expected << message.subject;
        expected.sort();
        QCOMPARE(subjects(form->ListView1), expected);
    }

    // Reopened, the window shows the filter picked; Cancel changes nothing.
    int shownIndex = -2;
    whenOpen<FilterWindow>([&](FilterWindow *window) {
        shownIndex = window->Combo1->currentIndex();
        window->Combo1->setCurrentIndex(0);
        window->cancelButton->click();
    });
    form->PushButton13->click();
    QCOMPARE(shownIndex, int(globals().LabelNames.indexOf("Family/Kids")));
    QCOMPARE(form->filters().label(), QStringLiteral("Family/Kids"));
    QCOMPARE(getSetting("LabelFilter"), QStringLiteral("Family/Kids"));
}

void TestFilters::vanishedLabelOpensWithNothingSelected()
{
    saveSetting("LabelFilter", "<b>Deleted</b>");
    auto form = connectedForm();
    // The name shows as the characters it is made of.
    QCOMPARE(form->Label4->textFormat(), Qt::PlainText);
    QCOMPARE(form->Label4->text(), QStringLiteral("Label Filter: <b>Deleted</b>"));
    int shownIndex = -2;
    int labels = 0;
    whenOpen<FilterWindow>([&](FilterWindow *window) {
        shownIndex = window->Combo1->currentIndex();
        labels = window->Combo1->count();
        window->PushButton1->click();
    });
    form->PushButton13->click();
    QCOMPARE(shownIndex, -1);
    QCOMPARE(labels, globals().LabelNames.size());
    QVERIFY(form->filters().label().isEmpty());
    QCOMPARE(getSetting("LabelFilter", "unset"), QString());
    QCOMPARE(form->Label4->text(), QStringLiteral("No Label Filter set"));
}

void TestFilters::characterFilterWindowOnARealDownload()
{
    auto form = connectedForm();
    whenOpen<FilterWindow>([](FilterWindow *window) {
        window->txtSearch->setText("abc");
        window->PushButton1->click();
    });
    form->PushButton14->click();
    QCOMPARE(form->Label3->text(), QStringLiteral("Character Filter: abc"));
    QCOMPARE(getSetting("CharactersFilter"), QStringLiteral("abc"));

    form->PushButton2->click();
    QCOMPARE(form->ListView1->topLevelItemCount(), 1);
    QCOMPARE(form->ListView1->topLevelItem(0)->text(3),
             m_server.message(m_server.user, "INBOX", "filter_abc_subject").subject);

    // Reopened: the filter is in the box, all of it selected; Cancel keeps everything.
    QString shown;
    QString selected;
    whenOpen<FilterWindow>([&](FilterWindow *window) {
        shown = window->txtSearch->text();
        selected = window->txtSearch->selectedText();
        window->txtSearch->setText("changed");
        window->cancelButton->click();
    });
    form->PushButton14->click();
    QCOMPARE(shown, QStringLiteral("abc"));
    QCOMPARE(selected, QStringLiteral("abc"));
    QCOMPARE(form->filters().characters(), QStringLiteral("abc"));
    QCOMPARE(getSetting("CharactersFilter"), QStringLiteral("abc"));

    // Emptied and confirmed: no filter, the empty text stored.
    whenOpen<FilterWindow>([](FilterWindow *window) {
        window->txtSearch->clear();
        window->PushButton1->click();
    });
    form->PushButton14->click();
    QCOMPARE(form->Label3->text(), QStringLiteral("No Character Filter set"));
    QCOMPARE(getSetting("CharactersFilter", "unset"), QString());
}

void TestFilters::filterWindowDuringADownloadEndsItWithoutDone()
{
    auto form = connectedForm();
    bool opened = false;
    platform::setEventLoopTurn([&] {
        if (!opened && form->ListView1->topLevelItemCount() == 2) {
            opened = true;
            whenOpen<FilterWindow>([](FilterWindow *window) { window->close(); });
            form->PushButton14->click();
        }
        QCoreApplication::processEvents();
    });
    form->PushButton2->click();
    platform::setEventLoopTurn(nullptr);
    QVERIFY(opened);
    QVERIFY(!m_dialogs->messageTexts().contains("Done."));

    // Without the filter window the same run says "Done.".
    form->PushButton2->click();
    QVERIFY(m_dialogs->messageTexts().contains("Done."));
}

void TestFilters::notConnectedAndClearFilter()
{
    saveSetting("CharactersFilter", "abc");
    saveSetting("LabelFilter", "Work");
    Form1 form;
    form.Form_Load();
    m_dialogs->clear();
    form.PushButton14->click();
    form.PushButton13->click();
    QCOMPARE(m_dialogs->messageTexts(),
             QStringList(2, "Please connect first (Step 1) before using this feature."));
    form.PushButton17->click();
    form.PushButton18->click();
    QCOMPARE(getSetting("CharactersFilter", "unset"), QString());
    QCOMPARE(getSetting("LabelFilter", "unset"), QString());
    QCOMPARE(form.Label3->text(), QStringLiteral("No Character Filter set"));
    QCOMPARE(form.Label4->text(), QStringLiteral("No Label Filter set"));
}

QTEST_MAIN(TestFilters)
#include "tst_filters.moc"
