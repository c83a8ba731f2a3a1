// Memory of a download whose messages name one inline picture many times, against the same
// download without such messages. Each message goes the way a Get All takes it: parsed, kept as
// a message entry and added as a list row; the page of every tenth message is built as well.
//
//   bench_inline_pictures [N]      runs both mixes, each in a fresh process, and prints figures
//   bench_inline_pictures --dovecot
//                                  a Get All of the test Dovecot's "Bench" and "BenchPictures"
//                                  mailboxes, each in a fresh process (run_inline_pictures_bench.sh
//                                  starts the server and fills them)
//
// Mixes of N messages (default 1000) of about the same size on the wire:
//   ordinary  a 64 KB picture shown once and about 40 KB of text
//   repeated  every tenth message shows its 64 KB picture 2,000 times instead of the text
// Peak resident memory is the process's high-water mark (VmHWM); it is a benchmark, never a test.

#include "TestServer.h"
#include "app/Form1.h"
#include "core/ProgramFolder.h"
#include "core/SettingsStore.h"
#include "list/MessageList.h"
#include "list/MessageListView.h"
#include "mail/MessageEntry.h"
#include "mime/MailMessage.h"
#include "print/MessageHtml.h"
#include "print/PagePictures.h"
#include "platform/ScriptedDialogs.h"

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QPushButton>
#include <QLineEdit>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <cstdio>
#include "HeapInUse.h"
#include "TestFiles.h"

namespace {

QByteArray message(int number, bool repeated, const QByteArray &png)
{
    QByteArray html = "<p>Message " + QByteArray::number(number) + "</p>";
    if (repeated)
        html += QByteArray("<img src=\"cid:pic@bench\">").repeated(2000);
    else
        html += "<img src=\"cid:pic@bench\">" + QByteArray("Some text of an ordinary letter. ").repeated(1250);
    return "From: Bench <bench@example.com>\r\nSubject: Message " + QByteArray::number(number)
           + "\r\nDate: Wed, 01 Sep 2021 09:00:00 -0400\r\nContent-Type: multipart/related; boundary=r\r\n\r\n"
             "--r\r\nContent-Type: text/html; charset=utf-8\r\n\r\n" + html
           + "\r\n--r\r\nContent-Type: image/png\r\nContent-ID: <pic@bench>\r\nContent-Transfer-Encoding: base64\r\n\r\n"
           + png.toBase64() + "\r\n--r--\r\n";
}

qint64 statusKb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

int runMix(bool repeated, int n)
{
    const qint64 startKb = statusKb("VmRSS:");
    QTemporaryDir pages;
    setProgramFolder(pages.path());
    const QString pagePath = pages.filePath(QStringLiteral("tmp.tmp"));
    const QByteArray png = noisyPng(150, 110);  // about 64 KB
    MessageListView list;
    MessageEntryTable entries;
    qint64 wireBytes = 0;
    qint64 largestPage = 0;
    for (int i = 1; i <= n; ++i) {
        const QByteArray raw = message(i, repeated && i % 10 == 0, png);
        wireBytes += raw.size();
        const MessageEntry entry = parseMailMessage(raw, QDateTime());
        appendMessageRow(&list, entry);
        entries.store(list.topLevelItemCount(), entry);
        if (i % 10 == 0) {
            const QString page = fillMessageTemplate(QStringLiteral("<html>%Message%</html>"), entry,
                                                     linkPagePictures(entry, entry.HTMLTextBody, pagePath));
            largestPage = qMax(largestPage, qint64(page.toUtf8().size()));
        }
    }
    std::printf("%-9s %d messages, %.1f MB on the wire: peak RSS %.1f MB (%.1f MB above the start), "
                "heap in use %.1f MB, largest page %.1f KB\n",
                repeated ? "repeated" : "ordinary", n, wireBytes / 1048576.0, statusKb("VmHWM:") / 1024.0,
                (statusKb("VmHWM:") - startKb) / 1024.0, heapInUse() / 1048576.0, largestPage / 1024.0);
    std::fflush(stdout);
    return entries.last() == n ? 0 : 1;
}

// "1. Connect", then "2a. Get All Emails" of `mailbox`, as a user would click them.
int runGetAll(const QString &mailbox)
{
    const TestServer server = TestServer::fromFixture();
    server.applyToEnvironment();
    QTemporaryDir scratch;
    setProgramFolder(scratch.path());
    qputenv("XDG_CONFIG_HOME", scratch.filePath(QStringLiteral("config")).toLocal8Bit());
    platform::ScriptedDialogs dialogs;
    saveSetting(QStringLiteral("LabelFilter"), mailbox);
    Form1::setUnloadAction([] {});
    const qint64 startKb = statusKb("VmRSS:");
    int rows = 0;
    {
        Form1 form;
        form.Form_Load();
        form.Text1->setText(server.user);
        form.Text2->setText(server.password);
        form.PushButton3->click();
        form.PushButton2->click();
        rows = form.ListView1->topLevelItemCount();
    }
    std::printf("Get All of %-13s %d rows: peak RSS %.1f MB (%.1f MB above the start)\n", qPrintable(mailbox),
                rows, statusKb("VmHWM:") / 1024.0, (statusKb("VmHWM:") - startKb) / 1024.0);
    std::fflush(stdout);
    return rows > 0 ? 0 : 1;
}

// One run as its own process, so that one run's peak cannot hide the other's.
qint64 runChild(const QStringList &arguments)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(QCoreApplication::applicationFilePath(), arguments);
    child.waitForFinished(-1);
    return child.exitCode();
}

}  // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() == 3 && args[0] == QLatin1String("--mix"))
        return runMix(args[1] == QLatin1String("repeated"), args[2].toInt());
    if (args.size() == 2 && args[0] == QLatin1String("--get-all"))
        return runGetAll(args[1]);
    if (args.size() == 1 && args[0] == QLatin1String("--dovecot"))
        return int(runChild({QStringLiteral("--get-all"), QStringLiteral("Bench")})
                   | runChild({QStringLiteral("--get-all"), QStringLiteral("BenchPictures")}));
    const int n = args.isEmpty() ? 1000 : args[0].toInt();
    if (n <= 0) {
        std::fprintf(stderr, "usage: bench_inline_pictures [N]\n");
        return 2;
    }
    const QString count = QString::number(n);
    return int(runChild({QStringLiteral("--mix"), QStringLiteral("ordinary"), count})
               | runChild({QStringLiteral("--mix"), QStringLiteral("repeated"), count}));
}
