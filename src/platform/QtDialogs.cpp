#include "platform/QtDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace platform {

namespace {

QMessageBox::Icon toQtIcon(BoxIcon icon)
{
    switch (icon) {
    case BoxIcon::Information: return QMessageBox::Information;
    case BoxIcon::Exclamation: return QMessageBox::Warning;
    case BoxIcon::Critical: return QMessageBox::Critical;
    case BoxIcon::Question: return QMessageBox::Question;
    case BoxIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons toQtButtons(BoxButtons buttons)
{
    switch (buttons) {
    case BoxButtons::YesNo: return QMessageBox::Yes | QMessageBox::No;
    case BoxButtons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
    case BoxButtons::YesNoCancel: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case BoxButtons::Ok: break;
    }
    return QMessageBox::Ok;
}

BoxAnswer fromQtButton(int button)
{
    switch (button) {
    case QMessageBox::Yes: return BoxAnswer::Yes;
    case QMessageBox::No: return BoxAnswer::No;
    case QMessageBox::Cancel: return BoxAnswer::Cancel;
    default: return BoxAnswer::Ok;
    }
}

}  // namespace

BoxAnswer QtDialogs::messageBox(const MessageBoxRequest &request)
{
    QMessageBox box(toQtIcon(request.icon), request.title, request.text,
                    toQtButtons(request.buttons), QApplication::activeWindow());
    if (!request.detailedText.isEmpty())
        box.setDetailedText(request.detailedText);
    return fromQtButton(box.exec());
}

QString QtDialogs::inputBox(const QString &prompt, const QString &title,
                            const QString &defaultText)
{
    bool ok = false;
    const QString text = QInputDialog::getText(QApplication::activeWindow(), title, prompt,
                                               QLineEdit::Normal, defaultText, &ok);
    return ok ? text : QString();
}

QString QtDialogs::browseForFolder(QWidget *owner, const QString &prompt,
                                   const QString &startFolder)
{
    return QFileDialog::getExistingDirectory(owner, prompt, startFolder,
                                             QFileDialog::ShowDirsOnly);
}

QString QtDialogs::saveFileName(QWidget *owner, const QString &title,
                                const QString &suggestedPath, const QString &filter)
{
    return QFileDialog::getSaveFileName(owner ? owner : QApplication::activeWindow(), title,
                                        suggestedPath, filter, nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

void QtDialogs::beep()
{
    QApplication::beep();
}

namespace {
QtDialogs qtDialogs;
Dialogs *current = &qtDialogs;
}  // namespace

Dialogs &dialogs()
{
    return *current;
}

void setDialogs(Dialogs *replacement)
{
    current = replacement ? replacement : &qtDialogs;
}

void uninstallDialogs(Dialogs *installed)
{
    if (current == installed)
        current = &qtDialogs;
}

}  // namespace platform
