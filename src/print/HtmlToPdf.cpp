#include "print/HtmlToPdf.h"

#include "platform/HtmlFileScheme.h"
#include "print/PdfTitle.h"

#include <QFileInfo>
#include <QMarginsF>
#include <QPageSize>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>

namespace {

QString waitFailure(platform::WaitOutcome outcome, const QString &what, int limitMs)
{
    if (outcome == platform::WaitOutcome::TimedOut)
        return QStringLiteral("%1 took longer than %2 seconds.").arg(what).arg(limitMs / 1000);
    return QStringLiteral("%1 was interrupted (%2).").arg(what, platform::waitOutcomeName(outcome));
}

}  // namespace

HtmlPdfRenderer::HtmlPdfRenderer(QObject *parent) : QObject(parent)
{
    platform::registerHtmlFileScheme();
    m_profile = new QWebEngineProfile(this);  // off the record: nothing kept on disk
    m_files = new platform::HtmlFileSchemeHandler(m_profile);
    m_page = new QWebEnginePage(m_profile, this);
    QWebEngineSettings *settings = m_page->settings();
    settings->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    // "As it appears in the browser (with images)": a message's pictures on the web load too.
    settings->setAttribute(QWebEngineSettings::AutoLoadImages, true);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
    settings->setAttribute(QWebEngineSettings::PrintElementBackgrounds, true);
}

HtmlPdfRenderer::~HtmlPdfRenderer()
{
    delete m_page;  // a page must go before its profile
    m_page = nullptr;
}

QPageLayout HtmlPdfRenderer::defaultLayout()
{
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(10, 10, 10, 10),
                       QPageLayout::Millimeter);
}

platform::WaitOutcome HtmlPdfRenderer::waitFor(const bool &finished, int limitMs,
                                               const QMetaObject::Connection &report)
{
    platform::Deadline deadline(limitMs);
    platform::WaitPlan plan;
    plan.done = [&] { return finished; };
    plan.life = m_life.token();
    plan.deadline = &deadline;
    const platform::WaitOutcome outcome = platform::waitUntil(plan);
    if (outcome != platform::WaitOutcome::Gone)  // gone: the page took the connection along
        disconnect(report);
    return outcome;
}

platform::WaitOutcome HtmlPdfRenderer::load(const QString &htmlPath, int limitMs, bool *loaded)
{
    bool finished = false;
    const auto connection = connect(m_page, &QWebEnginePage::loadFinished, m_page, [&](bool ok) {
        finished = true;
        *loaded = ok;
    });
    // Loading the same URL again reads the file again, so "tmp.tmp" can hold a new message
    // each time. (A query to tell the loads apart made each one several times slower.)
    m_files->allowFolder(QFileInfo(htmlPath).absolutePath());
    m_page->load(platform::htmlFileUrl(htmlPath));
    const platform::WaitOutcome outcome = waitFor(finished, limitMs, connection);
    if (outcome == platform::WaitOutcome::TimedOut)
        m_page->triggerAction(QWebEnginePage::Stop);
    return outcome;
}

platform::WaitOutcome HtmlPdfRenderer::print(const QString &pdfPath, const QPageLayout &layout,
                                             int limitMs, bool *printed)
{
    bool finished = false;
    const QString target = QFileInfo(pdfPath).absoluteFilePath();
    // A job given up on may still report later; only this job's report counts.
    const auto connection = connect(m_page, &QWebEnginePage::pdfPrintingFinished, m_page,
                                    [&](const QString &path, bool ok) {
                                        if (QFileInfo(path).absoluteFilePath() != target)
                                            return;
                                        finished = true;
                                        *printed = ok;
                                    });
    m_page->printToPdf(target, layout);
    return waitFor(finished, limitMs, connection);
}

HtmlPdfRenderer::Outcome HtmlPdfRenderer::render(const QString &htmlPath, const QString &pdfPath,
                                                 const QPageLayout &layout, int limitMs)
{
    Outcome outcome;
    if (m_busy) {
        outcome.error = QStringLiteral("Another page is still being turned into a PDF.");
        return outcome;
    }
    if (!QFileInfo(htmlPath).isFile()) {
        outcome.error = QStringLiteral("The page %1 does not exist.").arg(htmlPath);
        return outcome;
    }
    const platform::LifeToken life = m_life.token();
    m_busy = true;
    bool loaded = false;
    platform::WaitOutcome waited = load(htmlPath, limitMs, &loaded);
    if (!life.alive())
        return {false, QStringLiteral("The PDF renderer was closed while loading %1.").arg(htmlPath)};
    if (waited != platform::WaitOutcome::Done || !loaded) {
        m_busy = false;
        outcome.error = waited != platform::WaitOutcome::Done
            ? waitFailure(waited, QStringLiteral("Loading %1").arg(htmlPath), limitMs)
            : QStringLiteral("The page %1 could not be loaded.").arg(htmlPath);
        return outcome;
    }
    // Without a <title> the page names itself by its URL: no title then.
    const QString title = m_page->title() == m_page->url().toString() ? QString() : m_page->title();
    bool printed = false;
    waited = print(pdfPath, layout, limitMs, &printed);
    if (!life.alive())
        return {false, QStringLiteral("The PDF renderer was closed while writing %1.").arg(pdfPath)};
    m_busy = false;
    if (waited != platform::WaitOutcome::Done)
        outcome.error = waitFailure(waited, QStringLiteral("Writing %1").arg(pdfPath), limitMs);
    else if (!printed || QFileInfo(pdfPath).size() == 0)
        outcome.error = QStringLiteral("The PDF %1 could not be written.").arg(pdfPath);
    else
        outcome.ok = true;
    if (outcome.ok && !title.isEmpty())
        setPdfTitle(pdfPath, title);  // only the reader's caption is lost when this fails
    return outcome;
}
