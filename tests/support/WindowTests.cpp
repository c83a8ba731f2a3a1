#include "WindowTests.h"

#include "TestServer.h"

#include "app/Form1.h"
#include "core/ProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QWindow>
#include <QtTest>

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

std::unique_ptr<Form1> windowWithInbox(const TestServer &server)
{
    auto form = std::make_unique<Form1>();
    form->Form_Load();
    form->show();
    form->Text1->setText(server.user);
    form->Text2->setText(server.password);
    form->PushButton3->click();
    form->PushButton2->click();
    return form;
}

Qt::CursorShape pointerOver(QWidget *widget)
{
    QWidget *window = widget->window();
    window->show();
    for (int y = 1; QTest::qWaitForWindowExposed(window) && y < widget->height(); y += 2) {
        for (int x = 1; x < widget->width(); x += 2) {
            const QPoint at = widget->mapTo(window, QPoint(x, y));
            if ((window->childAt(at) ? window->childAt(at) : window) == widget) {
                QTest::mouseMove(window->windowHandle(), at);
                return widget->cursor().shape();
            }
        }
    }
    return Qt::BlankCursor;  // no point of its own
}
