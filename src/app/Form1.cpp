// The main window's life: construction and wiring of its parts, start-up, shutdown.

#include "app/Form1.h"

#include "app/Connection.h"
#include "app/DownloadRun.h"
#include "app/FolderOptions.h"
#include "app/MessageFilters.h"
#include "core/Procedure.h"
#include "core/SettingsStore.h"
#include "core/Utilities.h"
#include "core/WindowStartUp.h"
#include "list/MessageList.h"
#include "list/MessageListPanel.h"
#include "list/MessageListView.h"
#include "mail/MailConnection.h"
#include "platform/EventLoop.h"
#include "platform/PrivateTempFolder.h"
#include "print/Form3.h"
#include "print/Printers.h"
#include "print/TervanePdfWriter.h"

#include <QCloseEvent>
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
    mainWindow = this;
    ShortenTitle();
    createControls();
    m_filters = new MessageFilters(*this, [this] { return m_connection->connected(); });
    m_connection = new Connection(*this, *m_filters);
    m_download = new DownloadRun(*this, *m_connection, *m_filters);
    connectHandlers();
    registerPdfWriter();
}

Form1::~Form1()
{
    delete m_preview;
}

const ImapSessionPtr &Form1::session() const { return m_connection->session(); }
bool Form1::connected() const { return m_connection->connected(); }
const MessageEntryTable &Form1::messageEntries() const { return m_download->entries(); }
MailConnection *Form1::mailConnection() const { return m_connection->mail(); }

bool Form1::isBusy() const
{
    return cursor().shape() == Qt::WaitCursor;
}

void Form1::Form_Load()
{
    Procedure p(QStringLiteral("Form1"), QStringLiteral("Form_Load"));
    p(100, [&] { CheckOnline(MailConnection::serverHost()); });
    startWindow(p, this, {102, 106, 108, 110}, QStringLiteral("Quorvale"), SkinMainWindow);
    p(130, [&] { Text1->setText(getSetting(QStringLiteral("User"))); });
    p(132, [&] { Text2->setText(getSetting(QStringLiteral("Password"))); });
    restoreFolderOptions(p, folderOptions);
    p(150, [&] { setupMessageListColumns(ListView1); });
    p(174, [&] { ListView1->clear(); });
    p(176, [&] { ListView1->viewport()->update(); });
    p(178, [&] { m_connection->createMailConnection(); });
    m_connection->restoreRememberMe(p);
    p(194, [&] { panel->refreshTotals(false); });
    p(196, [&] { panel->resetSelectionPass(); });
    p(198, [&] { setTotalsLabelWhite(Label1); });
    p(200, [&] { setTotalsLabelWhite(Label2); });
    m_startupPrinter.remember(p);
    m_connection->enableAutoConnect(p);
    p(218, [&] { Label3->setText(QStringLiteral("No Character Filter set")); });
    p(220, [&] { Label4->setText(QStringLiteral("No Label Filter set")); });
    m_connection->restoreAutoConnect(p);
    p(226, [&] { CheckPDFWriter(); });
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
    if (p.test(102, [&] { return m_startupPrinter.known(); }))
        p(104, [&] { m_startupPrinter.restore(); });
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
    connect(PushButton4, &QPushButton::clicked, this, &Form1::PushButton4_Click);
    connect(PushButton7, &QPushButton::clicked, this, &Form1::PushButton7_Click);
    connect(PushButton11, &QPushButton::clicked, this, &Form1::PushButton11_Click);
    for (QRadioButton *option : folderOptions) {
        connect(option, &QRadioButton::toggled, this, [this](bool selected) {
            if (selected)
                saveFolderOptions(folderOptions);
        });
    }
}
