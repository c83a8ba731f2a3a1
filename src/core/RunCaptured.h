#pragma once
// Runs a command line and answers what it printed.

#include <QString>

// The text every caller shows when the command could not be started.
QString runFailedText();

// Runs `commandLine` (program and arguments split as a shell would quote them, no shell
// involved) with this program's environment and current folder, and answers its standard
// output, its standard error, or both interleaved. Asking for neither raises AppError 5. The
// event loop gets a turn between reads. After `timeoutMs` the command is killed and what it
// printed so far is answered. `fromConsoleCodePage` chooses the console's encoding over UTF-8;
// on this system both are UTF-8.
QString RunCaptured(const QString &commandLine, bool captureStdout, bool captureStderr,
                    bool fromConsoleCodePage, int timeoutMs = 30000);
