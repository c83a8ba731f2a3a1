#pragma once
// Message boxes that carry the application title unless they name their own.

#include "platform/Dialogs.h"

#include <QString>

// The title of every box that names none: "Quorvale" until start-up shortens it.
const QString &applicationTitle();
void setApplicationTitle(const QString &title);

platform::BoxAnswer showMessage(const QString &text,
                                platform::BoxButtons buttons = platform::BoxButtons::Ok,
                                platform::BoxIcon icon = platform::BoxIcon::None,
                                const QString &title = QString(),
                                const QString &detailedText = QString());
