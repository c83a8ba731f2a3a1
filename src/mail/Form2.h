#pragma once
// "Get Some Emails": asks for the first and last message number of a download.

#include "mail/clsImapSession.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

class Form2 : public QDialog {
    Q_OBJECT
public:
    explicit Form2(QWidget *parent = nullptr);

    ImapSessionPtr ImapSession;  // receives the range
    qint32 MaxMessage = 0;       // the mailbox's message count

    void PushButton1_Click();  // "Continue"
    void Command1_Click();
    // "Get Emails Matching...": closes the dialog without a range; the run asks for a search.
    void PushButtonMatching_Click();
    bool MatchingChosen = false;

    QLabel *Label1_0 = nullptr;
    QLineEdit *Text1_0 = nullptr;
    QLabel *Label1_1 = nullptr;
    QLineEdit *Text1_1 = nullptr;
    QPushButton *PushButton1 = nullptr;
    QPushButton *Command1 = nullptr;
    QPushButton *PushButtonMatching = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    void done(int result) override;

private:
    void Form_Load();
    void Form_Unload();
    bool m_loaded = false;
};
