#include "core/RunCaptured.h"

#include "core/AppError.h"
#include "platform/EventLoop.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QStringDecoder>

namespace {

// Each wait for output is short, so the event loop gets its turn several times a second.
constexpr int ReadSliceMs = 50;

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
    const QDeadlineTimer deadline(qMax(0, timeoutMs));
    process.start(program, arguments);
    if (!process.waitForStarted(qMax(1, timeoutMs)))
        return runFailedText();

    QByteArray output;
    while (process.state() != QProcess::NotRunning) {
        if (deadline.hasExpired()) {
            process.kill();
            process.waitForFinished(1000);
            break;
        }
        process.waitForReadyRead(ReadSliceMs);
        output += process.readAll();
        platform::giveEventLoopTurn();
    }
    output += process.readAll();
    return decode(output, fromConsoleCodePage);
}
