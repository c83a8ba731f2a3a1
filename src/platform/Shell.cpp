#include "platform/Shell.h"

#include <QDesktopServices>
#include <QUrl>

namespace platform {

namespace {

class DesktopShell : public Shell {
public:
    void openWithDefaultAction(const QString &path) override
    {
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    }
};

DesktopShell desktopShell;
Shell *current = &desktopShell;

}  // namespace

Shell &shell()
{
    return *current;
}

void setShell(Shell *replacement)
{
    current = replacement ? replacement : &desktopShell;
}

void uninstallShell(Shell *installed)
{
    if (current == installed)
        current = &desktopShell;
}

}  // namespace platform
