#pragma once
// What CUPS lists for this user, read and written over one connection (see PrintServerCall.h:
// these run on the print server's thread and own all they touch).
//
// A destination is a queue or an instance of one ("Alpha/duplex": the queue Alpha with the
// user's saved options of that instance); each is a printer of its own, named as CUPS names
// it. The user's default may be either.

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <atomic>
#include <optional>

typedef struct _http_s http_t;

namespace platform {

struct CupsDestination {
    QString name;   // "queue" or "queue/instance"
    QString queue;  // where its jobs go
    bool isDefault = false;
    // What a job on it carries, as lp sends it: the user's saved options (lpoptions) over the
    // queue's defaults; what only describes the printer is left out.
    QList<QPair<QByteArray, QByteArray>> jobOptions;
};

struct CupsDestinationList {
    QList<CupsDestination> destinations;  // in CUPS's order
    QString error;                        // set when the print server could not be asked
    bool failed() const { return !error.isEmpty(); }
    const CupsDestination *find(const QString &name) const;  // exact, case-sensitive
    const CupsDestination *defaultDestination() const;
};

CupsDestinationList readCupsDestinations(http_t *http);

// Makes `name` the user's default in their lpoptions, keeping every other line. Empty when
// done, otherwise the reason.
QString saveCupsDefault(http_t *http, const QString &name);

// One job of the PDF `pdf` on `destination`, with its options. Empty when the server
// accepted it, otherwise the reason (the half-sent job is cancelled). `calledOff` set by
// another thread stops the sending and cancels the job, as soon as it exists; *jobId is the
// job's number once the server gave one.
QString submitCupsPdf(http_t *http, const CupsDestination &destination, const QByteArray &pdf,
                      const QString &title, std::atomic<int> *progress, const std::atomic<bool> &calledOff,
                      int *jobId);

}  // namespace platform
