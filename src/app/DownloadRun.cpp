#include "app/DownloadRun.h"

#include "app/Connection.h"
#include "app/FolderOptions.h"
#include "app/MainWindowControls.h"
#include "app/MessageFilters.h"
#include "app/PaintPace.h"
#include "app/StatusProgressBar.h"
#include "core/AppGlobals.h"
#include "core/MessageBox.h"
#include "core/Procedure.h"
#include "core/Twips.h"
#include "list/CharacterFilter.h"
#include "list/MessageList.h"
#include "list/MessageListPanel.h"
#include "list/MessageListView.h"
#include "mail/Form2.h"
#include "platform/EventLoop.h"

#include <QPushButton>

namespace {
const QString kStopCaption = QStringLiteral("Stop");
const QString kGetAllCaption = QStringLiteral("2a. Get All Emails");
const QString kGetSomeCaption = QStringLiteral("2b. Get Some Emails");

void reportEmptyFolder()
{
    showMessage(QStringLiteral("There are no emails in the Folder you selected."));
    globals().SkipDoneMessage = true;
}

// A count the program could not take (its box is shown): no empty-folder box, and no "Done."
// for a run that downloaded nothing.
void skipRefusedCount()
{
    globals().SkipDoneMessage = true;
}

QString incompleteDownloadText(const clsImapSession &session)
{
    return QStringLiteral("Done. %1 of %2 messages could not be downloaded; the error log lists them.")
        .arg(session.failedFetches())
        .arg(session.fetchesInRange());
}

}  // namespace

DownloadRun::DownloadRun(const MainWindowControls &controls, Connection &connection,
                         const MessageFilters &filters)
    : QObject(controls.mainWindow), m_controls(controls), m_connection(connection), m_filters(filters)
{
    connect(controls.PushButton2, &QPushButton::clicked, this, &DownloadRun::PushButton2_Click);
    connect(controls.PushButton10, &QPushButton::clicked, this, &DownloadRun::PushButton10_Click);
    connect(&connection, &Connection::sessionCreated, this, &DownloadRun::listenTo);
}

void DownloadRun::listenTo(clsImapSession *session)
{
    connect(session, &clsImapSession::messageArrived, this, &DownloadRun::oSession_MailExtractListing,
            Qt::DirectConnection);
    connect(session, &clsImapSession::ScrapProgress, this, &DownloadRun::oSession_ScrapProgress,
            Qt::DirectConnection);
}

void DownloadRun::PushButton2_Click()
{
    downloadButton_Click("PushButton2_Click", &DownloadRun::runGetAll);
}

void DownloadRun::PushButton10_Click()
{
    downloadButton_Click("PushButton10_Click", &DownloadRun::runGetSome);
}

void DownloadRun::downloadButton_Click(const char *procedure, void (DownloadRun::*run)(Procedure &))
{
    Procedure p(QStringLiteral("Form1"), QLatin1String(procedure));
    if (p.test(100, [&] { return !m_connection.connected(); })) {
        p(102, [&] { showMessage(QStringLiteral("Please connect first (Step 1) before using this feature.")); });
        p(104, [&] { SortNewestFirst(m_controls.ListView1); });
        return;
    }
    if (p.test(106, [&] { return m_running; })) {
        stopDownload(p);
        return;
    }
    // A run changes the window several times for every message; a few paints a second show it.
    const PaintPace pace(m_controls.mainWindow, PaintPace::downloadIntervalMs());
    (this->*run)(p);
}

void DownloadRun::showRunning()
{
    m_running = true;
    m_controls.setBusyPointer();
    m_controls.PushButton2->setText(kStopCaption);
    m_controls.PushButton10->setText(kStopCaption);
    m_controls.PushButton2->resize(twips(7800), m_controls.PushButton2->height());
    m_controls.PushButton10->hide();
}

void DownloadRun::showIdle()
{
    m_running = false;
    m_controls.PushButton2->setText(kGetAllCaption);
    m_controls.PushButton10->setText(kGetSomeCaption);
    m_controls.PushButton2->resize(twips(3840), m_controls.PushButton2->height());
    m_controls.PushButton10->show();
}

// The session a run works with: the one of the connect when there is one, otherwise a new one
// that is connected here. Empty when that connect failed (or Stop came first).
ImapSessionPtr DownloadRun::sessionForRun(Procedure &p, int firstLine)
{
    ImapSessionPtr session = m_connection.session();
    if (session)
        return session;
    p(firstLine, [&] {
        m_connection.setSession(m_connection.newSession());
        session = m_connection.session();
        globals().SkipDoneMessage = false;
    });
    if (!session)
        return session;
    if (p.test(firstLine + 2, [&] { return !session->Connect(); })) {
        p(firstLine + 4, [&] { globals().SkipDoneMessage = true; });
        return nullptr;
    }
    return session;
}

// Rows are added unsorted during a download and sorted once at its end.
void DownloadRun::emptyListForDownload()
{
    m_controls.ListView1->clear();
    setListSorting(m_controls.ListView1, false);
    m_controls.panel->refreshTotals(true);
}

void DownloadRun::runGetAll(Procedure &p)
{
    p(108, [&] { showRunning(); });
    QString mailbox;
    p(110, [&] { mailbox = chosenMailboxName(m_controls.folderOptions, m_filters.label()); });
    p(112, [&] {
        emptyListForDownload();
        m_controls.panel->resetSelectionPass();
    });
    const ImapSessionPtr session = sessionForRun(p, 114);
    if (session && !session->AbortProcess) {
        bool counted = false;
        p(120, [&] {
            session->CurrentLocation = 1;
            session->MaxRecord = session->GetTotalMessage(mailbox);
            counted = true;
        });
        if (session->AbortProcess) {
            // Stop came while the mailbox was being counted: nothing to download or report.
        } else if (!counted) {
            skipRefusedCount();
        } else if (p.test(122, [&] { return session->MaxRecord > 0; })) {
            p(124, [&] { m_entries.clear(); });
            p(126, [&] { session->StartMailExtraction(mailbox); });
        } else {
            p(128, [&] { reportEmptyFolder(); });
        }
        p(130, [&] {
            m_controls.ListView1->addQueuedRows();
            m_controls.panel->refreshTotals(false);
        });
    }
    endRun(p, 132, session);
}

void DownloadRun::runGetSome(Procedure &p)
{
    p(108, [&] { showRunning(); });
    QString mailbox;
    p(110, [&] { mailbox = chosenMailboxName(m_controls.folderOptions, m_filters.label()); });
    const ImapSessionPtr session = sessionForRun(p, 112);
    if (session && !session->AbortProcess) {
        Form2 dialog(m_controls.mainWindow);
        bool counted = false;
        p(118, [&] {
            dialog.ImapSession = session;
            dialog.MaxMessage = session->GetTotalMessage(mailbox);
            counted = true;
        });
        if (session->AbortProcess) {
            // Stop came while the mailbox was being counted.
        } else if (!counted) {
            skipRefusedCount();
        } else if (p.test(120, [&] { return session->GetTotalMessage(mailbox) > 0; })) {
            p(122, [&] { dialog.exec(); });
            if (dialog.MatchingChosen) {
                runMatching(p, session, mailbox);
            } else if (!p.test(124, [&] { return !globals().RangeConfirmed; })) {
                p(126, [&] { emptyListForDownload(); });
                p(128, [&] { m_entries.clear(); });
                p(130, [&] { session->StartMailExtraction(mailbox); });
            }
        } else {
            p(132, [&] { reportEmptyFolder(); });
        }
        p(134, [&] {
            m_controls.ListView1->addQueuedRows();
            m_controls.panel->refreshTotals(false);
            m_controls.panel->resetSelectionPass();
        });
    }
    endRun(p, 136, session);
}

void DownloadRun::endRun(Procedure &p, int firstLine, const ImapSessionPtr &session)
{
    // A later connect may have put a session of its own in place meanwhile; that one stays.
    // Every row of the run is in the list before anything of its end is shown.
    p(firstLine, [&] {
        m_controls.ListView1->addQueuedRows();
        if (!session || m_connection.session() == session)
            m_connection.setSession(nullptr);
    });
    p(firstLine + 2, [&] { m_controls.setDefaultPointer(); });
    p(firstLine + 4, [&] {
        m_controls.ProgressBar1->setValue(0);
        m_controls.ProgressBar1->setStatusText(QStringLiteral("Progress Bar"));
    });
    p(firstLine + 6, [&] { showIdle(); });
    if (session && session->connectionTaken()) {
        // The user disconnected or connected again during the run: it ended as if stopped, and
        // whatever runs now on the new connection speaks for itself.
    } else if (session && !session->AbortProcess && session->failedFetches() > 0) {
        p(firstLine + 8, [&] { showMessage(incompleteDownloadText(*session)); });
    } else if (p.test(firstLine + 8, [&] { return !globals().SkipDoneMessage; })) {
        p(firstLine + 10, [&] { showMessage(QStringLiteral("Done.")); });
    }
    p(firstLine + 12, [&] { SortNewestFirst(m_controls.ListView1); });
}

void DownloadRun::stopDownload(Procedure &p)
{
    p(150, [&] { showIdle(); });
    p(152, [&] {
        // The session finishes its running call on its own reference.
        if (const ImapSessionPtr &session = m_connection.session())
            session->AbortProcess = true;
        m_connection.setSession(nullptr);
    });
    p(154, [&] {
        m_controls.ListView1->addQueuedRows();
        SortNewestFirst(m_controls.ListView1);
    });
}

void DownloadRun::oSession_MailExtractListing(const MessageEntry &entry, qint32)
{
    Procedure p(QStringLiteral("Form1"), QStringLiteral("oSession_MailExtractListing"));
    if (p.test(100, [&] { return characterFilterAccepts(m_filters.characters(), entry); })) {
        QTreeWidgetItem *row = nullptr;
        p(102, [&] { row = queueMessageRow(m_controls.ListView1, entry); });
        p(104, [&] {
            if (row)
                m_entries.store(entryNumberOf(row), entry);
        });
        p(106, [&] {
            if (row)
                setDayNumberCell(row, entry.ReceivedDateTime);
        });
    }
    p(108, [&] { platform::giveEventLoopTurn(); });
}

void DownloadRun::oSession_ScrapProgress(qint32 &percent)
{
    StatusProgressBar *status = m_controls.ProgressBar1;
    status->setMaximum(100);
    status->setValue(qBound(0, percent, 100));
    if (const ImapSessionPtr &session = m_connection.session()) {
        status->setStatusText(QStringLiteral("Reading mail ") + QString::number(session->CurrentLocation)
                              + QStringLiteral(" of ") + QString::number(session->MaxRecord));
    }
    // The session gives the event loop its turn as soon as this returns.
}
