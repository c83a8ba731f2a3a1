#pragma once
// Every message box, input box, folder browser and save-file dialog of the program goes through this interface,
// so that tests can read each box's text and answer it from a script.

#include <QString>

class QWidget;

namespace platform {

enum class BoxIcon { None, Information, Exclamation, Critical, Question };
enum class BoxButtons { Ok, YesNo, OkCancel, YesNoCancel };
enum class BoxAnswer { Ok, Yes, No, Cancel };

struct MessageBoxRequest {
    QString text;
    QString title;
    BoxButtons buttons = BoxButtons::Ok;
    BoxIcon icon = BoxIcon::None;
    QString detailedText;  // offered behind a "Show Details" button; empty for none
};

class Dialogs {
public:
    virtual ~Dialogs() = default;
    virtual BoxAnswer messageBox(const MessageBoxRequest &request) = 0;
    // Returns the typed text on OK and empty text on Cancel.
    virtual QString inputBox(const QString &prompt, const QString &title,
                             const QString &defaultText) = 0;
    // Returns the chosen folder, or empty text when the user cancels.
    virtual QString browseForFolder(QWidget *owner, const QString &prompt,
                                    const QString &startFolder) = 0;
    // A file to save to, starting at `suggestedPath` (a folder, or a folder and a name) and
    // offering the files `filter` names ("PDF files (*.pdf)"); empty text when the user cancels.
    // It never asks about replacing a file: callers that save never overwrite.
    virtual QString saveFileName(QWidget *owner, const QString &title,
                                 const QString &suggestedPath, const QString &filter) = 0;
    virtual void beep() = 0;
};

// The dialogs in force; the Qt implementation unless a test installed another.
Dialogs &dialogs();
// Installs `replacement` (not owned); nullptr puts the Qt implementation back.
void setDialogs(Dialogs *replacement);
// Puts the Qt implementation back when `installed` is the one in force.
void uninstallDialogs(Dialogs *installed);

}  // namespace platform
