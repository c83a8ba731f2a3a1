#pragma once
// "Get Emails Matching": a search box for Gmail's search language, a few examples and a "?"
// help box. "Continue" first asks the server how many messages of the folder match and shows
// the count; a second "Continue" on the same search confirms the download. "Cancel" (or closing
// the window) downloads nothing and stops a search that is still running.

#include "mail/clsImapSession.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

class MatchingEmailsWindow : public QDialog {
    Q_OBJECT
public:
    explicit MatchingEmailsWindow(QWidget *parent = nullptr);

    ImapSessionPtr ImapSession;  // searches and keeps what it found
    QString FolderName;

    bool confirmed() const { return m_confirmed; }

    QLabel *LabelPrompt = nullptr;
    QLineEdit *TextQuery = nullptr;
    QLabel *LabelCount = nullptr;
    QPushButton *PushButtonHelp = nullptr;
    QPushButton *PushButtonContinue = nullptr;
    QPushButton *PushButtonCancel = nullptr;

    void PushButtonContinue_Click();
    void PushButtonCancel_Click();
    void PushButtonHelp_Click();

protected:
    void showEvent(QShowEvent *event) override;
    void reject() override;

private:
    void search(const QString &query);
    void forgetCount();

    bool m_loaded = false;
    bool m_searching = false;
    bool m_confirmed = false;
    QString m_countedQuery;  // the search whose count is shown; empty when none is
    qint32 m_count = 0;
};
