#pragma once
// Turning the server's mailbox list into the seven special folders and the labels, and the
// user's folder choice into the mailbox name a download reads.

#include <QList>
#include <QString>
#include <QStringList>

struct MailboxInfo;

struct FolderListing {
    // Special folders in the server's order: what the user sees, and the name to ask for.
    QStringList specialCaptions;
    QStringList specialMailboxes;
    QStringList labels;
};

// A special folder starts with "[Gmail]/" or "[Google Mail]/" (any letter case) or carries a
// special-use attribute; "INBOX" is neither; everything else is a label.
FolderListing classifyMailboxes(const QList<MailboxInfo> &mailboxes);

// Copies a listing into the application-wide lists: positions 1 to 7 of the special folders
// (later ones are dropped, unfilled positions keep their old text); the labels replace the old
// ones only when there is at least one.
void storeFolderListing(const FolderListing &listing);

// The mailbox a download reads. `selected` and `captions` hold the eight folder options in the
// order Inbox, All Mail, Drafts, Sent Mail, Spam, Starred, Trash, Important.
QString chooseMailboxName(const QString &labelFilter, const QList<bool> &selected,
                          const QStringList &captions);
