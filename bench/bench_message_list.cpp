// Times the message list on 10,000 and 50,000 rows: adding the rows as a download does, sorting
// them newest first, the totals refresh that one user tick runs, with the longest stretch
// the count leaves the window without an event-loop turn, and opening and closing the larger
// list window on them. Prints figures; never fails on time.

#include "list/Form4.h"
#include "list/MessageList.h"
#include "list/MessageListView.h"
#include "list/SelectionTools.h"
#include "core/GeneralDate.h"
#include "platform/EventLoop.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QVector>
#include <cstdio>

namespace {

QVector<MessageEntry> makeEntries(int count)
{
    // Dates spread over about three years, out of order, as a mailbox's "All Mail" gives them.
    const QDateTime start(QDate(2019, 1, 1), QTime(0, 0));
    QVector<MessageEntry> entries(count);
    for (int i = 0; i < count; ++i) {
        MessageEntry &e = entries[i];
        const qint64 minutes = (qint64(i) * 7919 % 1600000);
        e.From = QStringLiteral("Sender %1 <sender%1@example.com>").arg(i % 997);
        e.FromName = QStringLiteral("Sender %1").arg(i % 997);
        e.FromAddress = QStringLiteral("sender%1@example.com").arg(i % 997);
        e.Subject = QStringLiteral("Message number %1 about topic %2").arg(i).arg(i % 31);
        e.ReceivedDateTime = start.addSecs(minutes * 60);
        e.ReceivedDate = formatGeneralDate(e.ReceivedDateTime);
    }
    return entries;
}

struct TurnWatch {
    QElapsedTimer clock;
    qint64 lastNs = 0;
    qint64 longestGapNs = 0;
    long long turns = 0;

    void start()
    {
        turns = 0;
        longestGapNs = 0;
        clock.start();
        lastNs = 0;
    }
    void turn()
    {
        note();
        ++turns;
        QCoreApplication::processEvents();
        lastNs = clock.nsecsElapsed();
    }
    void note()
    {
        longestGapNs = qMax(longestGapNs, clock.nsecsElapsed() - lastNs);
    }
};

double ms(qint64 ns)
{
    return ns / 1e6;
}

struct TickRefresh {
    qint64 ns = 0;
    long long turns = 0;
    qint64 longestGapNs = 0;

    void print(const char *what) const
    {
        std::printf("  %-38s %8.1f ms, %lld turns, longest gap without a turn %.3f ms\n", what,
                    ms(ns), turns, ms(longestGapNs));
    }
};

// The refresh that one user tick runs, with every turn timed (a turn still processes events).
TickRefresh timeTickRefresh(MessageListView *list, QLabel *label1, QLabel *label2, int intervalMs)
{
    TurnWatch watch;
    setCountTurnInterval(intervalMs);
    platform::setEventLoopTurn([&] { watch.turn(); });
    watch.start();
    RefreshTotals(list, label1, label2, false);
    watch.note();
    TickRefresh result{watch.clock.nsecsElapsed(), watch.turns, watch.longestGapNs};
    platform::setEventLoopTurn(nullptr);
    setCountTurnInterval(DefaultCountTurnIntervalMs);
    return result;
}

// Opening the larger list window on the list (load, copy of every row, maximized, shown and
// laid out with its totals) and closing it with every tick copied back.
void timeLargerWindow(MessageListView *mainList)
{
    QElapsedTimer timer;
    timer.start();
    auto *larger = new Form4(mainList);
    larger->copyRowsFromMainList();
    larger->setWindowState(Qt::WindowMaximized);
    larger->show();
    QCoreApplication::processEvents();
    const qint64 openNs = timer.nsecsElapsed();

    // Every other tick changed, so that closing has half the rows to copy back.
    for (int i = 0; i < larger->ListView1->topLevelItemCount(); i += 2) {
        QTreeWidgetItem *row = larger->ListView1->topLevelItem(i);
        row->setCheckState(0, row->checkState(0) == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    }
    timer.restart();
    larger->reject();
    delete larger;
    QCoreApplication::processEvents();
    const qint64 closeNs = timer.nsecsElapsed();
    std::printf("  open larger window     %8.1f ms\n", ms(openNs));
    std::printf("  close, ticks copied    %8.1f ms\n", ms(closeNs));
}

void run(int rows)
{
    const QVector<MessageEntry> entries = makeEntries(rows);
    MessageListView list;
    QLabel label1;
    QLabel label2;
    list.resize(520, 200);
    list.show();
    QCoreApplication::processEvents();

    QElapsedTimer timer;
    timer.start();
    setListSorting(&list, false);
    for (const MessageEntry &e : entries)
        appendMessageRow(&list, e);
    const qint64 appendNs = timer.nsecsElapsed();
    timer.restart();
    for (int i = 0; i < rows; ++i)
        setDayNumberCell(list.topLevelItem(i), entries.at(i).ReceivedDateTime);
    const qint64 dayNumbersNs = timer.nsecsElapsed();
    QCoreApplication::processEvents();

    timer.restart();
    SortNewestFirst(&list);
    const qint64 sortNs = timer.nsecsElapsed();
    QCoreApplication::processEvents();

    // A third of the rows ticked, then the refresh one more user tick would run.
    for (int i = 0; i < rows; i += 3)
        list.topLevelItem(i)->setCheckState(0, Qt::Checked);
    list.topLevelItem(1)->setCheckState(0, Qt::Checked);
    QCoreApplication::processEvents();

    const TickRefresh everyRow = timeTickRefresh(&list, &label1, &label2, 0);
    const TickRefresh paced = timeTickRefresh(&list, &label1, &label2, DefaultCountTurnIntervalMs);

    timer.restart();
    bool flag = false;
    checkRowsByText(&list, QStringLiteral("TOPIC 7"), true, flag);
    const qint64 passNs = timer.nsecsElapsed();

    std::printf("%d rows (%s)\n", rows, qPrintable(label2.text()));
    std::printf("  append rows            %8.1f ms\n", ms(appendNs));
    std::printf("  fill day numbers       %8.1f ms\n", ms(dayNumbersNs));
    std::printf("  sort newest first      %8.1f ms\n", ms(sortNs));
    everyRow.print("tick refresh, turn after every row");
    paced.print("tick refresh, turn every 10 ms (used)");
    std::printf("  containing pass        %8.1f ms\n", ms(passNs));
    timeLargerWindow(&list);
}

}  // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    for (int rows : {10000, 50000})
        run(rows);
    return 0;
}
