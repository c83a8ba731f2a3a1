// A search that finds a few messages among many against "2a. Get All Emails" of the whole
// folder, both through the main window against the test Dovecot started with
// --bench-messages N (see run_search_bench.sh); the query finds the thirty messages whose
// subject carries "quarterly audit". Prints the times and their ratio; a benchmark, never a test.

#include "ModalWindows.h"
#include "TestServer.h"
#include "app/Form1.h"
#include "core/ProgramFolder.h"
#include "core/SettingsStore.h"
#include "list/MessageListView.h"
#include "mail/Form2.h"
#include "mail/MatchingEmailsWindow.h"
#include "platform/ScriptedDialogs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <cstdio>

namespace {

const QString kQuery = QStringLiteral("subject:\"quarterly audit\"");

std::unique_ptr<Form1> connectedWindow(const TestServer &server, const QString &mailbox)
{
    saveSetting(QStringLiteral("LabelFilter"), mailbox);
    auto form = std::make_unique<Form1>();
    form->Form_Load();
    form->Text1->setText(server.user);
    form->Text2->setText(server.password);
    form->PushButton3->click();
    return form;
}

struct Timing {
    qint64 countMs = 0;  // from the click on "2b" to the count shown
    qint64 totalMs = 0;  // from the click on "2b" to the end of the download
    int rows = 0;
};

Timing searchRoad(const TestServer &server, const QString &mailbox)
{
    auto form = connectedWindow(server, mailbox);
    Timing timing;
    QElapsedTimer clock;
    whenOpen<Form2>([&](Form2 *range) {
        whenOpen<MatchingEmailsWindow>([&](MatchingEmailsWindow *window) {
            window->TextQuery->setText(kQuery);
            window->PushButtonContinue->click();
            timing.countMs = clock.elapsed();
            std::printf("  count shown: %s\n", qPrintable(window->LabelCount->text()));
            window->PushButtonContinue->click();
        });
        range->PushButtonMatching->click();
    });
    clock.start();
    form->PushButton10->click();
    timing.totalMs = clock.elapsed();
    timing.rows = form->ListView1->topLevelItemCount();
    return timing;
}

Timing getAllRoad(const TestServer &server, const QString &mailbox)
{
    auto form = connectedWindow(server, mailbox);
    Timing timing;
    QElapsedTimer clock;
    clock.start();
    form->PushButton2->click();
    timing.totalMs = clock.elapsed();
    timing.rows = form->ListView1->topLevelItemCount();
    return timing;
}

}  // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const TestServer server = TestServer::fromFixture();
    server.applyToEnvironment();
    const QString mailbox = qEnvironmentVariable("BENCH_MAILBOX", QStringLiteral("Bench"));
    QTemporaryDir scratch;
    setProgramFolder(scratch.path());
    qputenv("XDG_CONFIG_HOME", scratch.filePath("config").toLocal8Bit());
    Form1::setUnloadAction([] {});
    platform::ScriptedDialogs dialogs;
    // The first search reads every message's headers from disk into the server's cache, as
    // Get All reads every message: the figures are of the second runs.
    const Timing cold = searchRoad(server, mailbox);
    std::printf("first search (server's cache cold): %.2f s, count shown after %.2f s\n", cold.totalMs / 1000.0,
                cold.countMs / 1000.0);
    getAllRoad(server, mailbox);
    const Timing search = searchRoad(server, mailbox);
    std::printf("search road: %d messages found and downloaded in %.2f s (count shown after %.2f s)\n",
                search.rows, search.totalMs / 1000.0, search.countMs / 1000.0);
    const Timing all = getAllRoad(server, mailbox);
    std::printf("Get All road: %d messages in %.2f s\n", all.rows, all.totalMs / 1000.0);
    std::printf("search / Get All: %.4f of the time\n", all.totalMs > 0 ? double(search.totalMs) / all.totalMs : 0.0);
    return search.rows == 30 ? 0 : 1;
}
