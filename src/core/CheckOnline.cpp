#include "core/CheckOnline.h"

#include "core/MessageBox.h"
#include "core/RunCaptured.h"

namespace {

// ping gives up after 2 s; this bound only matters when name resolution itself hangs.
constexpr int PingTimeoutMs = 4000;

// The host as one argument: quoted so that blanks or quotes in it cannot add arguments.
QString quotedArgument(const QString &text)
{
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

}  // namespace

bool hasPingReply(const QString &pingOutput)
{
    return pingOutput.contains(QStringLiteral("bytes="), Qt::CaseInsensitive)
        || pingOutput.contains(QStringLiteral("bytes from"), Qt::CaseInsensitive);
}

void CheckOnline(const QString &host)
{
    // "--" ends ping's options, so a host beginning with "-" is still a host.
    const QString output = RunCaptured(QStringLiteral("ping -c 1 -W 2 -- ") + quotedArgument(host),
                                       true, false, true, PingTimeoutMs);
    if (!hasPingReply(output))
        showMessage(QStringLiteral("You must be online to use this software accurately."),
                    platform::BoxButtons::Ok, platform::BoxIcon::None, applicationTitle());
}
