#pragma once
// The few values that every window shares for the whole run.

#include <QStringList>

struct AppGlobals {
    // Display names of the seven special folders, positions 1 to 7 (position 0 unused), as the
    // last folder listing found them; a position no listing filled keeps its older text.
    QStringList GmailFolderNames = QStringList(8);
    // Full names the server listed for those seven folders, same positions; a download of a
    // special folder asks for this name.
    QStringList GmailFolderMailboxes = QStringList(8);
    // All other mailboxes (the labels), in the server's order.
    QStringList LabelNames;
    // When true, a download run ends without its "Done." box.
    bool SkipDoneMessage = false;
    // True once the range dialog's "Continue" accepted a range.
    bool RangeConfirmed = false;
};

AppGlobals &globals();
