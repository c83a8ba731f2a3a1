// Download figures through the program's own roads, against the test Dovecot started with
// --bench-messages N (see run_download_bench.sh):
//   session road  StartMailExtraction of messages 1..N into list rows and message entries
//   Get All road  "1. Connect", then "2a. Get All Emails" clicked until its "Done." box
// Prints messages per second; it is a benchmark, never a test.
//
//   bench_download N [--get-all-only] [--port P] [--show-window] [--row-block-ms MS] [--paint-every-turn]
//
// --port sends the program to another port on the same host (a delaying relay in front of the
// server); --show-window shows the main window during the Get All road, so that a screen
// reader's accessibility bridge, when one is active, sees every change to the list;
// --row-block-ms sets how long downloaded rows may wait to join the list in one block (0: each
// row on its own; by default the program chooses); --paint-every-turn lets the window repaint at
// every event-loop turn of the run instead of a few times a second.

#include "TestServer.h"
#include "app/Form1.h"
#include "app/PaintPace.h"
#include "core/AppGlobals.h"
#include "core/ProgramFolder.h"
#include "core/SettingsStore.h"
#include "list/MessageList.h"
#include "list/MessageListView.h"
#include "imap/ImapClient.h"
#include "mail/clsImapSession.h"
#include "platform/ScriptedDialogs.h"

#include <QAccessible>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <cstdio>
#include <sys/resource.h>

namespace {

// The processor time this process has used so far (all its threads), in seconds: in its own
// code and in the kernel's on its behalf.
struct ProcessorTime {
    double user = 0, system = 0;

    static ProcessorTime now()
    {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        auto seconds = [](const timeval &t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
        return {seconds(usage.ru_utime), seconds(usage.ru_stime)};
    }
    ProcessorTime since(const ProcessorTime &before) const { return {user - before.user, system - before.system}; }
};

void report(const char *road, int messages, qint64 ms, const ProcessorTime &used)
{
    const double seconds = ms / 1000.0;
    const double perMessage = messages > 0 ? 1e6 / messages : 0.0;
    std::printf("%s: %d messages in %.3f s, %.0f msg/s, processor %.3f s user + %.3f s system "
                "(%.0f + %.0f us a message)\n",
                road, messages, seconds, seconds > 0 ? messages / seconds : 0.0, used.user, used.system,
                used.user * perMessage, used.system * perMessage);
    std::fflush(stdout);
}

int sessionRoad(const TestServer &server, const QString &mailbox, int n)
{
    ImapClient client;
    MessageListView list;
    MessageEntryTable entries;
    ImapSessionPtr session = clsImapSession::create();
    session->ImapObject = &client;
    session->SSL = true;
    session->PORT = server.port;
    session->IMAPServer = server.host;
    session->Username = server.user;
    session->Password = server.password;
    QObject::connect(session.get(), &clsImapSession::messageArrived, &list,
                     [&](const MessageEntry &entry, qint32) {
                         QTreeWidgetItem *row = appendMessageRow(&list, entry);
                         entries.store(list.topLevelItemCount(), entry);
                         setDayNumberCell(row, entry.ReceivedDateTime);
                     });
    session->CurrentLocation = 1;
    session->MaxRecord = n;
    // The first connect of a process loads the system's CA store; the reference's clock does
    // not cover its connect either.
    session->Connect();
    QElapsedTimer clock;
    clock.start();
    const ProcessorTime cpuBefore = ProcessorTime::now();
    session->StartMailExtraction(mailbox);
    report("session road", list.topLevelItemCount(), clock.elapsed(), ProcessorTime::now().since(cpuBefore));
    return list.topLevelItemCount();
}

int getAllRoad(const TestServer &server, const QString &mailbox, bool showWindow)
{
    saveSetting(QStringLiteral("LabelFilter"), mailbox);
    Form1::setUnloadAction([] {});
    Form1 form;
    form.Form_Load();
    if (showWindow) {
        form.show();
        QApplication::processEvents();
        std::printf("window shown on %s, accessibility %s\n", qPrintable(QApplication::platformName()),
                    QAccessible::isActive() ? "active" : "inactive");
    }
    form.Text1->setText(server.user);
    form.Text2->setText(server.password);
    form.PushButton3->click();
    QElapsedTimer clock;
    clock.start();
    const ProcessorTime cpuBefore = ProcessorTime::now();
    form.PushButton2->click();
    const qint64 ms = clock.elapsed();
    report("Get All road", form.ListView1->topLevelItemCount(), ms, ProcessorTime::now().since(cpuBefore));
    return form.ListView1->topLevelItemCount();
}

}  // namespace

int main(int argc, char *argv[])
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    TestServer server = TestServer::fromFixture();
    const int portAt = arguments.indexOf(QStringLiteral("--port"));
    if (portAt > 0 && portAt + 1 < arguments.size())
        server.port = arguments.at(portAt + 1).toInt();
    server.applyToEnvironment();
    const bool getAllOnly = arguments.contains(QStringLiteral("--get-all-only"));
    const bool showWindow = arguments.contains(QStringLiteral("--show-window"));
    if (arguments.contains(QStringLiteral("--paint-every-turn")))
        PaintPace::setDownloadIntervalMs(0);
    const int blockAt = arguments.indexOf(QStringLiteral("--row-block-ms"));
    if (blockAt > 0 && blockAt + 1 < arguments.size())
        MessageListView::setRowBlockInterval(arguments.at(blockAt + 1).toInt());
    const QString mailbox = qEnvironmentVariable("BENCH_MAILBOX", QStringLiteral("Bench"));
    const int n = argc > 1 && !arguments.at(1).startsWith(QLatin1String("--"))
        ? arguments.at(1).toInt()
        : qEnvironmentVariableIntValue("BENCH_MESSAGES");
    if (n <= 0) {
        std::fprintf(stderr, "usage: bench_download N [--get-all-only] [--port P] [--show-window] [--row-block-ms MS] [--paint-every-turn]\n");
        return 2;
    }
    QTemporaryDir scratch;
    setProgramFolder(scratch.path());
    qputenv("XDG_CONFIG_HOME", scratch.filePath("config").toLocal8Bit());
    platform::ScriptedDialogs dialogs;
    const int viaSession = getAllOnly ? n : sessionRoad(server, mailbox, n);
    const int viaGetAll = getAllRoad(server, mailbox, showWindow);
    if (!dialogs.messageTexts().contains(QStringLiteral("Done.")))
        std::fprintf(stderr, "Get All ended without \"Done.\": %s\n",
                     qPrintable(dialogs.messageTexts().join(QStringLiteral(" | "))));
    return viaSession == n && viaGetAll == n ? 0 : 1;
}
