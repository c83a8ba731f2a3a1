#include "platform/CupsDestinations.h"

#include "platform/InvisibleCharacters.h"
#include "platform/PrinterSystem.h"

#include <cups/cups.h>

namespace platform {

namespace {

QString cupsErrorText()
{
    return QString::fromUtf8(cupsLastErrorString());
}

QString destinationName(const cups_dest_t &dest)
{
    QString name = QString::fromUtf8(dest.name);
    if (dest.instance)
        name += QLatin1Char('/') + QString::fromUtf8(dest.instance);
    return name;
}

// The job's name as queue listings show it: line breaks and tabs become blanks, and the other
// control characters and the bidirectional marks, embeddings, overrides and isolates go, so
// that a listing shows one line with the characters in the order they were sent.
QByteArray listedJobTitle(const QString &title)
{
    return oneShownLine(title).toUtf8();
}

// The printer's description (state, make, URIs, markers) comes with the options CUPS lists;
// it says nothing about a job.
bool describesPrinter(const QByteArray &option)
{
    return option.startsWith("printer-") || option.startsWith("marker-") || option == "device-uri";
}

CupsDestination destinationOf(const cups_dest_t &dest)
{
    CupsDestination out;
    out.name = destinationName(dest);
    out.queue = QString::fromUtf8(dest.name);
    out.isDefault = dest.is_default != 0;
    for (int i = 0; i < dest.num_options; ++i) {
        const QByteArray option = dest.options[i].name;
        if (!describesPrinter(option))
            out.jobOptions.append({option, QByteArray(dest.options[i].value)});
    }
    return out;
}

// The destinations as libcups hands them out; freed on destruction.
class RawDestinations {
public:
    explicit RawDestinations(http_t *http) { m_count = cupsGetDests2(http, &m_dests); }
    ~RawDestinations() { cupsFreeDests(m_count, m_dests); }
    RawDestinations(const RawDestinations &) = delete;
    RawDestinations &operator=(const RawDestinations &) = delete;
    // No destinations is an answer ("not found"); anything worse means nobody answered.
    bool failed() const
    {
        const ipp_status_t status = cupsLastError();
        return m_count == 0 && status > IPP_STATUS_OK_EVENTS_COMPLETE && status != IPP_STATUS_ERROR_NOT_FOUND;
    }
    int m_count = 0;
    cups_dest_t *m_dests = nullptr;
};

}  // namespace

const CupsDestination *CupsDestinationList::find(const QString &name) const
{
    for (const CupsDestination &destination : destinations) {
        if (destination.name == name)
            return &destination;
    }
    return nullptr;
}

const CupsDestination *CupsDestinationList::defaultDestination() const
{
    for (const CupsDestination &destination : destinations) {
        if (destination.isDefault)
            return &destination;
    }
    return nullptr;
}

CupsDestinationList readCupsDestinations(http_t *http)
{
    CupsDestinationList out;
    RawDestinations raw(http);
    if (raw.failed()) {
        out.error = QStringLiteral("The print server %1 did not list its printers: %2")
                        .arg(QString::fromUtf8(cupsServer()), cupsErrorText());
        return out;
    }
    for (int i = 0; i < raw.m_count; ++i)
        out.destinations.append(destinationOf(raw.m_dests[i]));
    return out;
}

QString saveCupsDefault(http_t *http, const QString &name)
{
    RawDestinations raw(http);
    if (raw.failed())
        return QStringLiteral("The print server %1 cannot be reached: %2")
            .arg(QString::fromUtf8(cupsServer()), cupsErrorText());
    bool found = false;
    for (int i = 0; i < raw.m_count; ++i) {
        const bool chosen = destinationName(raw.m_dests[i]) == name;
        raw.m_dests[i].is_default = chosen ? 1 : 0;
        found = found || chosen;
    }
    if (!found)
        return QStringLiteral("There is no printer named \"%1\".").arg(name);
    if (cupsSetDests2(http, raw.m_count, raw.m_dests) != 0)
        return QStringLiteral("The default printer could not be saved: %1").arg(cupsErrorText());
    return QString();
}

QString submitCupsPdf(http_t *http, const CupsDestination &destination, const QByteArray &pdf,
                      const QString &title, std::atomic<int> *progress, const std::atomic<bool> &calledOff,
                      int *jobId)
{
    cups_option_t *options = nullptr;
    int optionCount = 0;
    for (const auto &option : destination.jobOptions)
        optionCount = cupsAddOption(option.first.constData(), option.second.constData(), optionCount, &options);
    const QByteArray queue = destination.queue.toUtf8();
    const QByteArray jobTitle = listedJobTitle(title);
    // The queue is always named: the environment's PRINTER or LPDEST never reroutes the job.
    const int job = cupsCreateJob(http, queue.constData(), jobTitle.constData(), optionCount, options);
    cupsFreeOptions(optionCount, options);
    if (job == 0)
        return QStringLiteral("The print job could not be created on %1: %2").arg(destination.name, cupsErrorText());
    *jobId = job;
    const auto cancelJob = [&] {
        cupsCancelJob2(http, queue.constData(), job, 0);
        return printCancelledText();
    };
    if (calledOff)
        return cancelJob();
    bool sent = cupsStartDocument(http, queue.constData(), job, jobTitle.constData(), CUPS_FORMAT_PDF, 1)
                == HTTP_STATUS_CONTINUE;
    // In pieces, so that a cancel is seen between them and the wait sees progress.
    constexpr qsizetype piece = 64 * 1024;
    for (qsizetype at = 0; sent && !calledOff && at < pdf.size(); at += piece) {
        const qsizetype length = qMin(piece, pdf.size() - at);
        sent = cupsWriteRequestData(http, pdf.constData() + at, size_t(length)) == HTTP_STATUS_CONTINUE;
        ++*progress;
    }
    // The document must be finished even after a failed write, or the connection stays busy.
    const bool finished = cupsFinishDocument(http, queue.constData()) == IPP_STATUS_OK;
    // Looked at once more after the last answer: a job called off while it was being accepted
    // is cancelled all the same.
    if (calledOff)
        return cancelJob();
    if (sent && finished)
        return QString();
    const QString reason = cupsErrorText();
    cupsCancelJob2(http, queue.constData(), job, 0);
    return QStringLiteral("The document could not be sent to %1: %2").arg(destination.name, reason);
}

}  // namespace platform
