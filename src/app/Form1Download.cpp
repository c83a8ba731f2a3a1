// "2a. Get All Emails", "2b. Get Some Emails", Stop, and the session's two events.

#include "app/Form1.h"

#include "app/StatusProgressBar.h"
#include "core/AppGlobals.h"
#include "core/MessageBox.h"
#include "core/Procedure.h"
#include "core/Twips.h"
#include "list/CharacterFilter.h"
#include "list/MessageList.h"
#include "list/MessageListPanel.h"
#include "list/MessageListView.h"
#include "mail/Folders.h"
#include "mail/Form2.h"
#include "platform/EventLoop.h"

#include <QPushButton>
#include <QRadioButton>

namespace {
const QString kStopCaption = QStringLiteral("Stop");
const QString kGetAllCaption = QStringLiteral("2a. Get All Emails");
const QString kGetSomeCaption = QStringLiteral("2b. Get Some Emails");
}  // namespace

void Form1::PushButton2_Click()
{
    downloadButton_Click("PushButton2_Click", PushButton2, &Form1::runGetAll);
}

void Form1::PushButton10_Click()
{
    downloadButton_Click("PushButton10_Click", PushButton10, &Form1::runGetSome);
}

void Form1::downloadButton_Click(const char *procedure, QPushButton *clicked,
                                 void (Form1::*run)(Procedure &))
{
    Procedure p(QStringLiteral("Form1"), QLatin1String(procedure));
    if (p.test(100, [&] { return PushButton3->text() == QLatin1String("1. Connect"); })) {
        p(102, [&] { showMessage(QStringLiteral("Please connect first (Step 1) before using this feature.")); });
        p(104, [&] { SortNewestFirst(ListView1); });
        return;
    }
    if (p.test(106, [&] { return clicked->text() == kStopCaption; })) {
        stopDownload(p);
        return;
    }
    (this->*run)(p);
}

void Form1::showRunning()
{
    setBusyPointer();
    PushButton2->setText(kStopCaption);
    PushButton10->setText(kStopCaption);
    PushButton2->resize(twips(7800), PushButton2->height());
    PushButton10->hide();
}

void Form1::showIdle()
{
    PushButton2->setText(kGetAllCaption);
    PushButton10->setText(kGetSomeCaption);
    PushButton2->resize(twips(3840), PushButton2->height());
    PushButton10->show();
}

QString Form1::chosenMailboxName() const
{
    QList<bool> selected;
    QStringList captions;
    for (const QRadioButton *option : folderOptions) {
        selected << option->isChecked();
        captions << option->text();
    }
    return chooseMailboxName(LabelFilter, selected, captions);
}

// The session a run works with: the one of the connect when there is one, otherwise a new one
// that is connected here. Empty when that connect failed (or Stop came first).
ImapSessionPtr Form1::sessionForRun(Procedure &p, int firstLine)
{
    ImapSessionPtr session = oSession;
    if (session)
        return session;
    p(firstLine, [&] {
        oSession = newSession();
        session = oSession;
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
void Form1::emptyListForDownload()
{
    ListView1->clear();
    setListSorting(ListView1, false);
    refreshTotals(true);
}

void Form1::reportEmptyFolder()
{
    showMessage(QStringLiteral("There are no emails in the Folder you selected."));
    globals().SkipDoneMessage = true;
}

// A count the program could not take (its box is shown): no empty-folder box, and no "Done."
// for a run that downloaded nothing.
void Form1::skipRefusedCount()
{
    globals().SkipDoneMessage = true;
}

void Form1::runGetAll(Procedure &p)
{
    p(108, [&] { showRunning(); });
    QString mailbox;
    p(110, [&] { mailbox = chosenMailboxName(); });
    p(112, [&] {
        emptyListForDownload();
        m_listPanel->resetSelectionPass();
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
            p(124, [&] { MessageEntries.clear(); });
            p(126, [&] { session->StartMailExtraction(mailbox); });
        } else {
            p(128, [&] { reportEmptyFolder(); });
        }
        p(130, [&] { refreshTotals(false); });
    }
    endRun(p, 132, session);
}

void Form1::runGetSome(Procedure &p)
{
    p(108, [&] { showRunning(); });
    QString mailbox;
    p(110, [&] { mailbox = chosenMailboxName(); });
    const ImapSessionPtr session = sessionForRun(p, 112);
    if (session && !session->AbortProcess) {
        Form2 dialog(this);
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
            if (!p.test(124, [&] { return !globals().RangeConfirmed; })) {
                p(126, [&] { emptyListForDownload(); });
                p(128, [&] { MessageEntries.clear(); });
                p(130, [&] { session->StartMailExtraction(mailbox); });
            }
        } else {
            p(132, [&] { reportEmptyFolder(); });
        }
        p(134, [&] {
            refreshTotals(false);
            m_listPanel->resetSelectionPass();
        });
    }
    endRun(p, 136, session);
}

void Form1::endRun(Procedure &p, int firstLine, const ImapSessionPtr &session)
{
    // A later connect may have put a session of its own into oSession meanwhile; that one stays.
    p(firstLine, [&] {
        if (!session || oSession == session)
            oSession.reset();
    });
    p(firstLine + 2, [&] { setDefaultPointer(); });
    p(firstLine + 4, [&] {
        ProgressBar1->setValue(0);
        ProgressBar1->setStatusText(QStringLiteral("Progress Bar"));
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
    p(firstLine + 12, [&] { SortNewestFirst(ListView1); });
}

void Form1::stopDownload(Procedure &p)
{
    p(150, [&] { showIdle(); });
    p(152, [&] {
        // The session finishes its running call on its own reference.
        if (oSession)
            oSession->AbortProcess = true;
        oSession.reset();
    });
    p(154, [&] { SortNewestFirst(ListView1); });
}

QString Form1::incompleteDownloadText(const clsImapSession &session)
{
    return QStringLiteral("Done. %1 of %2 messages could not be downloaded; the error log lists them.")
        .arg(session.failedFetches())
        .arg(session.fetchesInRange());
}

bool Form1::characterFilterAccepts(const MessageEntry &entry) const
{
    return ::characterFilterAccepts(CharactersFilter, entry);
}

void Form1::oSession_MailExtractListing(const MessageEntry &entry, qint32)
{
    Procedure p(QStringLiteral("Form1"), QStringLiteral("oSession_MailExtractListing"));
    if (p.test(100, [&] { return characterFilterAccepts(entry); })) {
        QTreeWidgetItem *row = nullptr;
        p(102, [&] { row = appendMessageRow(ListView1, entry); });
        p(104, [&] { MessageEntries.store(ListView1->topLevelItemCount(), entry); });
        p(106, [&] {
            if (row)
                setDayNumberCell(row, entry.ReceivedDateTime);
        });
    }
    p(108, [&] { platform::giveEventLoopTurn(); });
}

void Form1::oSession_ScrapProgress(qint32 &percent)
{
    ProgressBar1->setMaximum(100);
    ProgressBar1->setValue(qBound(0, percent, 100));
    if (oSession) {
        ProgressBar1->setStatusText(QStringLiteral("Reading mail ")
                                    + QString::number(oSession->CurrentLocation) + QStringLiteral(" of ")
                                    + QString::number(oSession->MaxRecord));
    }
    platform::giveEventLoopTurn();
}
