#include "core/RunCaptured.h"

#include "core/AppError.h"
#include "platform/Wait.h"

#include <QProcess>
#include <QStringDecoder>

namespace {

void chooseChannels(QProcess &process, bool captureStdout, bool captureStderr)
{
    process.setStandardInputFile(QProcess::nullDevice());  // never waits for typed input
    if (captureStdout && captureStderr) {
        process.setProcessChannelMode(QProcess::MergedChannels);
    } else if (captureStdout) {
        process.setStandardErrorFile(QProcess::nullDevice());
    } else {
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setReadChannel(QProcess::StandardError);
    }
}

QString decode(const QByteArray &bytes, bool fromConsoleCodePage)
{
    if (!fromConsoleCodePage)
        return QString::fromUtf8(bytes);
    QStringDecoder console(QStringDecoder::System);
    return console.decode(bytes);
}

}  // namespace

QString runFailedText()
{
    return QStringLiteral("Failed to create process, check the path of the command line.");
}

QString RunCaptured(const QString &commandLine, bool captureStdout, bool captureStderr,
                    bool fromConsoleCodePage, int timeoutMs)
{
    if (!captureStdout && !captureStderr)
        apperror::throwInvalidArgument();
    QStringList arguments = QProcess::splitCommand(commandLine);
    if (arguments.isEmpty())
        return runFailedText();
    const QString program = arguments.takeFirst();

    QProcess process;
    chooseChannels(process, captureStdout, captureStderr);
    platform::Deadline deadline(qMax(0, timeoutMs));
    process.start(program, arguments);
    if (!process.waitForStarted(qMax(1, timeoutMs)))
        return runFailedText();

    // The process's output and its end arrive as events; QProcess keeps what it printed.
    platform::WaitPlan plan;
    plan.done = [&] { return process.state() == QProcess::NotRunning; };
    plan.deadline = &deadline;
    if (platform::waitUntil(plan) == platform::WaitOutcome::TimedOut) {
        process.kill();
        process.waitForFinished(1000);
    }
    return decode(process.readAll(), fromConsoleCodePage);
}
