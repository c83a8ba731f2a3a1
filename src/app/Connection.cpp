#include "app/Connection.h"

#include "app/FolderOptions.h"
#include "app/MainWindowControls.h"
#include "app/MessageFilters.h"
#include "app/StatusProgressBar.h"
#include "core/AppError.h"
#include "core/AppGlobals.h"
#include "core/Conversions.h"
#include "core/MessageBox.h"
#include "core/Procedure.h"
#include "core/SettingsStore.h"
#include "list/MessageListPanel.h"
#include "list/MessageListView.h"
#include "mail/MailConnection.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

namespace {

const char kProductSite[] = "https://quorvale.app";

QString firstHelpText()
{
    const QString gap = QStringLiteral("\r\r");
    return QStringLiteral("Having problems connecting? Make sure you have the latest version by "
                          "downloading from ") + QLatin1String(kProductSite)
        + gap + QStringLiteral("IMAP must be enabled on your Gmail account to use this software. ")
        + gap + QStringLiteral("To do this, login into your Gmail account with your regular internet browser.")
        + gap + QStringLiteral("Click on 'Settings', click on 'Forwarding and POP/IMAP', click on 'Enable IMAP' option")
        + gap + QStringLiteral("Click on 'Save Changes'")
        + gap + QStringLiteral("Also, English should be enabled ('Settings' > 'Language' > 'English').")
        + gap + QStringLiteral("Google Apps (AKA Google Workspace) accounts let a company host its "
                               "people's mail at Gmail without a Gmail address, for example an "
                               "address at a company domain instead of a @gmail.com account.")
        + gap + QStringLiteral("Unfortunately, this software does not support these Google Apps "
                               "accounts. This software supports standard Gmail accounts.")
        + gap + QStringLiteral("In other words, email addresses such as jane@example-company.com "
                               "cannot be used with this software, but jane.doe@gmail.com can be.");
}

QString privacyText()
{
    const QString gap = QStringLiteral("\r\r");
    return QStringLiteral("Privacy Policy")
        + gap + QStringLiteral("1. This software can access your Gmail account only if you grant access to it.")
        + gap + QStringLiteral("2. This software does not store any information that is retrieved from your Gmail account.")
        + gap + QStringLiteral("3. This software stores your username and password locally on your "
                               "computer if you select the 'Remember me' feature, but this "
                               "information is private and not stored on a server.");
}

// The procedures that keep a login box or check box in the settings as the user changes it.
void saveAs(const char *procedure, const QString &key, const std::function<QString()> &value)
{
    Procedure p(QStringLiteral("Form1"), QLatin1String(procedure));
    p(100, [&] { saveSetting(key, value()); });
}

QString storedCheck(const QCheckBox *box)
{
    return box->checkState() == Qt::Checked ? QStringLiteral("1") : QStringLiteral("0");
}

}  // namespace

Connection::Connection(const MainWindowControls &controls, MessageFilters &filters)
    : QObject(controls.mainWindow), m_controls(controls), m_filters(filters)
{
    connect(controls.PushButton1, &QPushButton::clicked, this, &Connection::PushButton1_Click);
    connect(controls.PushButton3, &QPushButton::clicked, this, &Connection::PushButton3_Click);
    connect(controls.Check1, &QCheckBox::stateChanged, this, &Connection::Check1_Click);
    QCheckBox *autoConnect = controls.Check2;
    QLineEdit *user = controls.Text1;
    QLineEdit *password = controls.Text2;
    connect(autoConnect, &QCheckBox::stateChanged, this,
            [=] { saveAs("Check2_Click", QStringLiteral("AutoConnect"), [=] { return storedCheck(autoConnect); }); });
    connect(user, &QLineEdit::textChanged, this,
            [=] { saveAs("Text1_Change", QStringLiteral("User"), [=] { return user->text(); }); });
    connect(password, &QLineEdit::textChanged, this,
            [=] { saveAs("Text2_Change", QStringLiteral("Password"), [=] { return password->text(); }); });
}

void Connection::createMailConnection()
{
    m_mail = new MailConnection(this);
}

void Connection::restoreRememberMe(Procedure &p)
{
    if (p.test(180, [&] {
            return toInteger(getSetting(QStringLiteral("StayConnected"), QStringLiteral("0"))) != 0;
        })) {
        p(182, [&] { m_controls.Check1->setChecked(true); });
        p(184, [&] { m_controls.Text1->setText(getSetting(QStringLiteral("User"))); });
        p(186, [&] { m_controls.Text2->setText(getSetting(QStringLiteral("Password"))); });
    } else {
        p(188, [&] { m_controls.Check1->setChecked(false); });
        p(190, [&] { m_controls.Text1->setText(QString()); });
        p(192, [&] { m_controls.Text2->setText(QString()); });
    }
}

void Connection::enableAutoConnect(Procedure &p)
{
    if (p.test(212, [&] { return m_controls.Check1->isChecked(); }))
        p(214, [&] { m_controls.Check2->setEnabled(true); });
    else
        p(216, [&] { m_controls.Check2->setEnabled(false); });
}

void Connection::restoreAutoConnect(Procedure &p)
{
    QCheckBox *autoConnect = m_controls.Check2;
    p(222, [&] {
        const qint32 value = toInteger(getSetting(QStringLiteral("AutoConnect"), QStringLiteral("0")));
        if (value < 0 || value > 2)
            apperror::throwInvalidPropertyValue();
        // 0 unchecked, 1 checked, 2 greyed: the check box values the store holds.
        static const Qt::CheckState states[] = {Qt::Unchecked, Qt::Checked, Qt::PartiallyChecked};
        autoConnect->setCheckState(states[value]);
    });
    if (p.test(224, [&] { return autoConnect->checkState() == Qt::Checked; }))
        p(226, [&] { PushButton3_Click(); });
}

void Connection::PushButton3_Click()
{
    Procedure p(QStringLiteral("Form1"), QStringLiteral("PushButton3_Click"));
    p(100, [&] { m_controls.setBusyPointer(); });
    if (p.test(102, [&] { return !m_connected; }))
        connectPath(p);
    else
        disconnectPath(p, false);
}

ImapSessionPtr Connection::newSession()
{
    ImapSessionPtr session = clsImapSession::create(m_mail);
    session->Username = m_controls.Text1->text();
    session->Password = m_controls.Text2->text();
    emit sessionCreated(session.get());
    return session;
}

void Connection::connectPath(Procedure &p)
{
    p(104, [&] { m_controls.ProgressBar1->setStatusText(QStringLiteral("Connecting to Gmail...")); });
    if (!p.test(106, [&] { return bool(m_session); })) {
        p(108, [&] { m_session = newSession(); });
        if (p.test(110, [&] { return !requireSession()->Connect(); })) {
            disconnectPath(p, true);
            return;
        }
        p(112, [&] { requireSession()->EnumMailFolders(); });
        p(114, [&] { showFolderCaptions(m_controls.folderOptions, globals().GmailFolderNames); });
        m_filters.restoreStored(p);
        p(126, [&] { m_controls.ProgressBar1->setStatusText(QStringLiteral("Connected to Gmail.")); });
    }
    p(128, [&] { setConnected(true); });
    p(130, [&] {
        m_controls.setDefaultPointer();
        m_controls.panel->resetSelectionPass();
    });
}

void Connection::disconnectPath(Procedure &p, bool afterFailedConnect)
{
    if (!afterFailedConnect) {
        p(132, [&] { m_controls.ProgressBar1->setStatusText(QStringLiteral("Disconnecting from Gmail...")); });
        if (p.test(134, [&] { return m_controls.Check1->checkState() == Qt::Unchecked; })) {
            p(136, [&] {
                m_controls.Text1->setText(QString());
                m_controls.Text2->setText(QString());
                saveSetting(QStringLiteral("User"), QString());
                saveSetting(QStringLiteral("Password"), QString());
            });
        }
        p(138, [&] { m_mail->endConnection(); });
    }
    p(140, [&] {
        m_controls.ListView1->clear();
        m_controls.panel->refreshTotals(true);
    });
    p(142, [&] { showFolderCaptions(m_controls.folderOptions, designedFolderCaptions()); });
    p(144, [&] { setConnected(false); });
    p(146, [&] {
        const bool remember =
            toInteger(getSetting(QStringLiteral("StayConnected"), QStringLiteral("0"))) != 0;
        m_controls.Check1->setChecked(remember);
    });
    p(148, [&] { m_session.reset(); });
    p(150, [&] { m_filters.showNone(); });
    p(152, [&] { m_controls.ProgressBar1->setStatusText(QStringLiteral("Disconnected from Gmail.")); });
    p(154, [&] {
        m_controls.setDefaultPointer();
        m_controls.panel->resetSelectionPass();
    });
}

void Connection::setConnected(bool connected)
{
    m_connected = connected;
    m_controls.PushButton3->setText(connected ? QStringLiteral("Disconnect") : QStringLiteral("1. Connect"));
}

const ImapSessionPtr &Connection::requireSession() const
{
    if (!m_session)
        apperror::throwObjectNotSet();
    return m_session;
}

void Connection::Check1_Click()
{
    Procedure p(QStringLiteral("Form1"), QStringLiteral("Check1_Click"));
    p(100, [&] { saveSetting(QStringLiteral("StayConnected"), storedCheck(m_controls.Check1)); });
    // The password follows "Remember me" into the secret store, or out of it.
    p(102, [&] { saveSetting(QStringLiteral("Password"), m_controls.Text2->text()); });
    p(104, [&] { m_controls.Check2->setEnabled(m_controls.Check1->checkState() != Qt::Unchecked); });
}


void Connection::PushButton1_Click()
{
    Procedure p(QStringLiteral("Form1"), QStringLiteral("PushButton1_Click"));
    p(100, [&] { showMessage(firstHelpText()); });
    p(102, [&] { showMessage(privacyText()); });
}
