#include "print/Form5.h"

#include "core/HoverPointer.h"
#include "core/MessageBox.h"
#include "core/Procedure.h"
#include "core/SettingsStore.h"
#include "core/Twips.h"
#include "core/Utilities.h"
#include "core/WindowStartUp.h"
#include "print/PdfFileName.h"

#include <QCheckBox>
#include <QEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

namespace {

QPushButton *button(const QString &caption, QWidget *parent, const char *name, const QRect &at)
{
    auto *b = place(new QPushButton(caption, parent), name, at);
    b->setAutoDefault(false);
    return b;
}

// The settings that remember the extras across runs, "1" for on.
const QString SaveAttachmentsKey = QStringLiteral("SaveAttachments");
const QString AppendPdfsKey = QStringLiteral("AppendPdfs");
const QString CombinedPdfKey = QStringLiteral("CombinedPdf");

bool storedFlag(const QString &key)
{
    return getSetting(key, QStringLiteral("0")).trimmed() == QLatin1String("1");
}

QString flagText(bool on)
{
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

}  // namespace

bool rememberedAppendPdfs()
{
    return storedFlag(AppendPdfsKey);
}

Form5::Form5(PdfExportState &target, QWidget *parent) : QDialog(parent), m_target(target)
{
    setObjectName(QStringLiteral("Form5"));
    setModal(true);
    setFixedSize(twips(8040), twips(3615));
    createControls();
    connect(Text1, &QLineEdit::textChanged, this, &Form5::Text1_Change);
    connect(Text2, &QLineEdit::textChanged, this, &Form5::Text2_Change);
    connect(PushButton1, &QPushButton::clicked, this, &Form5::PushButton1_Click);
    connect(PushButton2, &QPushButton::clicked, this, &Form5::PushButton2_Click);
    connect(PushButton6, &QPushButton::clicked, this, &Form5::PushButton6_Click);
    connect(PushButton7, &QPushButton::clicked, this, &Form5::PushButton7_Click);
    connect(PushButton9, &QPushButton::clicked, this, &Form5::PushButton9_Click);
    followHoverRule(this, {Frame1, Frame3, Text2, PushButton1, PushButton2, PushButton6, PushButton7,
                           PushButton9, FrameExtras, CheckSaveAttachments, CheckAppendPdfs, CheckCombinedPdf});
    Text2->installEventFilter(this);  // selects its text when it takes the focus
}

void Form5::createControls()
{
    Frame1 = place(new QGroupBox(QStringLiteral("Output Filename Option"), this), "Frame1",
                   twipsRect(120, 30, 7800, 795));
    Text1 = place(new QLineEdit(defaultPdfNamePattern(), Frame1), "Text1", twipsRect(240, 300, 5100, 345));
    PushButton9 = button(QStringLiteral("Use Default"), Frame1, "PushButton9", twipsRect(5400, 300, 1425, 345));
    PushButton7 = button(QStringLiteral("?"), Frame1, "PushButton7", twipsRect(6960, 300, 585, 345));
    Frame3 = place(new QGroupBox(QStringLiteral("Save PDF Files To This Folder"), this), "Frame3",
                   twipsRect(120, 900, 7800, 795));
    Text2 = place(new QLineEdit(Frame3), "Text2", twipsRect(240, 300, 6660, 345));
    PushButton6 = button(QStringLiteral("..."), Frame3, "PushButton6", twipsRect(6960, 300, 580, 345));
    PushButton1 = button(QStringLiteral("OK"), this, "PushButton1", twipsRect(120, 1815, 3840, 405));
    PushButton2 = button(QStringLiteral("Cancel"), this, "PushButton2", twipsRect(4080, 1815, 3840, 405));
    // Below the buttons, so that every control a user knows stays where it was.
    FrameExtras = place(new QGroupBox(QStringLiteral("With Each Print Run"), this), "FrameExtras",
                        twipsRect(120, 2310, 7800, 1215));
    CheckSaveAttachments = place(new QCheckBox(QStringLiteral("Save attachments beside each PDF"), FrameExtras),
                                 "CheckSaveAttachments", twipsRect(240, 270, 7400, 285));
    CheckAppendPdfs = place(new QCheckBox(QStringLiteral("Append attached PDFs to the message's PDF"), FrameExtras),
                            "CheckAppendPdfs", twipsRect(240, 570, 7400, 285));
    CheckCombinedPdf = place(new QCheckBox(QStringLiteral("Also make one PDF of the whole run"), FrameExtras),
                             "CheckCombinedPdf", twipsRect(240, 870, 7400, 285));
}

void Form5::showEvent(QShowEvent *event)
{
    if (!m_loaded) {
        m_loaded = true;
        Form_Load();
    }
    QDialog::showEvent(event);
}

void Form5::Form_Load()
{
    Procedure p(QStringLiteral("Form5"), QStringLiteral("Form_Load"));
    startWindow(p, this, {100, 102, 104, 106}, QStringLiteral("Quorvale"));
    p(108, [&] {
        const QString stored = getSetting(QStringLiteral("Backup Path"));
        Text2->setText(stored.isEmpty() ? SpecialFolderPath(0) : stored);
    });
    p(110, [&] { Text1->setText(getSetting(QStringLiteral("Text1"), defaultPdfNamePattern())); });
    p(112, [&] { loadExtras(); });
}

void Form5::loadExtras()
{
    CheckSaveAttachments->setChecked(storedFlag(SaveAttachmentsKey));
    CheckAppendPdfs->setChecked(storedFlag(AppendPdfsKey));
    CheckCombinedPdf->setChecked(storedFlag(CombinedPdfKey));
}

// Stored only when "OK" confirms them: a cancelled window must leave the last confirmed choice.
void Form5::confirmExtras()
{
    m_target.SaveAttachments = CheckSaveAttachments->isChecked();
    m_target.AppendPdfs = CheckAppendPdfs->isChecked();
    m_target.CombinedPdf = CheckCombinedPdf->isChecked();
    saveSetting(SaveAttachmentsKey, flagText(m_target.SaveAttachments));
    saveSetting(AppendPdfsKey, flagText(m_target.AppendPdfs));
    saveSetting(CombinedPdfKey, flagText(m_target.CombinedPdf));
}

void Form5::Text1_Change()
{
    Procedure p(QStringLiteral("Form5"), QStringLiteral("Text1_Change"));
    p(100, [&] { saveSetting(QStringLiteral("Text1"), Text1->text()); });
}

void Form5::Text2_Change()
{
    Procedure p(QStringLiteral("Form5"), QStringLiteral("Text2_Change"));
    p(100, [&] { saveSetting(QStringLiteral("Backup Path"), Text2->text()); });
}

void Form5::PushButton9_Click()
{
    Procedure p(QStringLiteral("Form5"), QStringLiteral("PushButton9_Click"));
    p(100, [&] { Text1->setText(defaultPdfNamePattern()); });
}

void Form5::PushButton7_Click()
{
    Procedure p(QStringLiteral("Form5"), QStringLiteral("PushButton7_Click"));
    p(100, [&] {
        const QStringList lines{
            QStringLiteral("You can create your own filename by using the following fields:"),
            QStringLiteral("<From>"), QStringLiteral("<From Name>"), QStringLiteral("<From Address>"),
            QStringLiteral("<Subject>"), QStringLiteral("<Received Date>"),
            QStringLiteral("<Current Date>"), QStringLiteral("<Current Time>"), QStringLiteral("<To>")};
        showMessage(lines.join(QStringLiteral("\r\n")));
    });
}

void Form5::PushButton6_Click()
{
    Procedure p(QStringLiteral("Form5"), QStringLiteral("PushButton6_Click"));
    QString start;
    QString folder;
    p(100, [&] { start = getSetting(QStringLiteral("LastFolderDot")); });
    p(102, [&] { folder = BrowseForFolder(this, QStringLiteral("Please select folder:"), start); });
    if (folder.isEmpty())
        return;
    p(104, [&] { folder += QLatin1Char('/'); });
    if (p.test(106, [&] { return !folder.startsWith(QLatin1String("\\\\")); }))
        p(108, [&] { folder = NormalizeBackslashes(folder); });
    p(110, [&] { Text2->setText(folder); });
}

void Form5::PushButton1_Click()
{
    Procedure p(QStringLiteral("Form5"), QStringLiteral("PushButton1_Click"));
    if (p.test(100, [&] { return Text1->text().isEmpty(); })) {
        p(102, [&] {
            showMessage(QStringLiteral("Please give input for Output Filename Option. Click Default "
                                       "if you are unsure."));
        });
        return;
    }
    if (p.test(104, [&] { return !IsFolder(Text2->text()); })) {
        p(106, [&] { showMessage(QStringLiteral("Folder does not exist. Please select another folder.")); });
        return;
    }
    p(108, [&] {
        m_target.lPDFFilename = Text1->text();
        m_target.lPDFOutput = Text2->text();
        confirmExtras();
        m_target.ExportCanceled = false;
    });
    p(110, [&] { accept(); });
}

void Form5::PushButton2_Click()
{
    reject();
}

void Form5::done(int result)
{
    // Cancel, Escape and the window frame all end here without "OK": the run must not start.
    if (result != QDialog::Accepted)
        m_target.ExportCanceled = true;
    QDialog::done(result);
}

bool Form5::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Text2 && event->type() == QEvent::FocusIn)
        QMetaObject::invokeMethod(Text2, &QLineEdit::selectAll, Qt::QueuedConnection);
    return QDialog::eventFilter(watched, event);
}
