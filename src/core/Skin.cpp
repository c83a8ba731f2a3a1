#include "core/Skin.h"

#include "core/AppError.h"
#include "core/FileTests.h"
#include "core/ProgramFolder.h"
#include "core/SkinFramework.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPixmap>
#include <QRadioButton>
#include <QWidget>

namespace {

void paintBackground(QWidget *widget, const QColor &colour)
{
    QPalette palette = widget->palette();
    palette.setColor(widget->backgroundRole(), colour);
    widget->setPalette(palette);
    // Child controls leave their background to the parent unless told to fill it.
    widget->setAutoFillBackground(true);
}

template <typename Control>
void paintAll(QWidget *window, const QColor &colour)
{
    for (Control *control : window->findChildren<Control *>())
        paintBackground(control, colour);
}

}  // namespace

void FlattenColors(QWidget *window)
{
    if (!window)
        return;
    const QColor colour = window->palette().color(QPalette::Button);
    paintBackground(window, colour);
    paintAll<QRadioButton>(window, colour);
    paintAll<QCheckBox>(window, colour);
    paintAll<QGroupBox>(window, colour);
    paintAll<QLabel>(window, colour);
}

void SkinMainWindow(QWidget *mainWindow)
{
    const QString skinFile = programFile(QStringLiteral("x/o.cjs"));
    if (!mainWindow || !PathExists(skinFile))
        return;
    FlattenColors(mainWindow);
    auto *skin = mainWindow->findChild<SkinFramework *>(QStringLiteral("SkinFramework1"));
    if (!skin) {
        skin = new SkinFramework(mainWindow);
        skin->setObjectName(QStringLiteral("SkinFramework1"));
    }
    skin->LoadSkin(skinFile, QString());
    skin->Options |= SkinFramework::KeepOwnStyleSheet;
    skin->Enabled = true;
    skin->AutoApplyNewWindows = true;
    skin->ApplyWindow(mainWindow);
}

QCursor loadPointerImage(const QString &path)
{
    const QPixmap picture(path);
    if (picture.isNull())
        apperror::throwInvalidPicture(path);
    return QCursor(picture);
}
