#include "app/FolderOptions.h"

#include "core/Conversions.h"
#include "core/Procedure.h"
#include "core/SettingsStore.h"
#include "mail/Folders.h"

#include <QRadioButton>

const QStringList &designedFolderCaptions()
{
    static const QStringList captions = {
        QStringLiteral("Inbox"),     QStringLiteral("All Mail"), QStringLiteral("Drafts"),
        QStringLiteral("Sent Mail"), QStringLiteral("Spam"),     QStringLiteral("Starred"),
        QStringLiteral("Trash"),     QStringLiteral("Important")};
    return captions;
}

void restoreFolderOptions(Procedure &p, const QList<QRadioButton *> &options)
{
    for (int i = 0; i < options.size(); ++i) {
        QRadioButton *option = options[i];
        p(134 + 2 * i, [&] {
            const QString key = option->objectName();
            const bool selected =
                toBoolean(getSetting(key, i == 0 ? QStringLiteral("True") : QStringLiteral("False")));
            if (selected) {
                option->setChecked(true);
            } else if (option->isChecked()) {
                // An exclusive group refuses to clear its checked button; no folder may be
                // selected when every stored value is false.
                option->setAutoExclusive(false);
                option->setChecked(false);
                option->setAutoExclusive(true);
            }
        });
    }
}

void saveFolderOptions(const QList<QRadioButton *> &options)
{
    Procedure p(QStringLiteral("Form1"), QStringLiteral("Option_Click"));
    p(100, [&] {
        for (QRadioButton *option : options)
            saveSetting(option->objectName(),
                        option->isChecked() ? QStringLiteral("True") : QStringLiteral("False"));
    });
}

void showFolderCaptions(const QList<QRadioButton *> &options, const QStringList &captions)
{
    for (int i = 1; i < options.size(); ++i)
        options[i]->setText(captions.value(i));
}

QString chosenMailboxName(const QList<QRadioButton *> &options, const QString &labelFilter)
{
    QList<bool> selected;
    QStringList captions;
    for (const QRadioButton *option : options) {
        selected << option->isChecked();
        captions << option->text();
    }
    return chooseMailboxName(labelFilter, selected, captions);
}
