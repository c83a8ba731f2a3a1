// The PDF options window: what it shows and stores, its buttons, and what it leaves for the
// print run ("OK" confirms, every other way out cancels).

#include "core/SettingsStore.h"
#include "core/HoverPointer.h"
#include "platform/ScriptedDialogs.h"
#include "print/Form5.h"
#include "WindowTests.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

class TestForm5 : public QObject {
    Q_OBJECT
private slots:
    void init();
    void firstOpenShowsAndStoresTheDefaults();
    void storedPatternAndFolderComeBack();
    void helpAndUseDefault();
    void browseAppendsOneSeparator();
    void okChecksThePatternThenTheFolder();
    void okConfirmsPatternAndFolder();
    void everyOtherWayOutCancels_data();
    void everyOtherWayOutCancels();
    void modalRunReturnsTheAnswer();
    void pointerFollowsTheHoverRule();
    void extrasAreRememberedOnlyWhenConfirmed_data();
    void extrasAreRememberedOnlyWhenConfirmed();

private:
    std::unique_ptr<Form5> open();
    PdfExportState m_state;
    QTemporaryDir m_dir;
    std::unique_ptr<platform::ScriptedDialogs> m_dialogs;
};

void TestForm5::init()
{
    QFile::remove(settingsFilePath());
    m_state = PdfExportState();
    m_state.lPDFFilename = QStringLiteral("earlier <Count>");
    m_state.lPDFOutput = QStringLiteral("/earlier/");
    m_dialogs = std::make_unique<platform::ScriptedDialogs>();
}

std::unique_ptr<Form5> TestForm5::open()
{
    auto form = std::make_unique<Form5>(m_state);
    form->show();
    return form;
}

void TestForm5::firstOpenShowsAndStoresTheDefaults()
{
    auto form = open();
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation) + QLatin1Char('/');
    QCOMPARE(form->windowTitle(), QStringLiteral("Quorvale"));
    QCOMPARE(form->Text1->text(), QStringLiteral("<Count> - <Current Date> <Subject>"));
    QCOMPARE(form->Text2->text(), desktop);
    QCOMPARE(getSetting(QStringLiteral("Backup Path")), desktop);
    QCOMPARE(form->Frame1->title(), QStringLiteral("Output Filename Option"));
    QCOMPARE(form->Frame3->title(), QStringLiteral("Save PDF Files To This Folder"));
    QCOMPARE(form->Text2->parentWidget(), form->Frame3);
    QVERIFY(m_dialogs->shown.isEmpty());
}

void TestForm5::storedPatternAndFolderComeBack()
{
    saveSetting(QStringLiteral("Text1"), QStringLiteral("<Subject> <From>"));
    saveSetting(QStringLiteral("Backup Path"), m_dir.path());
    auto form = open();
    QCOMPARE(form->Text1->text(), QStringLiteral("<Subject> <From>"));
    QCOMPARE(form->Text2->text(), m_dir.path());
    form->Text1->setText(QStringLiteral("<Count> 請求書"));
    form->Text2->setText(QStringLiteral("/elsewhere/"));
    QCOMPARE(getSetting(QStringLiteral("Text1")), QStringLiteral("<Count> 請求書"));
    QCOMPARE(getSetting(QStringLiteral("Backup Path")), QStringLiteral("/elsewhere/"));
}

void TestForm5::helpAndUseDefault()
{
    auto form = open();
    form->Text1->setText(QStringLiteral("mine"));
    form->PushButton9->click();
    QCOMPARE(form->Text1->text(), QStringLiteral("<Count> - <Current Date> <Subject>"));
    QCOMPARE(getSetting(QStringLiteral("Text1")), QStringLiteral("<Count> - <Current Date> <Subject>"));
    form->PushButton7->click();
    QCOMPARE(m_dialogs->messageTexts(),
             QStringList{QStringLiteral("You can create your own filename by using the following fields:\r\n"
                                        "<From>\r\n<From Name>\r\n<From Address>\r\n<Subject>\r\n"
                                        "<Received Date>\r\n<Current Date>\r\n<Current Time>\r\n<To>")});
    QCOMPARE(m_dialogs->shown.first().request.title, QStringLiteral("Quorvale"));
}

void TestForm5::browseAppendsOneSeparator()
{
    saveSetting(QStringLiteral("LastFolderDot"), QStringLiteral("/srv/start"));
    auto form = open();
    const QString before = form->Text2->text();
    form->PushButton6->click();  // cancelled: nothing changes
    QCOMPARE(form->Text2->text(), before);
    QCOMPARE(m_dialogs->shown.first().request.text, QStringLiteral("Please select folder:"));
    QCOMPARE(m_dialogs->shown.first().request.detailedText, QStringLiteral("/srv/start"));

    m_dialogs->folders << QStringLiteral("/home/me/PDF") << QStringLiteral("/") << QStringLiteral("//srv//pdf");
    form->PushButton6->click();
    QCOMPARE(form->Text2->text(), QStringLiteral("/home/me/PDF/"));
    QCOMPARE(getSetting(QStringLiteral("Backup Path")), QStringLiteral("/home/me/PDF/"));
    form->PushButton6->click();
    QCOMPARE(form->Text2->text(), QStringLiteral("/"));
    form->PushButton6->click();
    QCOMPARE(form->Text2->text(), QStringLiteral("/srv/pdf/"));
}

void TestForm5::okChecksThePatternThenTheFolder()
{
    auto form = open();
    form->Text1->clear();
    form->Text2->setText(QStringLiteral("/does/not/exist/"));
    form->PushButton1->click();
    form->Text1->setText(QStringLiteral("<Count>"));
    form->PushButton1->click();
    QFile file(m_dir.filePath(QStringLiteral("a-file")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    form->Text2->setText(file.fileName());
    form->PushButton1->click();
    QCOMPARE(m_dialogs->messageTexts(),
             (QStringList{QStringLiteral("Please give input for Output Filename Option. Click Default if you are unsure."),
                          QStringLiteral("Folder does not exist. Please select another folder."),
                          QStringLiteral("Folder does not exist. Please select another folder.")}));
    QVERIFY(form->isVisible());
    QCOMPARE(m_state.lPDFFilename, QStringLiteral("earlier <Count>"));
    QCOMPARE(m_state.lPDFOutput, QStringLiteral("/earlier/"));
}

void TestForm5::okConfirmsPatternAndFolder()
{
    m_state.ExportCanceled = true;
    auto form = open();
    form->Text1->setText(QStringLiteral("<Subject>"));
    form->Text2->setText(m_dir.path());  // no final "/": the file name gets one
    form->PushButton1->click();
    QVERIFY(!form->isVisible());
    QCOMPARE(form->result(), int(QDialog::Accepted));
    QVERIFY(!m_state.ExportCanceled);
    QCOMPARE(m_state.lPDFFilename, QStringLiteral("<Subject>"));
    QCOMPARE(m_state.lPDFOutput, m_dir.path());
    QVERIFY(m_dialogs->shown.isEmpty());
}

void TestForm5::everyOtherWayOutCancels_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Cancel") << "cancel";
    QTest::newRow("window frame") << "frame";
    QTest::newRow("Escape") << "escape";
}

void TestForm5::everyOtherWayOutCancels()
{
    QFETCH(QString, how);
    auto form = open();
    form->Text1->setText(QStringLiteral("<Subject>"));
    form->Text2->setText(m_dir.path());
    if (how == QLatin1String("cancel"))
        form->PushButton2->click();
    else if (how == QLatin1String("frame"))
        form->close();
    else
        QTest::keyClick(form.get(), Qt::Key_Escape);
    QVERIFY(!form->isVisible());
    QVERIFY(m_state.ExportCanceled);
    QCOMPARE(m_state.lPDFFilename, QStringLiteral("earlier <Count>"));
    QCOMPARE(m_state.lPDFOutput, QStringLiteral("/earlier/"));
}

void TestForm5::modalRunReturnsTheAnswer()
{
    // The preview window opens it with exec() and reads the state afterwards.
    saveSetting(QStringLiteral("Backup Path"), m_dir.path() + QLatin1Char('/'));
    Form5 form(m_state);
    QTimer::singleShot(0, &form, [&] { form.PushButton1->click(); });
    QCOMPARE(form.exec(), int(QDialog::Accepted));
    QCOMPARE(m_state.lPDFOutput, m_dir.path() + QLatin1Char('/'));
    QCOMPARE(m_state.lPDFFilename, QStringLiteral("<Count> - <Current Date> <Subject>"));
}

// The window's hand pointer over its buttons, the default over the rest, never over the hourglass.
void TestForm5::pointerFollowsTheHoverRule()
{
    auto form = open();
    setHoverPointerImage(form.get(), QCursor(Qt::PointingHandCursor));
    QCOMPARE(pointerOver(form->PushButton6), Qt::PointingHandCursor);
    QCOMPARE(pointerOver(form->Frame3), Qt::ArrowCursor);
    QCOMPARE(pointerOver(form->PushButton1), Qt::PointingHandCursor);
    QCOMPARE(pointerOver(form.get()), Qt::ArrowCursor);
    form->setCursor(Qt::WaitCursor);
    QCOMPARE(pointerOver(form->PushButton1), Qt::WaitCursor);
}

void TestForm5::extrasAreRememberedOnlyWhenConfirmed_data()
{
    QTest::addColumn<QList<bool>>("ticked");  // attachments, append PDFs, combined PDF
    QTest::newRow("one on") << QList<bool>{true, false, false};
    QTest::newRow("last two on") << QList<bool>{false, true, true};
}

// Off until turned on; "OK" confirms them for the run and the next window, "Cancel" changes neither.
void TestForm5::extrasAreRememberedOnlyWhenConfirmed()
{
    QFETCH(QList<bool>, ticked);
    const auto states = [](Form5 *form, const QList<bool> &set = {}) {
        QList<bool> on;
        for (const char *name : {"CheckSaveAttachments", "CheckAppendPdfs", "CheckCombinedPdf"}) {
            auto *box = form->findChild<QCheckBox *>(name);
            if (box && !set.isEmpty())
                box->setChecked(set[on.size()]);
            on << (box && box->isChecked());
        }
        return on;
    };
    const QList<bool> none{false, false, false};
    for (int run = 0; run < 3; ++run) {  // cancelled with all on, confirmed, cancelled with all on
        auto form = open();
        QCOMPARE(states(form.get()), run <= 1 ? none : ticked);
        form->Text2->setText(m_dir.path());
        states(form.get(), run == 1 ? ticked : QList<bool>{true, true, true});
        (run == 1 ? form->PushButton1 : form->PushButton2)->click();
        QCOMPARE((QList<bool>{m_state.SaveAttachments, m_state.AppendPdfs, m_state.CombinedPdf}), run == 0 ? none : ticked);
    }
}

QTEST_MAIN(TestForm5)
#include "tst_form5.moc"
