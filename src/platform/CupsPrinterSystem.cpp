#include "platform/CupsPrinterSystem.h"

#include "platform/CupsDestinations.h"
#include "platform/PrivateFiles.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <cups/cups.h>
#include <memory>

namespace platform {

namespace {

const QString ownDefaultKey = QStringLiteral("Default");

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

QSettings ownDefaultStore()
{
    return QSettings(CupsPrinterSystem::ownDefaultFilePath(), QSettings::IniFormat);
}

bool environmentNamesAPrinter()
{
    return !qEnvironmentVariableIsEmpty("LPDEST") || !qEnvironmentVariableIsEmpty("PRINTER");
}

}  // namespace

QString CupsPrinterSystem::ownDefaultFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + QStringLiteral("/Tervane/QuorvalePrinter.conf");
}

QString CupsPrinterSystem::lpoptionsPath()
{
    return QDir::homePath() + QStringLiteral("/.cups/lpoptions");
}

const CupsPrinterSystem::OwnPrinter *CupsPrinterSystem::virtualPrinter(const QString &name) const
{
    for (const auto &printer : m_virtualPrinters) {
        if (printer.first == name)
            return &printer.second;
    }
    return nullptr;
}

void CupsPrinterSystem::addVirtualPrinter(const QString &name, VirtualPrinter print)
{
    addVirtualPrinter(name, std::move(print), nullptr);
}

void CupsPrinterSystem::addVirtualPrinter(const QString &name, VirtualPrinter print, VirtualDataPrinter printData)
{
    OwnPrinter own{std::move(print), std::move(printData)};
    for (auto &printer : m_virtualPrinters) {
        if (printer.first == name) {
            printer.second = std::move(own);
            return;
        }
    }
    m_virtualPrinters.append({name, std::move(own)});
}

CupsDestinationList CupsPrinterSystem::destinations(QString *error)
{
    // Shared with the worker, which may still hold it after a wait that gave up: after such a
    // wait only the worker touches it.
    auto answer = std::make_shared<CupsDestinationList>();
    CupsDestinationList list;
    const auto read = [answer](http_t *http, std::atomic<int> *) { *answer = readCupsDestinations(http); };
    if (callPrintServer(read, m_limits, &list.error))
        list = *answer;
    if (list.failed()) {
        setError(error, list.error);
        list.destinations.clear();
    }
    return list;
}

QStringList CupsPrinterSystem::printerNames(QString *error)
{
    QStringList names;
    for (const CupsDestination &destination : destinations(error).destinations)
        names << destination.name;
    for (const auto &printer : m_virtualPrinters) {
        if (!names.contains(printer.first))
            names << printer.first;
    }
    return names;
}

std::optional<QString> CupsPrinterSystem::printServiceDefaultName(QString *error)
{
    const CupsDestinationList list = destinations(error);
    if (list.failed())
        return std::nullopt;
    if (m_programsDefault && list.find(*m_programsDefault)
        && lpoptionsDefault(readFileContent(lpoptionsPath())) == *m_programsDefault)
        return m_programsDefault;
    if (const CupsDestination *chosen = list.defaultDestination())
        return chosen->name;
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

bool CupsPrinterSystem::setOwnDefault(const QString &name, QString *error)
{
    const QString path = ownDefaultFilePath();
    const bool present = QFile::exists(path);
    if (name.isEmpty() && !present)
        return true;
    preparePrivateFile(path);
    QSettings own = ownDefaultStore();
    if (name.isEmpty())
        own.remove(ownDefaultKey);
    else
        own.setValue(ownDefaultKey, name);
    own.sync();
    m_savedFiles.notePrograms(path);
    if (own.status() != QSettings::NoError || !preparePrivateFile(path)) {
        setError(error, QStringLiteral("Cannot write %1").arg(path));
        return false;
    }
    return true;
}

bool CupsPrinterSystem::setDefaultPrinter(const QString &name, QString *error)
{
    if (name.isEmpty()) {
        setError(error, QStringLiteral("No printer name was given."));
        return false;
    }
    if (virtualPrinter(name))
        return setOwnDefault(name, error);
    const CupsDestinationList list = destinations(error);
    if (list.failed())
        return false;
    const CupsDestination *chosen = list.find(name);
    if (!chosen) {
        setError(error, QStringLiteral("There is no printer named \"%1\".").arg(name));
        return false;
    }
    // Writing the server's own default into lpoptions would pin it there; but a printer named
    // in the environment hides the saved default, so the pick is saved whenever one is.
    const QString saved = lpoptionsDefault(readFileContent(lpoptionsPath()));
    const bool alreadyDefault = saved.isEmpty() ? chosen->isDefault && !environmentNamesAPrinter() : saved == name;
    if (!alreadyDefault) {
        auto outcome = std::make_shared<QString>();
        QString failure;
        const auto save = [outcome, name](http_t *http, std::atomic<int> *) { *outcome = saveCupsDefault(http, name); };
        if (callPrintServer(save, m_limits, &failure))
            failure = *outcome;
        m_savedFiles.notePrograms(lpoptionsPath());
        if (!failure.isEmpty()) {
            setError(error, failure);
            return false;
        }
    }
    m_programsDefault = name;
    return setOwnDefault(QString(), error);
}

bool CupsPrinterSystem::printPdf(const PrintJob &job, const QString &pdfPath, QString *error)
{
    return printPdfUnlessCancelled(job, pdfPath, nullptr, error);
}

namespace {

// What the worker found out; shared with it, read only once it has ended.
struct Submission {
    QString failure;
    QByteArray queue;
    int jobId = 0;
};

void cancelAcceptedJob(const Submission &submission, const PrintServerLimits &limits)
{
    const QByteArray queue = submission.queue;
    const int job = submission.jobId;
    QString unreachable;  // a job the server cannot be told about any more was printed: nothing to add
    callPrintServer([queue, job](http_t *http, std::atomic<int> *) { cupsCancelJob2(http, queue.constData(), job, 0); },
                    limits, &unreachable);
}

}  // namespace

bool CupsPrinterSystem::printPdfUnlessCancelled(const PrintJob &job, const QString &pdfPath,
                                                const PrintCancelCheck &cancelRequested, QString *error)
{
    if (cancelRequested && cancelRequested()) {
        setError(error, printCancelledText());
        return false;
    }
    if (const OwnPrinter *own = virtualPrinter(job.printer))
        return own->fromFile(pdfPath, job, error);
    QFile file(pdfPath);
    if (!file.open(QIODevice::ReadOnly)) {
        setError(error, QStringLiteral("Cannot read %1: %2").arg(pdfPath, file.errorString()));
        return false;
    }
    return submitToPrintService(job, file.readAll(), cancelRequested, error);
}

bool CupsPrinterSystem::printPdfData(const PrintJob &job, const QByteArray &pdf, const PrintCancelCheck &cancelRequested,
                                     QString *error)
{
    if (cancelRequested && cancelRequested()) {
        setError(error, printCancelledText());
        return false;
    }
    if (const OwnPrinter *own = virtualPrinter(job.printer)) {
        if (own->fromMemory)
            return own->fromMemory(pdf, job, error);
        const VirtualPrinter fromFile = own->fromFile;
        return printThroughFile(pdf, [&](const QString &path) { return fromFile(path, job, error); }, error);
    }
    return submitToPrintService(job, pdf, cancelRequested, error);
}

bool CupsPrinterSystem::submitToPrintService(const PrintJob &job, const QByteArray &pdf,
                                             const PrintCancelCheck &cancelRequested, QString *error)
{
    const auto cancelled = [&cancelRequested] { return cancelRequested && cancelRequested(); };
    auto outcome = std::make_shared<Submission>();
    PrintServerCancel cancel;
    cancel.requested = cancelled;
    const auto work = [outcome, calledOff = cancel.calledOff, name = job.printer, pdf,
                       title = job.title](http_t *http, std::atomic<int> *progress) {
        const CupsDestinationList list = readCupsDestinations(http);
        const CupsDestination *destination = list.find(name);
        if (list.failed()) {
            outcome->failure = list.error;
        } else if (!destination) {
            outcome->failure = QStringLiteral("There is no printer named \"%1\".").arg(name);
        } else {
            outcome->queue = destination->queue.toUtf8();
            outcome->failure = submitCupsPdf(http, *destination, pdf, title, progress, *calledOff, &outcome->jobId);
        }
    };
    QString failure;
    if (callPrintServer(work, m_limits, &failure, &cancel)) {
        failure = outcome->failure;
        // A click in the wait's last turn came after the worker's last look at the flag.
        if (failure.isEmpty() && cancelled()) {
            cancelAcceptedJob(*outcome, m_limits);
            failure = printCancelledText();
        }
    }
    if (failure.isEmpty())
        return true;
    setError(error, failure);
    return false;
}

void CupsPrinterSystem::rememberDefaults()
{
    m_savedFiles.remember(lpoptionsPath());
    m_savedFiles.remember(ownDefaultFilePath());
}

bool CupsPrinterSystem::restoreDefaults()
{
    return m_savedFiles.restore();
}

// The print service's printers are the ones in force unless a test installed others.
static PrinterSystem *replacementSystem = nullptr;

PrinterSystem &printerSystem()
{
    if (replacementSystem)
        return *replacementSystem;
    static CupsPrinterSystem cups;
    return cups;
}

void setPrinterSystem(PrinterSystem *replacement)
{
    replacementSystem = replacement;
}

}  // namespace platform
