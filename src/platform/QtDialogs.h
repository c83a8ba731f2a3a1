#pragma once

#include "platform/Dialogs.h"

namespace platform {

class QtDialogs : public Dialogs {
public:
    BoxAnswer messageBox(const MessageBoxRequest &request) override;
    QString inputBox(const QString &prompt, const QString &title,
                     const QString &defaultText) override;
    QString browseForFolder(QWidget *owner, const QString &prompt,
                            const QString &startFolder) override;
    QString saveFileName(QWidget *owner, const QString &title, const QString &suggestedPath,
                         const QString &filter) override;
    void beep() override;
};

}  // namespace platform
