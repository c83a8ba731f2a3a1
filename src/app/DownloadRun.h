#pragma once
// "2a. Get All Emails", "2b. Get Some Emails" and Stop: one download run at a time into the
// message list, the session's events while it runs, and its progress. It keeps the downloaded
// messages; whether a run is going is held here, the buttons' "Stop" caption only shows it.

#include "mail/MessageEntry.h"
#include "mail/clsImapSession.h"

#include <QObject>

class Connection;
class MessageFilters;
class Procedure;
struct MainWindowControls;

class DownloadRun : public QObject {
    Q_OBJECT
public:
    DownloadRun(const MainWindowControls &controls, Connection &connection,
                const MessageFilters &filters);

    bool running() const { return m_running; }
    const MessageEntryTable &entries() const { return m_entries; }

    void PushButton2_Click();   // "2a. Get All Emails" / "Stop"
    void PushButton10_Click();  // "2b. Get Some Emails" / "Stop"

private:
    void listenTo(clsImapSession *session);
    void downloadButton_Click(const char *procedure, void (DownloadRun::*run)(Procedure &));
    void runGetAll(Procedure &p);
    void runGetSome(Procedure &p);
    // The road of "Get Emails Matching..." in the range dialog: the search window, then the
    // download of the messages found.
    void runMatching(Procedure &p, const ImapSessionPtr &session, const QString &mailbox);
    void stopDownload(Procedure &p);
    void showRunning();
    void showIdle();
    void emptyListForDownload();
    void endRun(Procedure &p, int firstLine, const ImapSessionPtr &session);
    ImapSessionPtr sessionForRun(Procedure &p, int firstLine);
    void oSession_MailExtractListing(const MessageEntry &entry, qint32 sequenceNumber);
    void oSession_ScrapProgress(qint32 &percent);

    const MainWindowControls &m_controls;
    Connection &m_connection;
    const MessageFilters &m_filters;
    MessageEntryTable m_entries;
    bool m_running = false;
};
