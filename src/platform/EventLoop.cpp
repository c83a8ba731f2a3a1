#include "platform/EventLoop.h"

#include <QCoreApplication>

namespace platform {

namespace {
std::function<void()> customTurn;
long long turns = 0;
}  // namespace

void giveEventLoopTurn()
{
    ++turns;
    if (customTurn)
        customTurn();
    else
        QCoreApplication::processEvents();
}

long long eventLoopTurnCount()
{
    return turns;
}

void setEventLoopTurn(std::function<void()> turn)
{
    customTurn = std::move(turn);
}

}  // namespace platform
