#pragma once
// Opening a file with the desktop's default action (an image viewer for a picture).

#include <QString>
#include <QStringList>

namespace platform {

class Shell {
public:
    virtual ~Shell() = default;
    // Fire and forget: the result is not reported, as a missing file must not raise anything.
    virtual void openWithDefaultAction(const QString &path) = 0;
};

Shell &shell();
void setShell(Shell *replacement);  // not owned; nullptr restores the desktop implementation
void uninstallShell(Shell *installed);  // restores the desktop one when `installed` is in force

class RecordingShell : public Shell {
public:
    RecordingShell() { setShell(this); }
    ~RecordingShell() override { uninstallShell(this); }
    void openWithDefaultAction(const QString &path) override { opened << path; }
    QStringList opened;
};

}  // namespace platform
