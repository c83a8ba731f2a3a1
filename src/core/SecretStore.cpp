#include "core/SecretStore.h"

#include "core/ErrorLog.h"
#include "platform/Wait.h"

#include <QDir>
#include <QFileInfo>
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

void decide()
{
    State &s = state();
    if (s.decided)
        return;
    s.decided = true;
    s.reason = missingBusReason();
    s.available = s.reason.isEmpty();
    if (!s.available)
        appendErrorLogRecord(QStringLiteral("Secret store unavailable, the password is not "
                                            "remembered: ") + s.reason);
}

void logFailedRequest(const QString &reason)
{
    appendErrorLogRecord(QStringLiteral("Secret store request failed: ") + reason);
}

// Runs `job` to its end or to the timeout. User input waits meanwhile, so that no click starts
// another procedure in the middle of this one. Answers the job's error, or nothing on timeout.
// On timeout the job is left to delete itself whenever it does finish; a slow answer costs this
// one request and nothing else.
std::optional<QKeychain::Error> runJob(QKeychain::Job *job)
{
    job->setAutoDelete(true);
    job->setInsecureFallback(false);  // never a plain-text copy of the password
    job->setKey(PasswordKey);

    QObject waiting;  // ends the connection below when this call returns
    std::optional<QKeychain::Error> result;
    QObject::connect(job, &QKeychain::Job::finished, &waiting, [&](QKeychain::Job *finished) {
        result = finished->error();
        if (*result != QKeychain::NoError && *result != QKeychain::EntryNotFound)
            logFailedRequest(finished->errorString().isEmpty()
                                 ? QStringLiteral("the secret store refused the request")
                                 : finished->errorString());
    });
    job->start();
    platform::Deadline deadline(JobTimeoutMs);
    platform::WaitPlan plan;
    plan.done = [&] { return result.has_value(); };
    plan.deadline = &deadline;
    plan.slice = platform::waitForEventsExceptUserInput;
    platform::waitUntil(plan);
    if (!result)
        logFailedRequest(QStringLiteral("no answer within %1 s").arg(JobTimeoutMs / 1000));
    return result;
}

bool succeeded(const std::optional<QKeychain::Error> &result)
{
    return result && (*result == QKeychain::NoError || *result == QKeychain::EntryNotFound);
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

bool writePassword(const QString &password)
{
    if (password.isEmpty())
        return deletePassword();
    if (!isAvailable())
        return false;
    auto *job = new QKeychain::WritePasswordJob(ServiceName);
    job->setTextData(password);
    return succeeded(runJob(job));
}

bool deletePassword()
{
    if (!isAvailable())
        return true;
    return succeeded(runJob(new QKeychain::DeletePasswordJob(ServiceName)));
}

}  // namespace secretstore
