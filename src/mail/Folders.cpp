#include "mail/Folders.h"

#include "core/AppGlobals.h"
#include "imap/ImapClient.h"

#include <optional>

namespace {

const QStringList &specialPrefixes()
{
    static const QStringList prefixes = {QStringLiteral("[Gmail]/"),
                                         QStringLiteral("[Google Mail]/")};
    return prefixes;
}

const QStringList &specialUseAttributes()
{
    static const QStringList attributes = {
        QStringLiteral("\\All"),     QStringLiteral("\\Drafts"),  QStringLiteral("\\Sent"),
        QStringLiteral("\\Junk"),    QStringLiteral("\\Flagged"), QStringLiteral("\\Trash"),
        QStringLiteral("\\Important")};
    return attributes;
}

bool hasSpecialUse(const MailboxInfo &mailbox)
{
    for (const QString &attribute : mailbox.attributes) {
        if (specialUseAttributes().contains(attribute, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

// The caption of a special folder: its name after the prefix, or the whole name when a
// special-use attribute alone made it special.
std::optional<QString> specialCaption(const MailboxInfo &mailbox)
{
    for (const QString &prefix : specialPrefixes()) {
        if (mailbox.name.startsWith(prefix, Qt::CaseInsensitive))
            return mailbox.name.mid(prefix.size());
    }
    if (hasSpecialUse(mailbox))
        return mailbox.name;
    return std::nullopt;
}

}  // namespace

FolderListing classifyMailboxes(const QList<MailboxInfo> &mailboxes)
{
    FolderListing listing;
    for (const MailboxInfo &mailbox : mailboxes) {
        if (const auto caption = specialCaption(mailbox)) {
            listing.specialCaptions << *caption;
            listing.specialMailboxes << mailbox.name;
        } else if (mailbox.name != QLatin1String("INBOX")) {
            listing.labels << mailbox.name;
        }
    }
    return listing;
}

void storeFolderListing(const FolderListing &listing)
{
    AppGlobals &g = globals();
    for (int i = 0; i < listing.specialCaptions.size() && i < 7; ++i) {
        g.GmailFolderNames[i + 1] = listing.specialCaptions[i];
        g.GmailFolderMailboxes[i + 1] = listing.specialMailboxes[i];
    }
    if (!listing.labels.isEmpty())
        g.LabelNames = listing.labels;
}

QString chooseMailboxName(const QString &labelFilter, const QList<bool> &selected,
                          const QStringList &captions)
{
    if (!labelFilter.isEmpty())
        return labelFilter;
    for (int i = 0; i < selected.size() && i < captions.size(); ++i) {
        if (!selected[i])
            continue;
        if (i == 0)
            return QStringLiteral("Inbox");
        // Ask for the name the server listed when this option shows a listed folder.
        const QString &listed = globals().GmailFolderMailboxes.value(i);
        if (!listed.isEmpty() && globals().GmailFolderNames.value(i) == captions[i])
            return listed;
        return QStringLiteral("[Gmail]/") + captions[i];
    }
    return QString();
}
