#include "TestPrintServer.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>
#include <algorithm>
#include <cups/cups.h>

TestPrintServer TestPrintServer::fromFixture()
{
    TestPrintServer server;
    const QString fixture = qEnvironmentVariable("QUORVALE_TEST_CUPS_DIR");
    QFile env(fixture + "/env");
    if (fixture.isEmpty() || !env.open(QIODevice::ReadOnly))
        qFatal("The CUPS fixture is not running (no %s/env): run this test through ctest.",
               qPrintable(fixture));
    for (const QByteArray &line : env.readAll().split('\n')) {
        if (line.startsWith("CUPS_SERVER="))
            server.socket = QString::fromUtf8(line.mid(12));
        if (line.startsWith("CUPS_FIXTURE_STATE="))
            server.dir = QString::fromUtf8(line.mid(19));
    }
    qputenv("CUPS_SERVER", server.socket.toUtf8());
    return server;
}

QString TestPrintServer::run(const QString &program, const QStringList &arguments) const
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(30000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString TestPrintServer::lpstatDefault() const
{
    const QString out = run("lpstat", {"-d"});
    const QRegularExpressionMatch match =
        QRegularExpression("destination: (\\S+)").match(out);
    return match.hasMatch() ? match.captured(1) : QString();
}

QList<TestPrintServer::Job> TestPrintServer::jobs() const
{
    cups_job_t *found = nullptr;
    const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &found, nullptr, 0, CUPS_WHICHJOBS_ALL);
    QList<Job> out;
    for (int i = 0; i < count; ++i)
        out.append({found[i].id, QString::fromUtf8(found[i].dest), QString::fromUtf8(found[i].title),
                    QString::fromUtf8(found[i].format)});
    cupsFreeJobs(count, found);
    std::sort(out.begin(), out.end(), [](const Job &a, const Job &b) { return a.id < b.id; });
    return out;
}

QByteArray TestPrintServer::document(int id) const
{
    QFile file(QStringLiteral("%1/spool/d%2-001").arg(dir).arg(id, 5, 10, QLatin1Char('0')));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString TestPrintServer::jobAttribute(int id, const char *name) const
{
    ipp_t *request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
    const QByteArray uri = "ipp://localhost/jobs/" + QByteArray::number(id);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri.constData());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    ipp_t *response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
    QString value;
    if (ipp_attribute_t *attribute = ippFindAttribute(response, name, IPP_TAG_ZERO)) {
        char text[1024];
        ippAttributeString(attribute, text, sizeof text);
        value = QString::fromUtf8(text);
    }
    ippDelete(response);
    return value;
}

qint64 TestPrintServer::pid() const
{
    QFile file(dir + "/cupsd.pid");
    return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().toLongLong() : 0;
}

QStringList pdfImageSizes(const QByteArray &pdf)
{
    static const QRegularExpression image(
        "<<[^>]*/Subtype /Image[^>]*/Width (\\d+)[^>]*/Height (\\d+)[^>]*/ColorSpace /(\\w+)");
    QStringList sizes;
    for (auto it = image.globalMatch(QString::fromLatin1(pdf)); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (m.captured(3) != "DeviceGray")
            sizes << m.captured(1) + "x" + m.captured(2);
    }
    return sizes;
}
