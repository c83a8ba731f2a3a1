#include "core/SecretStore.h"

#include "core/ErrorLog.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>
#include <qt6keychain/keychain.h>

#include <optional>

namespace secretstore {

namespace {

const QString ServiceName = QStringLiteral("Tervane Quorvale");
const QString PasswordKey = QStringLiteral("Password");
// An unlocked store answers in milliseconds; a locked one may show an unlock prompt, which a
// person needs a moment to answer.
constexpr int JobTimeoutMs = 5000;

struct State {
    bool decided = false;
    bool available = false;
    QString reason;
};

State &state()
{
    static State s;
    return s;
}

// libsecret finds the session bus through DBUS_SESSION_BUS_ADDRESS or, failing that, the
// socket $XDG_RUNTIME_DIR/bus; without either every job would only fail after a timeout.
QString missingBusReason()
{
    if (!qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS").isEmpty())
        return QString();
    const QString runtimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtimeDir.isEmpty() && QFileInfo::exists(runtimeDir + QStringLiteral("/bus")))
        return QString();
    return QStringLiteral("no D-Bus session bus (DBUS_SESSION_BUS_ADDRESS is unset and there is "
                          "no $XDG_RUNTIME_DIR/bus)");
}

void markUnavailable(const QString &reason)
{
    State &s = state();
    s.decided = true;
    if (!s.available && !s.reason.isEmpty())
        return;  // already reported once
    s.available = false;
    s.reason = reason;
    appendErrorLogRecord(QStringLiteral("Secret store unavailable, the password is not remembered: ")
                         + reason);
}

void decide()
{
    State &s = state();
    if (s.decided)
        return;
    const QString reason = missingBusReason();
    if (!reason.isEmpty()) {
        markUnavailable(reason);
        return;
    }
    s.decided = true;
    s.available = true;
}

// Runs `job` to its end or to the timeout. User input waits meanwhile, so that no click starts
// another procedure in the middle of this one. Answers the job's error, or nothing on timeout.
// On timeout the job is left to delete itself whenever it does finish.
std::optional<QKeychain::Error> runJob(QKeychain::Job *job)
{
    job->setAutoDelete(true);
    job->setInsecureFallback(false);  // never a plain-text copy of the password
    job->setKey(PasswordKey);

    QEventLoop loop;
    std::optional<QKeychain::Error> result;
    QObject::connect(job, &QKeychain::Job::finished, &loop, [&](QKeychain::Job *finished) {
        result = finished->error();
        if (*result != QKeychain::NoError && *result != QKeychain::EntryNotFound)
            markUnavailable(finished->errorString().isEmpty()
                                ? QStringLiteral("the secret store refused the request")
                                : finished->errorString());
        loop.quit();
    });
    QTimer::singleShot(JobTimeoutMs, &loop, &QEventLoop::quit);
    job->start();
    if (!result)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!result)
        markUnavailable(QStringLiteral("no answer within %1 s").arg(JobTimeoutMs / 1000));
    return result;
}

}  // namespace

bool isAvailable()
{
    decide();
    return state().available;
}

QString unavailableReason()
{
    decide();
    return state().available ? QString() : state().reason;
}

QString readPassword()
{
    if (!isAvailable())
        return QString();
    auto *job = new QKeychain::ReadPasswordJob(ServiceName);
    QString password;
    // Connected before runJob's own handler, so the text is taken before the wait ends. On a
    // timeout the job outlives this call and must no longer write to `password`.
    const auto connection = QObject::connect(
        job, &QKeychain::Job::finished, job, [&password](QKeychain::Job *finished) {
            if (finished->error() == QKeychain::NoError)
                password = static_cast<QKeychain::ReadPasswordJob *>(finished)->textData();
        });
    if (!runJob(job))
        QObject::disconnect(connection);
    return password;
}

void writePassword(const QString &password)
{
    if (password.isEmpty()) {
        deletePassword();
        return;
    }
    if (!isAvailable())
        return;
    auto *job = new QKeychain::WritePasswordJob(ServiceName);
    job->setTextData(password);
    runJob(job);
}

void deletePassword()
{
    if (!isAvailable())
        return;
    runJob(new QKeychain::DeletePasswordJob(ServiceName));
}

}  // namespace secretstore
