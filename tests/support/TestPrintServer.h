#pragma once
// The private CUPS that tests/fixtures/cups/start.sh starts: its socket, its queues and the
// jobs they received, read with the CUPS command-line clients the way a user would.

#include <QList>
#include <QString>
#include <QStringList>

struct TestPrintServer {
    QString dir;  // the server's own folder (configuration, spool, logs)
    QString socket;

    // Reads $QUORVALE_TEST_CUPS_DIR/env and points CUPS_SERVER at the server; qFatal on failure.
    // Call before the first printer call of the process.
    static TestPrintServer fromFixture();

    // The queues start.sh adds, in the order CUPS lists them.
    static QStringList queues() { return {"Quorvale_Alpha", "Quorvale_Beta"}; }

    // Output of a CUPS client (lpstat, lpoptions ...) run against this server.
    QString run(const QString &program, const QStringList &arguments) const;
    // The user's default as `lpstat -d` reports it; empty when there is none.
    QString lpstatDefault() const;
    struct Job {
        int id = 0;
        QString printer, title, format;
    };
    // Every job the server holds, pending or finished, oldest first.
    QList<Job> jobs() const;
    // The document of job `id` as the server spooled it.
    QByteArray document(int id) const;
    // What the server recorded for job `id` under the IPP attribute `name` ("sides", "copies"),
    // as text; empty when it recorded none.
    QString jobAttribute(int id, const char *name) const;
    // The cupsd process, to stop and resume it.
    qint64 pid() const;
};

// Sizes ("WxH") of the pictures a PDF holds, leaving out the grey masks that carry another
// picture's transparency.
QStringList pdfImageSizes(const QByteArray &pdf);
