// The download of the messages that match a search, run from the range dialog.

#include "app/DownloadRun.h"

#include "app/MainWindowControls.h"
#include "core/AppGlobals.h"
#include "core/Procedure.h"
#include "mail/MatchingEmailsWindow.h"

void DownloadRun::runMatching(Procedure &p, const ImapSessionPtr &session, const QString &mailbox)
{
    MatchingEmailsWindow window(m_controls.mainWindow);
    window.ImapSession = session;
    window.FolderName = mailbox;
    p(200, [&] { window.exec(); });
    if (!window.confirmed() || session->AbortProcess) {
        // As when the range dialog is closed: the list keeps its rows and no "Done." follows.
        globals().SkipDoneMessage = true;
        return;
    }
    p(202, [&] { emptyListForDownload(); });
    p(204, [&] { m_entries.clear(); });
    p(206, [&] { session->StartSearchExtraction(mailbox); });
}
