#pragma once
// Acting inside a modal window that the code under test opens with exec().

#include <QApplication>
#include <QTimer>
#include <functional>

// Once a window of type Window is the visible modal window, runs `act` on it (once).
template <typename Window>
void whenOpen(std::function<void(Window *)> act)
{
    auto *timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act] {
        auto *window = qobject_cast<Window *>(QApplication::activeModalWidget());
        if (!window || !window->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        act(window);
    });
    timer->start();
}
