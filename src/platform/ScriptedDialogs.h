#pragma once
// A Dialogs double: records every box and answers from a queue. When the queue is empty a
// message box is answered with OK, or No to a question (so nothing is opened), an input box with `defaultInput`,
// a folder browser and a save-file dialog with empty text (cancel).

#include "platform/Dialogs.h"

#include <QList>
#include <QQueue>
#include <QStringList>
#include <functional>

namespace platform {

class ScriptedDialogs : public Dialogs {
public:
    struct Shown {
        enum Kind { MessageBox, InputBox, FolderBrowser, SaveFileDialog } kind;
        // For input boxes and browsers: text = prompt, detailedText = the default or start.
        // For save-file dialogs: title, text = the filter, detailedText = the suggested path.
        MessageBoxRequest request;
    };

    // Installs itself for its lifetime.
    ScriptedDialogs();
    ~ScriptedDialogs() override;

    BoxAnswer messageBox(const MessageBoxRequest &request) override;
    QString inputBox(const QString &prompt, const QString &title,
                     const QString &defaultText) override;
    QString browseForFolder(QWidget *owner, const QString &prompt,
                            const QString &startFolder) override;
    QString saveFileName(QWidget *owner, const QString &title, const QString &suggestedPath,
                         const QString &filter) override;
    void beep() override { ++beeps; }

    // Texts of the message boxes shown so far, oldest first.
    QStringList messageTexts() const;
    void clear() { shown.clear(); }

    QList<Shown> shown;
    QQueue<BoxAnswer> answers;
    QQueue<QString> inputs;
    QQueue<QString> folders;
    QQueue<QString> saveNames;
    QString defaultInput;
    int beeps = 0;
    // Called while a message box "is open", before it is answered; lets a test act inside it.
    std::function<void(const MessageBoxRequest &)> onMessageBox;
};

}  // namespace platform
