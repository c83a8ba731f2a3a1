#pragma once
// The "Folder" frame's eight options (Option3 ... Option10): their designed captions, the
// account's folder names once connected, the choice kept in the settings, and the mailbox a
// download reads.

#include <QList>
#include <QStringList>

class Procedure;
class QRadioButton;

const QStringList &designedFolderCaptions();

// Each option's stored choice, statements 134, 136 ... of `p`.
void restoreFolderOptions(Procedure &p, const QList<QRadioButton *> &options);
// The "Option_Click" procedure: every option's state into the settings.
void saveFolderOptions(const QList<QRadioButton *> &options);
// `captions` (the designed ones, or the account's folder names) on the options after the
// first: Inbox keeps its caption.
void showFolderCaptions(const QList<QRadioButton *> &options, const QStringList &captions);
// What a download reads: the label filter when one is set, otherwise the chosen folder.
QString chosenMailboxName(const QList<QRadioButton *> &options, const QString &labelFilter);
