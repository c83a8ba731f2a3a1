// Download figures through the program's own roads, against the test Dovecot started with
// --bench-messages N (see run_download_bench.sh):
//   session road  StartMailExtraction of messages 1..N into list rows and message entries
//   Get All road  "1. Connect", then "2a. Get All Emails" clicked until its "Done." box
// Prints messages per second; it is a benchmark, never a test.

#include "TestServer.h"
#include "app/Form1.h"
#include "core/AppGlobals.h"
#include "core/ProgramFolder.h"
#include "core/SettingsStore.h"
#include "list/MessageList.h"
#include "list/MessageListView.h"
#include "imap/ImapClient.h"
#include "mail/clsImapSession.h"
#include "platform/ScriptedDialogs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <cstdio>

namespace {

void report(const char *road, int messages, qint64 ms)
{
    const double seconds = ms / 1000.0;
    std::printf("%s: %d messages in %.2f s, %.0f msg/s\n", road, messages, seconds,
                seconds > 0 ? messages / seconds : 0.0);
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
    session->StartMailExtraction(mailbox);
    report("session road", list.topLevelItemCount(), clock.elapsed());
    return list.topLevelItemCount();
}

int getAllRoad(const TestServer &server, const QString &mailbox)
{
    saveSetting(QStringLiteral("LabelFilter"), mailbox);
    Form1::setUnloadAction([] {});
    Form1 form;
    form.Form_Load();
    form.Text1->setText(server.user);
    form.Text2->setText(server.password);
    form.PushButton3->click();
    QElapsedTimer clock;
    clock.start();
    form.PushButton2->click();
    const qint64 ms = clock.elapsed();
    report("Get All road", form.ListView1->topLevelItemCount(), ms);
    return form.ListView1->topLevelItemCount();
}

}  // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const TestServer server = TestServer::fromFixture();
    server.applyToEnvironment();
    const QString mailbox = qEnvironmentVariable("BENCH_MAILBOX", QStringLiteral("Bench"));
    const int n = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt()
                           : qEnvironmentVariableIntValue("BENCH_MESSAGES");
    if (n <= 0) {
        std::fprintf(stderr, "usage: bench_download N (or BENCH_MESSAGES)\n");
        return 2;
    }
    QTemporaryDir scratch;
    setProgramFolder(scratch.path());
    qputenv("XDG_CONFIG_HOME", scratch.filePath("config").toLocal8Bit());
    platform::ScriptedDialogs dialogs;
    const int viaSession = sessionRoad(server, mailbox, n);
    const int viaGetAll = getAllRoad(server, mailbox);
    if (!dialogs.messageTexts().contains(QStringLiteral("Done.")))
        std::fprintf(stderr, "Get All ended without \"Done.\": %s\n",
                     qPrintable(dialogs.messageTexts().join(QStringLiteral(" | "))));
    return viaSession == n && viaGetAll == n ? 0 : 1;
}
