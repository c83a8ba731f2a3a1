// The main window's life: construction, start-up, shutdown and the pointer rules.

#include "app/Form1.h"

#include "app/StatusProgressBar.h"
#include "core/AppError.h"
#include "core/Conversions.h"
#include "core/HoverPointer.h"
#include "core/ProgramFolder.h"
#include "core/Procedure.h"
#include "core/SettingsStore.h"
#include "core/Utilities.h"
#include "list/MessageList.h"
#include "list/MessageListPanel.h"
#include "list/MessageListView.h"
#include "mail/MailConnection.h"
#include "platform/EventLoop.h"
#include "platform/PrivateTempFolder.h"
#include "print/Form3.h"
#include "print/TervanePdfWriter.h"
#include "print/Printers.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

namespace {

// Closing the main window ends the program at once, also from inside a running download.
std::function<void()> &unloadAction()
{
    static std::function<void()> action = [] {
        std::fflush(nullptr);
        std::_Exit(0);
    };
    return action;
}

}  // namespace

void Form1::setUnloadAction(std::function<void()> action)
{
    unloadAction() = std::move(action);
}

Form1::Form1(QWidget *parent) : QWidget(parent)
{
    createControls();
    connectHandlers();
    registerPdfWriter();
}

Form1::~Form1()
{
    delete m_preview;
}

bool Form1::isBusy() const
{
    return cursor().shape() == Qt::WaitCursor;
}

void Form1::setBusyPointer()
{
    setCursor(Qt::WaitCursor);
}

void Form1::setDefaultPointer()
{
    setCursor(Qt::ArrowCursor);
}

void Form1::Form_Load()
{
    Procedure p(QStringLiteral("Form1"), QStringLiteral("Form_Load"));
    p(100, [&] { CheckOnline(MailConnection::serverHost()); });
    p(102, [&] { SkinMainWindow(this); });
    p(106, [&] {
        setWindowTitle(QStringLiteral("Quorvale"));
        setWindowIcon(QIcon(programFile(QStringLiteral("quorvale.png"))));
        ShortenTitle();
    });
    if (p.test(108, [&] { return PathExists(programFile(QStringLiteral("HAND-M.CUR"))); }))
        p(110, [&] { setHoverPointerImage(this, loadPointerImage(programFile(QStringLiteral("HAND-M.CUR")))); });
    p(130, [&] { Text1->setText(getSetting(QStringLiteral("User"))); });
    p(132, [&] { Text2->setText(getSetting(QStringLiteral("Password"))); });
    restoreFolderOptions(p);
    p(150, [&] { setupMessageListColumns(ListView1); });
    p(174, [&] { ListView1->clear(); });
    p(176, [&] { ListView1->viewport()->update(); });
    p(178, [&] { m_mail = new MailConnection(this); });
    restoreRememberMe(p);
    p(194, [&] { refreshTotals(false); });
    p(196, [&] { m_listPanel->resetSelectionPass(); });
    p(198, [&] { setTotalsLabelWhite(Label1); });
    p(200, [&] { setTotalsLabelWhite(Label2); });
    rememberStartupPrinter(p);
    if (p.test(212, [&] { return Check1->isChecked(); }))
        p(214, [&] { Check2->setEnabled(true); });
    else
        p(216, [&] { Check2->setEnabled(false); });
    p(218, [&] { Label3->setText(QStringLiteral("No Character Filter set")); });
    p(220, [&] { Label4->setText(QStringLiteral("No Label Filter set")); });
    p(222, [&] {
        const qint32 value = toInteger(getSetting(QStringLiteral("AutoConnect"), QStringLiteral("0")));
        if (value < 0 || value > 2)
            apperror::throwInvalidPropertyValue();
        // 0 unchecked, 1 checked, 2 greyed: the check box values the store holds.
        static const Qt::CheckState states[] = {Qt::Unchecked, Qt::Checked, Qt::PartiallyChecked};
        Check2->setCheckState(states[value]);
    });
    if (p.test(224, [&] { return Check2->checkState() == Qt::Checked; }))
        p(226, [&] { PushButton3_Click(); });
    p(226, [&] { CheckPDFWriter(); });
}

void Form1::restoreFolderOptions(Procedure &p)
{
    for (int i = 0; i < folderOptions.size(); ++i) {
        QRadioButton *option = folderOptions[i];
        p(134 + 2 * i, [&] {
            const QString key = option->objectName();
            const bool selected =
                toBoolean(getSetting(key, i == 0 ? QStringLiteral("True") : QStringLiteral("False")));
            if (selected) {
                option->setChecked(true);
            } else if (option->isChecked()) {
                // An exclusive group refuses to clear its checked button; no folder may be
                // selected when every stored value is false.
                option->setAutoExclusive(false);
                option->setChecked(false);
                option->setAutoExclusive(true);
            }
        });
    }
}

void Form1::restoreRememberMe(Procedure &p)
{
    if (p.test(180, [&] {
            return toInteger(getSetting(QStringLiteral("StayConnected"), QStringLiteral("0"))) != 0;
        })) {
        p(182, [&] { Check1->setChecked(true); });
        p(184, [&] { Text1->setText(getSetting(QStringLiteral("User"))); });
        p(186, [&] { Text2->setText(getSetting(QStringLiteral("Password"))); });
    } else {
        p(188, [&] { Check1->setChecked(false); });
        p(190, [&] { Text1->setText(QString()); });
        p(192, [&] { Text2->setText(QString()); });
    }
}

void Form1::closeEvent(QCloseEvent *event)
{
    event->accept();
    if (m_closing)
        return;
    m_closing = true;
    Form_QueryUnload();
    // The ending runs no destructors: the page file and the logo copy go now.
    platform::removePrivateTempFolder();
    unloadAction()();
}

void Form1::Form_QueryUnload()
{
    Procedure p(QStringLiteral("Form1"), QStringLiteral("Form_QueryUnload"));
    p(100, [&] { platform::giveEventLoopTurn(); });
    if (p.test(102, [&] { return m_startupPrinter.has_value(); }))
        p(104, [&] { restoreStartupPrinter(); });
    p(106, [&] { platform::giveEventLoopTurn(); });
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusIn && (watched == Text1 || watched == Text2)) {
        auto *box = static_cast<QLineEdit *>(watched);
        // A mouse press that gave the focus would undo an immediate selection.
        QTimer::singleShot(0, box, [box] { box->selectAll(); });
        box->selectAll();
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::connectHandlers()
{
    connect(PushButton1, &QPushButton::clicked, this, &Form1::PushButton1_Click);
    connect(PushButton2, &QPushButton::clicked, this, &Form1::PushButton2_Click);
    connect(PushButton3, &QPushButton::clicked, this, &Form1::PushButton3_Click);
    connect(PushButton4, &QPushButton::clicked, this, &Form1::PushButton4_Click);
    connect(PushButton7, &QPushButton::clicked, this, &Form1::PushButton7_Click);
    connect(PushButton11, &QPushButton::clicked, this, &Form1::PushButton11_Click);
    connect(PushButton13, &QPushButton::clicked, this, &Form1::PushButton13_Click);
    connect(PushButton14, &QPushButton::clicked, this, &Form1::PushButton14_Click);
    connect(PushButton15, &QPushButton::clicked, this, &Form1::PushButton15_Click);
    connect(PushButton16, &QPushButton::clicked, this, &Form1::PushButton16_Click);
    connect(PushButton17, &QPushButton::clicked, this, &Form1::PushButton17_Click);
    connect(PushButton18, &QPushButton::clicked, this, &Form1::PushButton18_Click);
    connect(PushButton10, &QPushButton::clicked, this, &Form1::PushButton10_Click);
    connect(Check1, &QCheckBox::stateChanged, this, &Form1::Check1_Click);
    connect(Check2, &QCheckBox::stateChanged, this, &Form1::Check2_Click);
    connect(Text1, &QLineEdit::textChanged, this, &Form1::Text1_Change);
    connect(Text2, &QLineEdit::textChanged, this, &Form1::Text2_Change);
    for (QRadioButton *option : folderOptions) {
        connect(option, &QRadioButton::toggled, this, [this](bool selected) {
            if (selected)
                folderOption_Click();
        });
    }
}
