// "1. Connect" / "Disconnect", the login boxes, "Remember me", auto-connect and Help.

#include "app/Form1.h"

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
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {

const QString kConnectCaption = QStringLiteral("1. Connect");

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

}  // namespace

void Form1::PushButton3_Click()
{
    Procedure p(QStringLiteral("Form1"), QStringLiteral("PushButton3_Click"));
    p(100, [&] { setBusyPointer(); });
    if (p.test(102, [&] { return PushButton3->text() == kConnectCaption; }))
        connectPath(p);
    else
        disconnectPath(p, false);
}

ImapSessionPtr Form1::newSession()
{
    ImapSessionPtr session = clsImapSession::create(m_mail);
    connect(session.get(), &clsImapSession::messageArrived, this,
            &Form1::oSession_MailExtractListing, Qt::DirectConnection);
    connect(session.get(), &clsImapSession::ScrapProgress, this, &Form1::oSession_ScrapProgress,
            Qt::DirectConnection);
    session->Username = Text1->text();
    session->Password = Text2->text();
    return session;
}

void Form1::connectPath(Procedure &p)
{
    p(104, [&] { ProgressBar1->setStatusText(QStringLiteral("Connecting to Gmail...")); });
    if (!p.test(106, [&] { return bool(oSession); })) {
        p(108, [&] { oSession = newSession(); });
        if (p.test(110, [&] { return !requireSession()->Connect(); })) {
            disconnectPath(p, true);
            return;
        }
        p(112, [&] { requireSession()->EnumMailFolders(); });
        p(114, [&] {
            for (int i = 0; i < 7; ++i)
                folderOptions[i + 1]->setText(globals().GmailFolderNames.value(i + 1));
        });
        p(116, [&] {
            CharactersFilter = getSetting(QStringLiteral("CharactersFilter"));
            LabelFilter = getSetting(QStringLiteral("LabelFilter"));
        });
        if (p.test(118, [&] { return !CharactersFilter.isEmpty(); }))
            p(120, [&] { Label3->setText(QStringLiteral("Character Filter: ") + CharactersFilter); });
        if (p.test(122, [&] { return !LabelFilter.isEmpty(); }))
            p(124, [&] { Label4->setText(QStringLiteral("Label Filter: ") + LabelFilter); });
        p(126, [&] { ProgressBar1->setStatusText(QStringLiteral("Connected to Gmail.")); });
    }
    p(128, [&] { PushButton3->setText(QStringLiteral("Disconnect")); });
    p(130, [&] {
        setDefaultPointer();
        m_listPanel->resetSelectionPass();
    });
}

void Form1::disconnectPath(Procedure &p, bool afterFailedConnect)
{
    if (!afterFailedConnect) {
        p(132, [&] { ProgressBar1->setStatusText(QStringLiteral("Disconnecting from Gmail...")); });
        if (p.test(134, [&] { return Check1->checkState() == Qt::Unchecked; })) {
            p(136, [&] {
                Text1->setText(QString());
                Text2->setText(QString());
                saveSetting(QStringLiteral("User"), QString());
                saveSetting(QStringLiteral("Password"), QString());
            });
        }
        p(138, [&] { m_mail->endConnection(); });
    }
    p(140, [&] {
        ListView1->clear();
        refreshTotals(true);
    });
    p(142, [&] { resetFolderCaptions(); });
    p(144, [&] { PushButton3->setText(kConnectCaption); });
    p(146, [&] {
        const bool remember =
            toInteger(getSetting(QStringLiteral("StayConnected"), QStringLiteral("0"))) != 0;
        Check1->setChecked(remember);
    });
    p(148, [&] { oSession.reset(); });
    p(150, [&] {
        Label3->setText(QStringLiteral("No Character Filter set"));
        Label4->setText(QStringLiteral("No Label Filter set"));
    });
    p(152, [&] { ProgressBar1->setStatusText(QStringLiteral("Disconnected from Gmail.")); });
    p(154, [&] {
        setDefaultPointer();
        m_listPanel->resetSelectionPass();
    });
}

void Form1::resetFolderCaptions()
{
    for (int i = 1; i < folderOptions.size(); ++i)
        folderOptions[i]->setText(designedFolderCaptions()[i]);
}

const ImapSessionPtr &Form1::requireSession() const
{
    if (!oSession)
        apperror::throwObjectNotSet();
    return oSession;
}

void Form1::Check1_Click()
{
    Procedure p(QStringLiteral("Form1"), QStringLiteral("Check1_Click"));
    p(100, [&] {
        saveSetting(QStringLiteral("StayConnected"),
                    Check1->checkState() == Qt::Checked ? QStringLiteral("1") : QStringLiteral("0"));
    });
    // The password follows "Remember me" into the secret store, or out of it.
    p(102, [&] { saveSetting(QStringLiteral("Password"), Text2->text()); });
    p(104, [&] { Check2->setEnabled(Check1->checkState() != Qt::Unchecked); });
}

void Form1::Check2_Click()
{
    Procedure p(QStringLiteral("Form1"), QStringLiteral("Check2_Click"));
    p(100, [&] {
        saveSetting(QStringLiteral("AutoConnect"),
                    Check2->checkState() == Qt::Checked ? QStringLiteral("1") : QStringLiteral("0"));
    });
}

void Form1::Text1_Change()
{
    Procedure p(QStringLiteral("Form1"), QStringLiteral("Text1_Change"));
    p(100, [&] { saveSetting(QStringLiteral("User"), Text1->text()); });
}

void Form1::Text2_Change()
{
    Procedure p(QStringLiteral("Form1"), QStringLiteral("Text2_Change"));
    p(100, [&] { saveSetting(QStringLiteral("Password"), Text2->text()); });
}

void Form1::folderOption_Click()
{
    Procedure p(QStringLiteral("Form1"), QStringLiteral("Option_Click"));
    p(100, [&] {
        for (QRadioButton *option : folderOptions)
            saveSetting(option->objectName(),
                        option->isChecked() ? QStringLiteral("True") : QStringLiteral("False"));
    });
}

void Form1::PushButton1_Click()
{
    Procedure p(QStringLiteral("Form1"), QStringLiteral("PushButton1_Click"));
    p(100, [&] { showMessage(firstHelpText()); });
    p(102, [&] { showMessage(privacyText()); });
}
