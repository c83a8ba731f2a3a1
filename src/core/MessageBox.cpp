#include "core/MessageBox.h"

namespace {
QString &titleStorage()
{
    static QString title = QStringLiteral("Quorvale");
    return title;
}
}  // namespace

const QString &applicationTitle()
{
    return titleStorage();
}

void setApplicationTitle(const QString &title)
{
    titleStorage() = title;
}

platform::BoxAnswer showMessage(const QString &text, platform::BoxButtons buttons,
                                platform::BoxIcon icon, const QString &title,
                                const QString &detailedText)
{
    platform::MessageBoxRequest box;
    box.text = text;
    box.title = title.isEmpty() ? applicationTitle() : title;
    box.buttons = buttons;
    box.icon = icon;
    box.detailedText = detailedText;
    return platform::dialogs().messageBox(box);
}
