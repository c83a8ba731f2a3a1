#include "platform/ScriptedDialogs.h"

namespace platform {

ScriptedDialogs::ScriptedDialogs()
{
    setDialogs(this);
}

ScriptedDialogs::~ScriptedDialogs()
{
    uninstallDialogs(this);
}

BoxAnswer ScriptedDialogs::messageBox(const MessageBoxRequest &request)
{
    shown.append({Shown::MessageBox, request});
    if (onMessageBox)
        onMessageBox(request);
    if (!answers.isEmpty())
        return answers.dequeue();
    if (request.buttons == BoxButtons::YesNo || request.buttons == BoxButtons::YesNoCancel)
        return BoxAnswer::No;
    return BoxAnswer::Ok;
}

QString ScriptedDialogs::inputBox(const QString &prompt, const QString &title,
                                  const QString &defaultText)
{
    MessageBoxRequest r;
    r.text = prompt;
    r.title = title;
    r.detailedText = defaultText;
    shown.append({Shown::InputBox, r});
    return inputs.isEmpty() ? defaultInput : inputs.dequeue();
}

QString ScriptedDialogs::browseForFolder(QWidget *, const QString &prompt,
                                         const QString &startFolder)
{
    MessageBoxRequest r;
    r.text = prompt;
    r.detailedText = startFolder;
    shown.append({Shown::FolderBrowser, r});
    return folders.isEmpty() ? QString() : folders.dequeue();
}

QString ScriptedDialogs::saveFileName(QWidget *, const QString &title,
                                      const QString &suggestedPath, const QString &filter)
{
    MessageBoxRequest r;
    r.title = title;
    r.text = filter;
    r.detailedText = suggestedPath;
    shown.append({Shown::SaveFileDialog, r});
    return saveNames.isEmpty() ? QString() : saveNames.dequeue();
}

QStringList ScriptedDialogs::messageTexts() const
{
    QStringList texts;
    for (const Shown &s : shown) {
        if (s.kind == Shown::MessageBox)
            texts << s.request.text;
    }
    return texts;
}

}  // namespace platform
