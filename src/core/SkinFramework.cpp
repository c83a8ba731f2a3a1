#include "core/SkinFramework.h"

#include "core/AppError.h"

#include <QApplication>
#include <QEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QWidget>

namespace {
// Where a skinned window keeps the style sheet it had before, so that applying twice does not
// stack the skin.
const char OwnStyleSheetProperty[] = "skinFrameworkOwnStyleSheet";

QString readSheet(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw AppError(QStringLiteral("Cannot load the skin %1: %2").arg(path, file.errorString()));
    return QString::fromUtf8(file.readAll());
}
}  // namespace

SkinFramework::SkinFramework(QObject *parent) : QObject(parent)
{
    if (qApp)
        qApp->installEventFilter(this);
}

void SkinFramework::LoadSkin(const QString &path, const QString &ini)
{
    QString sheet = readSheet(path);
    if (!ini.isEmpty())
        sheet += QLatin1Char('\n') + readSheet(QFileInfo(path).dir().filePath(ini));
    m_styleSheet = sheet;
}

void SkinFramework::ApplyWindow(QWidget *window)
{
    if (!window || !Enabled || m_styleSheet.isEmpty())
        return;
    QVariant own = window->property(OwnStyleSheetProperty);
    if (!own.isValid()) {
        own = window->styleSheet();
        window->setProperty(OwnStyleSheetProperty, own);
    }
    const QString ownSheet = own.toString();
    const QString sheet = (Options & KeepOwnStyleSheet) && !ownSheet.isEmpty()
        ? ownSheet + QLatin1Char('\n') + m_styleSheet
        : m_styleSheet;
    // Replacing one non-empty sheet by another leaves the controls already on the window with
    // the old rules (Qt 6.4); clearing it first makes every control take the new ones.
    window->setStyleSheet(QString());
    window->setStyleSheet(sheet);
}

bool SkinFramework::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Show && AutoApplyNewWindows && watched->isWidgetType()) {
        auto *widget = static_cast<QWidget *>(watched);
        const Qt::WindowType type = widget->windowType();
        if (widget->isWindow() && (type == Qt::Window || type == Qt::Dialog)
            && !widget->property(OwnStyleSheetProperty).isValid())
            ApplyWindow(widget);
    }
    return QObject::eventFilter(watched, event);
}
