#include "WindowTests.h"

#include "app/Form1.h"
#include "core/ProgramFolder.h"

#include <QDir>
#include <QFile>

void prepareWindowTests(const QString &programFolder, PageResources resources, std::function<void()> unload)
{
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    setProgramFolder(programFolder);
    Form1::setUnloadAction(std::move(unload));
    if (resources == PageResources::Without)
        return;
    for (const char *file : {"Base.tmp", "gmail_logo.gif"})
        QFile::copy(QStringLiteral(QUORVALE_TEST_SOURCE_DIR "/../resources/") + file,
                    QDir(programFolder).filePath(file));
}
