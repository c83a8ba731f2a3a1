#pragma once
// The main window: login, folder choice, filters, the download buttons, the message list and
// its selection tools. It owns the mail connection of the run, the current session object and
// the downloaded messages; everything it does is a numbered procedure (see core/Procedure.h).

#include "mail/MessageEntry.h"
#include "mail/clsImapSession.h"

#include <QList>
#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <optional>

class Procedure;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTreeWidgetItem;
class Form3;
class MailConnection;
class MessageListPanel;
class MessageListView;
class SkinFramework;
class StatusProgressBar;

class Form1 : public QWidget {
    Q_OBJECT
public:
    explicit Form1(QWidget *parent = nullptr);
    ~Form1() override;

    // What closing the window does after its shutdown steps: ends the process (tests replace it).
    static void setUnloadAction(std::function<void()> action);

    // Start-up; runs once, before the window is shown.
    void Form_Load();

    // State the other windows and the tests read.
    const ImapSessionPtr &session() const { return oSession; }
    const MessageEntryTable &messageEntries() const { return MessageEntries; }
    const QString &charactersFilter() const { return CharactersFilter; }
    const QString &labelFilter() const { return LabelFilter; }
    void setCharactersFilter(const QString &filter) { CharactersFilter = filter; }
    void setLabelFilter(const QString &filter) { LabelFilter = filter; }
    bool selectionPassFlag() const;
    MessageListPanel *listPanel() const { return m_listPanel; }
    bool isBusy() const;
    MailConnection *mailConnection() const { return m_mail; }
    Form3 *previewWindow() const;

    // Handlers, public so that a test can run them as a click would.
    void PushButton1_Click();
    void PushButton2_Click();
    void PushButton3_Click();
    void PushButton4_Click();
    void PushButton7_Click();
    void PushButton11_Click();
    void PushButton13_Click();
    void PushButton14_Click();
    void PushButton15_Click();
    void PushButton16_Click();
    void PushButton17_Click();
    void PushButton18_Click();
    void PushButton10_Click();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Building the controls at their designed places.
    static const QStringList &designedFolderCaptions();  // Option3 ... Option10
    void createControls();
    void createLoginFrame();
    void createFolderFrame();
    void createFilterFrame();
    void createListArea();
    void createPrintArea();
    void connectHandlers();
    QPushButton *makeButton(QWidget *parent, const char *name, const QString &caption,
                            const QRect &geometry);

    // Start-up and shutdown pieces.
    void restoreFolderOptions(Procedure &p);
    void restoreRememberMe(Procedure &p);
    void rememberStartupPrinter(Procedure &p);
    void restoreStartupPrinter();
    void Form_QueryUnload();

    // Connect and disconnect.
    ImapSessionPtr newSession();
    const ImapSessionPtr &requireSession() const;
    void connectPath(Procedure &p);
    void disconnectPath(Procedure &p, bool afterFailedConnect);
    void resetFolderCaptions();
    void Check1_Click();
    void Check2_Click();
    void Text1_Change();
    void Text2_Change();
    void folderOption_Click();

    // Downloads.
    void downloadButton_Click(const char *procedure, QPushButton *clicked,
                              void (Form1::*run)(Procedure &));
    void runGetAll(Procedure &p);
    void runGetSome(Procedure &p);
    void stopDownload(Procedure &p);
    void showRunning();
    void showIdle();
    void emptyListForDownload();
    void reportEmptyFolder();
    void skipRefusedCount();
    void endRun(Procedure &p, int firstLine, const ImapSessionPtr &session);
    static QString incompleteDownloadText(const clsImapSession &session);
    ImapSessionPtr sessionForRun(Procedure &p, int firstLine);
    QString chosenMailboxName() const;
    void oSession_MailExtractListing(const MessageEntry &entry, qint32 sequenceNumber);
    void oSession_ScrapProgress(qint32 &percent);
    bool characterFilterAccepts(const MessageEntry &entry) const;

    // The message list.
    void refreshTotals(bool reset);

    void setBusyPointer();
    void setDefaultPointer();

public:
    // Controls, named as the window's designer named them.
    QGroupBox *Frame5 = nullptr;
    QLineEdit *Text1 = nullptr;
    QLineEdit *Text2 = nullptr;
    QCheckBox *Check1 = nullptr;
    QCheckBox *Check2 = nullptr;
    QPushButton *PushButton1 = nullptr;
    QPushButton *PushButton3 = nullptr;
    QGroupBox *Frame2 = nullptr;
    QList<QRadioButton *> folderOptions;  // Option3 ... Option10
    QGroupBox *Frame6 = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *Label4 = nullptr;
    QPushButton *PushButton2 = nullptr;
    QPushButton *PushButton10 = nullptr;
    QPushButton *PushButton11 = nullptr;
    MessageListView *ListView1 = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QPushButton *PushButton5 = nullptr;
    QPushButton *PushButton6 = nullptr;
    QPushButton *PushButton9 = nullptr;
    QPushButton *PushButton8 = nullptr;
    QPushButton *PushButton7 = nullptr;
    QPushButton *PushButton4 = nullptr;
    QPushButton *PushButton13 = nullptr;
    QPushButton *PushButton14 = nullptr;
    QPushButton *PushButton15 = nullptr;
    QPushButton *PushButton16 = nullptr;
    QPushButton *PushButton17 = nullptr;
    QPushButton *PushButton18 = nullptr;
    QGroupBox *Frame1 = nullptr;
    QRadioButton *Option1 = nullptr;
    QRadioButton *Option2 = nullptr;
    StatusProgressBar *ProgressBar1 = nullptr;
    SkinFramework *SkinFramework1 = nullptr;

private:
    MailConnection *m_mail = nullptr;
    ImapSessionPtr oSession;
    MessageEntryTable MessageEntries;
    QString CharactersFilter;
    QString LabelFilter;
    MessageListPanel *m_listPanel = nullptr;
    bool m_closing = false;
    // The default printer at start-up; when there was one, the printer system puts back at
    // shutdown what made it the default then.
    std::optional<QString> m_startupPrinter;
    QPointer<Form3> m_preview;
};
