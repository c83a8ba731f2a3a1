#pragma once
// "Give the event loop a turn": long work on the one GUI thread calls this between steps so
// that painting and user actions (a click on Stop) are handled inside the running operation.

#include <functional>

namespace platform {

void giveEventLoopTurn();

// Counts turns; benchmarks and tests read it to see how often long work yields.
long long eventLoopTurnCount();

// Replaces what a turn does (nullptr restores QCoreApplication::processEvents).
void setEventLoopTurn(std::function<void()> turn);

}  // namespace platform
