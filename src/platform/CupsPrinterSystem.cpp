#include "platform/CupsPrinterSystem.h"

#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <cups/cups.h>

namespace platform {

namespace {

const QString ownDefaultKey = QStringLiteral("Default");

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

QString cupsErrorText()
{
    return QString::fromUtf8(cupsLastErrorString());
}

// The destinations libcups lists for this user, lpoptions applied; freed on destruction.
class Destinations {
public:
    explicit Destinations(QString *error)
    {
        m_count = cupsGetDests2(CUPS_HTTP_DEFAULT, &m_dests);
        // No destinations is an answer ("not found"); anything worse means nobody answered.
        const ipp_status_t status = cupsLastError();
        if (m_count == 0 && status > IPP_STATUS_OK_EVENTS_COMPLETE
            && status != IPP_STATUS_ERROR_NOT_FOUND) {
            m_failed = true;
            setError(error, QStringLiteral("The print service cannot be reached: %1").arg(cupsErrorText()));
        }
    }
    ~Destinations() { cupsFreeDests(m_count, m_dests); }
    Destinations(const Destinations &) = delete;
    Destinations &operator=(const Destinations &) = delete;

    bool failed() const { return m_failed; }
    // Queues only: an instance ("queue/instance") is a set of options, not a printer.
    QStringList names() const
    {
        QStringList out;
        for (int i = 0; i < m_count; ++i) {
            if (!m_dests[i].instance)
                out << QString::fromUtf8(m_dests[i].name);
        }
        return out;
    }
    cups_dest_t *find(const QString &name) const
    {
        for (int i = 0; i < m_count; ++i) {
            if (!m_dests[i].instance && QString::fromUtf8(m_dests[i].name) == name)
                return &m_dests[i];
        }
        return nullptr;
    }
    const cups_dest_t *defaultDestination() const
    {
        for (int i = 0; i < m_count; ++i) {
            if (m_dests[i].is_default)
                return &m_dests[i];
        }
        return nullptr;
    }
    // Marks `chosen` as the only default and writes the user's lpoptions.
    bool makeDefault(cups_dest_t *chosen, QString *error)
    {
        for (int i = 0; i < m_count; ++i)
            m_dests[i].is_default = (&m_dests[i] == chosen) ? 1 : 0;
        if (cupsSetDests2(CUPS_HTTP_DEFAULT, m_count, m_dests) != 0) {
            setError(error, QStringLiteral("The default printer could not be saved: %1").arg(cupsErrorText()));
            return false;
        }
        return true;
    }

private:
    int m_count = 0;
    cups_dest_t *m_dests = nullptr;
    bool m_failed = false;
};

QSettings ownDefaultStore()
{
    return QSettings(CupsPrinterSystem::ownDefaultFilePath(), QSettings::IniFormat);
}

bool submitPdf(const QString &name, const QString &pdfPath, const QString &title, QString *error)
{
    QFile pdf(pdfPath);
    if (!pdf.open(QIODevice::ReadOnly)) {
        setError(error, QStringLiteral("Cannot read %1: %2").arg(pdfPath, pdf.errorString()));
        return false;
    }
    const QByteArray printer = name.toUtf8();
    const QByteArray jobTitle = title.toUtf8();
    const int job = cupsCreateJob(CUPS_HTTP_DEFAULT, printer.constData(), jobTitle.constData(), 0, nullptr);
    if (job == 0) {
        setError(error, QStringLiteral("The print job could not be created on %1: %2").arg(name, cupsErrorText()));
        return false;
    }
    bool sent = cupsStartDocument(CUPS_HTTP_DEFAULT, printer.constData(), job, jobTitle.constData(),
                                  CUPS_FORMAT_PDF, 1) == HTTP_STATUS_CONTINUE;
    while (sent && !pdf.atEnd()) {
        const QByteArray chunk = pdf.read(64 * 1024);
        sent = !chunk.isEmpty()
               && cupsWriteRequestData(CUPS_HTTP_DEFAULT, chunk.constData(), size_t(chunk.size()))
                      == HTTP_STATUS_CONTINUE;
    }
    // The document must be finished even after a failed write, or the connection stays busy.
    const bool finished = cupsFinishDocument(CUPS_HTTP_DEFAULT, printer.constData()) == IPP_STATUS_OK;
    if (sent && finished)
        return true;
    const QString reason = cupsErrorText();
    cupsCancelJob2(CUPS_HTTP_DEFAULT, printer.constData(), job, 0);
    setError(error, QStringLiteral("The document could not be sent to %1: %2").arg(name, reason));
    return false;
}

}  // namespace

QString CupsPrinterSystem::ownDefaultFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + QStringLiteral("/Tervane/QuorvalePrinter.conf");
}

const VirtualPrinter *CupsPrinterSystem::virtualPrinter(const QString &name) const
{
    for (const auto &printer : m_virtualPrinters) {
        if (printer.first == name)
            return &printer.second;
    }
    return nullptr;
}

void CupsPrinterSystem::addVirtualPrinter(const QString &name, VirtualPrinter print)
{
    for (auto &printer : m_virtualPrinters) {
        if (printer.first == name) {
            printer.second = std::move(print);
            return;
        }
    }
    m_virtualPrinters.append({name, std::move(print)});
}

QStringList CupsPrinterSystem::printerNames(QString *error)
{
    QStringList names = Destinations(error).names();
    for (const auto &printer : m_virtualPrinters) {
        if (!names.contains(printer.first))
            names << printer.first;
    }
    return names;
}

std::optional<QString> CupsPrinterSystem::printServiceDefaultName(QString *error)
{
    Destinations destinations(error);
    if (destinations.failed())
        return std::nullopt;
    if (const cups_dest_t *chosen = destinations.defaultDestination())
        return QString::fromUtf8(chosen->name);
    setError(error, QStringLiteral("No default printer is set."));
    return std::nullopt;
}

std::optional<QString> CupsPrinterSystem::defaultPrinterName(QString *error)
{
    const QString own = ownDefaultStore().value(ownDefaultKey).toString();
    if (virtualPrinter(own))
        return own;
    return printServiceDefaultName(error);
}

bool CupsPrinterSystem::setDefaultPrinter(const QString &name, QString *error)
{
    QSettings own = ownDefaultStore();
    if (name.isEmpty()) {
        setError(error, QStringLiteral("No printer name was given."));
        return false;
    }
    if (virtualPrinter(name)) {
        own.setValue(ownDefaultKey, name);
        own.sync();
        if (own.status() != QSettings::NoError) {
            setError(error, QStringLiteral("Cannot write %1").arg(own.fileName()));
            return false;
        }
        return true;
    }
    Destinations destinations(error);
    if (destinations.failed())
        return false;
    cups_dest_t *chosen = destinations.find(name);
    if (!chosen) {
        setError(error, QStringLiteral("There is no printer named \"%1\".").arg(name));
        return false;
    }
    // Rewriting an unchanged default would pin the server's default into the user's lpoptions.
    if (!chosen->is_default && !destinations.makeDefault(chosen, error))
        return false;
    own.remove(ownDefaultKey);
    own.sync();
    return true;
}

bool CupsPrinterSystem::printPdf(const QString &name, const QString &pdfPath, const QString &title,
                                 QString *error)
{
    if (const VirtualPrinter *print = virtualPrinter(name))
        return (*print)(pdfPath, title, error);
    Destinations destinations(error);
    if (destinations.failed())
        return false;
    if (!destinations.find(name)) {
        setError(error, QStringLiteral("There is no printer named \"%1\".").arg(name));
        return false;
    }
    return submitPdf(name, pdfPath, title, error);
}

}  // namespace platform
