#pragma once
// The main window: it builds the controls at their designed places and owns the parts that
// work on them: the connection (login, the mail connection, the session), the filters, the
// download run and the start-up printer. The message list, "Clear List", the larger view and
// the preview are its own. Everything it does is a numbered procedure (see core/Procedure.h).

#include "app/MainWindowControls.h"
#include "app/StartupPrinter.h"
#include "mail/MessageEntry.h"
#include "mail/clsImapSession.h"

#include <QPointer>
#include <QWidget>
#include <functional>

class Connection;
class DownloadRun;
class Form3;
class MailConnection;
class MessageFilters;

class Form1 : public QWidget, public MainWindowControls {
    Q_OBJECT
public:
    explicit Form1(QWidget *parent = nullptr);
    ~Form1() override;

    // What closing the window does after its shutdown steps: ends the process (tests replace it).
    static void setUnloadAction(std::function<void()> action);

    // Start-up; runs once, before the window is shown.
    void Form_Load();

    // State the other windows and the tests read.
    const ImapSessionPtr &session() const;
    bool connected() const;
    const MessageEntryTable &messageEntries() const;
    MessageFilters &filters() const { return *m_filters; }
    bool selectionPassFlag() const;
    MessageListPanel *listPanel() const { return panel; }
    bool isBusy() const;
    MailConnection *mailConnection() const;
    Form3 *previewWindow() const;

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Building the controls at their designed places.
    void createControls();
    void createLoginFrame();
    void createFolderFrame();
    void createFilterFrame();
    void createListArea();
    void createPrintArea();
    void connectHandlers();
    QPushButton *makeButton(QWidget *parent, const char *name, const char *caption, int left, int top,
                            int width);

    void Form_QueryUnload();
    void PushButton4_Click();   // "3. Preview Selected Messages"
    void PushButton7_Click();   // "Clear List"
    void PushButton11_Click();  // "Show List In Larger View"

    MessageFilters *m_filters = nullptr;
    Connection *m_connection = nullptr;
    DownloadRun *m_download = nullptr;
    StartupPrinter m_startupPrinter;
    bool m_closing = false;
    QPointer<Form3> m_preview;
};
