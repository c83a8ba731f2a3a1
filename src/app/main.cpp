#include "app/Form1.h"
#include "platform/MessagePageScheme.h"
#include "platform/PrivateTempFolder.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // The browser views need both before the application object exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    platform::registerMessagePageScheme();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvale"));
    QApplication::setOrganizationName(QStringLiteral("Tervane"));
    Form1 window;
    window.Form_Load();
    window.show();
    const int code = app.exec();
    platform::removePrivateTempFolder();
    return code;
}
