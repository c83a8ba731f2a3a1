#pragma once
// One conversation with the print server, kept short and off the window's thread. libcups
// blocks: a print server that accepts connections but never answers (a stopped cupsd) would
// freeze the windows for minutes. So each conversation runs on a thread of its own, over a
// connection of its own with a time limit on connecting and on every silence, while the caller
// waits through the one wait facility and the windows keep painting.
//
// The work runs on the other thread and may outlive the caller's wait (when even the limits of
// libcups do not end it). It must therefore own everything it touches: capture by value, and
// hand results back through a shared_ptr it holds itself.

#include <QString>
#include <atomic>
#include <functional>
#include <memory>

typedef struct _http_s http_t;

namespace platform {

struct PrintServerLimits {
    int connectMs = 3000;  // to open the connection
    int silenceMs = 5000;  // the longest the server may stay silent during a request
};

// Calls work(http, progress) on its own thread with a fresh connection to the print server CUPS
// uses. True when the work ran to its end; false with a reason naming the print server when it
// could not be reached, stayed silent past the limit, or the work did not end in time. The work
// bumps `progress` while it moves data (a large document): a wait that sees progress is not a
// silent one.
using PrintServerWork = std::function<void(http_t *http, std::atomic<int> *progress)>;

// How a caller calls the work off: `requested` is asked on the caller's thread during the wait.
// Once it says yes, `calledOff` is set for the work (which holds it too) to stop at its next
// step and undo what it began, and the wait goes on until the work has ended, so that the
// caller returns only once the server knows.
struct PrintServerCancel {
    std::function<bool()> requested;
    std::shared_ptr<std::atomic<bool>> calledOff = std::make_shared<std::atomic<bool>>(false);
};

bool callPrintServer(const PrintServerWork &work, const PrintServerLimits &limits, QString *error,
                     const PrintServerCancel *cancel = nullptr);

}  // namespace platform
