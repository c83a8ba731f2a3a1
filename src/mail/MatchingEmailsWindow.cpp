#include "mail/MatchingEmailsWindow.h"

#include "core/HoverPointer.h"
#include "core/MessageBox.h"
#include "core/Procedure.h"
#include "core/WindowStartUp.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString kExamples = QStringLiteral(
    "Examples:\n"
    "    from:bank after:2025/01/01 subject:invoice\n"
    "    \"annual report\" -draft\n"
    "    to:anna@example.com before:2024/12/31");

QString helpText()
{
    return QStringLiteral(
        "Type a search as you would in Gmail's search box. Only the messages of the chosen "
        "folder or label that match it are downloaded, so a large folder need not be "
        "downloaded whole.")
        + QStringLiteral("\r\n\r\n")
        + QStringLiteral("from:anna  to:bob  cc:  bcc:  subject:invoice  - the sender, a recipient or "
                         "the subject holds the text.\r\n"
                         "after:2025/01/31  before:2025/12/31  - received on or after that day, or before "
                         "it (also 2025-01-31 or 01/31/2025).\r\n"
                         "invoice  \"annual report\"  - a word or phrase anywhere in the message.\r\n"
                         "-draft  - leaves out messages holding the word.")
        + QStringLiteral("\r\n\r\n")
        + QStringLiteral("On Gmail every operator of Gmail's search works, such as has:attachment, "
                         "is:unread, label:, larger:5M, OR and { }. Other mail servers understand only "
                         "the operators above.")
        + QStringLiteral("\r\n\r\n")
        + QStringLiteral("Continue first shows how many emails match; Continue again downloads them.");
}

QString countText(qint32 count, bool gmail)
{
    const QString how = gmail ? QStringLiteral("Gmail search") : QStringLiteral("server search");
    if (count == 1)
        return QStringLiteral("1 email matches (%1). Click Continue to download it.").arg(how);
    return QStringLiteral("%1 emails match (%2). Click Continue to download them.").arg(count).arg(how);
}

}  // namespace

MatchingEmailsWindow::MatchingEmailsWindow(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("MatchingEmailsWindow"));
    setWindowTitle(QStringLiteral("Get Emails Matching"));
    auto *layout = new QVBoxLayout(this);
    LabelPrompt = new QLabel(QStringLiteral("Gmail search:"), this);
    LabelPrompt->setTextFormat(Qt::PlainText);
    TextQuery = new QLineEdit(this);
    TextQuery->setObjectName(QStringLiteral("TextQuery"));
    TextQuery->setMinimumWidth(420);
    TextQuery->setPlaceholderText(QStringLiteral("from:bank after:2025/01/01 subject:invoice"));
    PushButtonHelp = new QPushButton(QStringLiteral("?"), this);
    PushButtonHelp->setObjectName(QStringLiteral("PushButtonHelp"));
    PushButtonHelp->setFixedWidth(30);
    auto *queryRow = new QHBoxLayout();
    queryRow->addWidget(TextQuery);
    queryRow->addWidget(PushButtonHelp);
    auto *examples = new QLabel(kExamples, this);
    examples->setTextFormat(Qt::PlainText);
    LabelCount = new QLabel(this);
    LabelCount->setObjectName(QStringLiteral("LabelCount"));
    LabelCount->setTextFormat(Qt::PlainText);
    LabelCount->setWordWrap(true);
    LabelCount->setMinimumHeight(36);
    PushButtonContinue = new QPushButton(QStringLiteral("Continue"), this);
    PushButtonContinue->setObjectName(QStringLiteral("PushButtonContinue"));
    PushButtonCancel = new QPushButton(QStringLiteral("Cancel"), this);
    PushButtonCancel->setObjectName(QStringLiteral("PushButtonCancel"));
    PushButtonContinue->setDefault(true);
    PushButtonCancel->setAutoDefault(false);
    PushButtonHelp->setAutoDefault(false);
    auto *buttons = new QHBoxLayout();
    buttons->addStretch();
    buttons->addWidget(PushButtonContinue);
    buttons->addWidget(PushButtonCancel);
    layout->addWidget(LabelPrompt);
    layout->addLayout(queryRow);
    layout->addWidget(examples);
    layout->addWidget(LabelCount);
    layout->addLayout(buttons);
    followHoverRule(this, {PushButtonHelp, PushButtonContinue, PushButtonCancel});
    connect(PushButtonContinue, &QPushButton::clicked, this, &MatchingEmailsWindow::PushButtonContinue_Click);
    connect(PushButtonCancel, &QPushButton::clicked, this, &MatchingEmailsWindow::PushButtonCancel_Click);
    connect(PushButtonHelp, &QPushButton::clicked, this, &MatchingEmailsWindow::PushButtonHelp_Click);
    connect(TextQuery, &QLineEdit::textEdited, this, [this] { forgetCount(); });
}

void MatchingEmailsWindow::showEvent(QShowEvent *event)
{
    if (!m_loaded) {
        m_loaded = true;
        Procedure p(QStringLiteral("MatchingEmailsWindow"), QStringLiteral("Form_Load"));
        startWindow(p, this, {100, 102, 104, 106}, windowTitle());
        // The folder is the one the main window chose: its name says where the search runs.
        if (!FolderName.isEmpty())
            LabelPrompt->setText(QStringLiteral("Gmail search in \"%1\":").arg(FolderName));
        TextQuery->setFocus();
    }
    QDialog::showEvent(event);
}

void MatchingEmailsWindow::forgetCount()
{
    m_countedQuery.clear();
    m_count = 0;
    LabelCount->clear();
}

void MatchingEmailsWindow::PushButtonContinue_Click()
{
    if (m_searching)
        return;
    const QString query = TextQuery->text().trimmed();
    if (!m_countedQuery.isEmpty() && query == m_countedQuery && m_count > 0) {
        m_confirmed = true;
        accept();
        return;
    }
    search(query);
}

void MatchingEmailsWindow::search(const QString &query)
{
    forgetCount();
    if (!ImapSession)
        return;
    m_searching = true;
    PushButtonContinue->setEnabled(false);
    LabelCount->setText(QStringLiteral("Searching..."));
    setCursor(Qt::WaitCursor);
    MailSearchOutcome found;
    Procedure p(QStringLiteral("MatchingEmailsWindow"), QStringLiteral("PushButtonContinue_Click"));
    p(100, [&] { found = ImapSession->SearchMailbox(FolderName, query); });
    unsetCursor();
    m_searching = false;
    PushButtonContinue->setEnabled(true);
    LabelCount->clear();
    switch (found.kind) {
    case MailSearchOutcome::Kind::Found:
        if (found.count == 0) {
            LabelCount->setText(QStringLiteral("No emails match this search; the list stays as it was."));
            return;
        }
        m_countedQuery = query;
        m_count = found.count;
        LabelCount->setText(countText(found.count, found.gmailSearch));
        return;
    case MailSearchOutcome::Kind::Unsupported:
        showMessage(found.text);
        return;
    case MailSearchOutcome::Kind::Failed:
        if (!found.text.isEmpty())
            showMessage(QStringLiteral("The server did not run this search.\r\n\r\n") + found.text);
        return;
    case MailSearchOutcome::Kind::Stopped:
        QDialog::reject();
        return;
    }
}

void MatchingEmailsWindow::PushButtonCancel_Click()
{
    reject();
}

void MatchingEmailsWindow::reject()
{
    // A search still running ends at its next step; its outcome then closes nothing more.
    if (m_searching && ImapSession)
        ImapSession->AbortProcess = true;
    QDialog::reject();
}

void MatchingEmailsWindow::PushButtonHelp_Click()
{
    showMessage(helpText());
}
