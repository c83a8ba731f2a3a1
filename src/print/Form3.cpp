// The preview window's controls, load steps, stepping and closing.

#include "print/Form3.h"

#include "core/AppError.h"
#include "core/HoverPointer.h"
#include "core/Conversions.h"
#include "core/Procedure.h"
#include "core/SettingsStore.h"
#include "core/Twips.h"
#include "core/Utilities.h"
#include "core/WindowStartUp.h"
#include "platform/BrowserView.h"
#include "platform/Dialogs.h"
#include "platform/PrinterSystem.h"
#include "print/Printers.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>

Form3::Form3(QVector<MessageEntry> selectedEntries, QString userName, QWidget *parent)
    : QWidget(parent), m_selectedEntries(std::move(selectedEntries)), m_userName(std::move(userName))
{
    createControls();
    connect(PushButton1, &QPushButton::clicked, this, &Form3::PushButton1_Click);
    connect(PushButton2, &QPushButton::clicked, this, &Form3::PushButton2_Click);
    connect(PushButton3, &QPushButton::clicked, this, &Form3::PushButton3_Click);
    connect(PushButton4, &QPushButton::clicked, this, &Form3::PushButton4_Click);
    connect(PushButton5, &QPushButton::clicked, this, &Form3::PushButton5_Click);
    connect(PushButton8, &QPushButton::clicked, this, &Form3::PushButton8_Click);
    connect(PushButton9, &QPushButton::clicked, this, &Form3::PushButton9_Click);
    connect(Combo1, &QComboBox::currentIndexChanged, this, &Form3::Combo1_Click);
}

Form3::~Form3() = default;

QPushButton *Form3::makeButton(const char *name, const QString &caption, const QRect &geometry)
{
    return place(new QPushButton(caption, this), name, geometry);
}

void Form3::createControls()
{
    setObjectName(QStringLiteral("Form3"));
    setFixedSize(twips(8040), twips(8895));
    PushButton8 = makeButton("PushButton8", QStringLiteral("< Back"), twipsRect(120, 120, 7800, 405));
    WebBrowser1 = place(new platform::BrowserView(this), "WebBrowser1", twipsRect(120, 640, 7800, 5235));
    Frame3 = place(new QGroupBox(QStringLiteral("Select Printer"), this), "Frame3",
                   twipsRect(120, 5940, 7800, 800));
    Combo1 = place(new QComboBox(Frame3), "Combo1", twipsRect(240, 300, 7320, 345));
    PushButton1 = makeButton("PushButton1", QStringLiteral("Print Selected"), twipsRect(120, 6840, 3840, 405));
    PushButton2 = makeButton("PushButton2", QStringLiteral("Print All"), twipsRect(4080, 6840, 3840, 405));
    PushButton9 = makeButton("PushButton9", QStringLiteral("Preview"), twipsRect(120, 7350, 3840, 405));
    PushButton3 = makeButton("PushButton3", QStringLiteral("Page Setup"), twipsRect(4080, 7350, 3840, 405));
    PushButton4 = makeButton("PushButton4", QStringLiteral("< Previous Email"), twipsRect(120, 7860, 3840, 405));
    PushButton5 = makeButton("PushButton5", QStringLiteral("Next Email >"), twipsRect(4080, 7860, 3840, 405));
    ProgressBar1 = place(new QProgressBar(this), "ProgressBar1", twipsRect(120, 8385, 7800, 405));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setAlignment(Qt::AlignCenter);
    ProgressBar1->setFormat(QStringLiteral("Progress Bar"));
    // Beyond the right edge of the fixed-size window: there, but never seen.
    Picture1 = place(new QWidget(this), "Picture1", twipsRect(9000, 5100, 1815, 1455));
    WebBrowser2 = place(new platform::BrowserView(Picture1), "WebBrowser2", twipsRect(0, 0, 2895, 1995));
    followHoverRule(this, {Frame3, PushButton8, PushButton1, PushButton2, PushButton9, PushButton3,
                           PushButton4, PushButton5});
}

bool Form3::isBusy() const
{
    return cursor().shape() == Qt::WaitCursor;
}

void Form3::Form_Load()
{
    Procedure p(QStringLiteral("Form3"), QStringLiteral("Form_Load"));
    p(100, [&] {
        WebBrowser1->setSilent(true);
        WebBrowser1->setRemoteImagesAllowed(PrintAsHTML);
    });
    p(102, [&] {
        WebBrowser2->setSilent(true);
        WebBrowser2->setRemoteImagesAllowed(PrintAsHTML);
    });
    startWindow(p, this, {104, 106, 110, 112}, QStringLiteral("Quorvale"));
    p(114, [&] { FillPrinterList(); });
    p(116, [&] { GetDefaultPrinter(); });
    p(118, [&] { PreviewEntries = m_selectedEntries; });
    p(120, [&] { CurrentEntry = 1; });
    p(122, [&] { LastEntry = PreviewEntries.size(); });
    p(124, [&] { CreateHTMLFile(); });
    p(126, [&] { Navigate(); });
    p(128, [&] { GoingBack = false; });
}

void Form3::FillPrinterList()
{
    const QString defaultPrinter = platform::printerSystem().defaultPrinterName().value_or(QString());
    QString error;
    const QStringList printers = platform::printerSystem().printerNames(&error);
    {
        // Adding the first entry would select it; only the steps below choose.
        const QSignalBlocker quiet(Combo1);
        Combo1->addItems(printers);
        Combo1->setCurrentIndex(-1);
    }
    // Without the print service the program's own printers are still there to pick: choose as
    // usual, then say that the service could not be reached.
    const QString stored = getSetting(QStringLiteral("Combo1"));
    if (!stored.isEmpty()) {
        const qint32 index = toInteger(stored);
        if (index < 0 || index >= Combo1->count())
            apperror::throwInvalidPropertyValue();
        Combo1->setCurrentIndex(index);
    } else if (!defaultPrinter.isEmpty()) {
        Combo1->setCurrentIndex(Combo1->findText(defaultPrinter, Qt::MatchExactly | Qt::MatchCaseSensitive));
    }
    if (!error.isEmpty())
        throw AppError(error);
}

void Form3::Combo1_Click(int index)
{
    if (index >= 0)
        saveSetting(QStringLiteral("Combo1"), QString::number(index));
}

const MessageEntry &Form3::entryAt(int position) const
{
    if (position < 1 || position > PreviewEntries.size())
        apperror::throwSubscriptOutOfRange();
    return PreviewEntries[position - 1];
}

void Form3::Navigate()
{
    WebBrowser1->Navigate(QStringLiteral("about:blank"));
    WebBrowser1->Navigate(HTMLFilePath);
}

void Form3::step(const char *procedure, int direction)
{
    Procedure p(QStringLiteral("Form3"), QString::fromLatin1(procedure));
    const int end = direction < 0 ? 1 : LastEntry;
    if (p.test(100, [&] { return CurrentEntry != end; })) {
        p(102, [&] { CurrentEntry += direction; });
        p(104, [&] { CreateHTMLFile(); });
        p(106, [&] { Navigate(); });
    } else {
        p(108, [&] { platform::dialogs().beep(); });
    }
}

void Form3::PushButton4_Click()
{
    step("PushButton4_Click", -1);
}

void Form3::PushButton5_Click()
{
    step("PushButton5_Click", +1);
}

void Form3::PushButton9_Click()
{
    Procedure p(QStringLiteral("Form3"), QStringLiteral("PushButton9_Click"));
    if (p.test(100, [&] { return !WebBrowser1->Busy(); }))
        p(102, [&] { WebBrowser1->ExecWB(platform::BrowserView::PrintPreview, platform::BrowserView::DoDefault); });
}

void Form3::PushButton3_Click()
{
    Procedure p(QStringLiteral("Form3"), QStringLiteral("PushButton3_Click"));
    if (p.test(100, [&] { return !WebBrowser1->Busy(); }))
        p(102, [&] { WebBrowser1->ExecWB(platform::BrowserView::PageSetup, platform::BrowserView::DoDefault); });
}

void Form3::PushButton8_Click()
{
    Procedure p(QStringLiteral("Form3"), QStringLiteral("PushButton8_Click"));
    p(100, [&] { GoingBack = true; });
    p(102, [&] { emit backRequested(); });
    p(104, [&] { close(); });
}

void Form3::closeEvent(QCloseEvent *event)
{
    event->accept();
    if (!GoingBack)
        emit endProgramRequested();
}

