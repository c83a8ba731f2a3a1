#include "platform/HtmlFileScheme.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>

namespace platform {

const QByteArray &htmlFileScheme()
{
    static const QByteArray scheme("quorvale-file");
    return scheme;
}

void registerHtmlFileScheme()
{
    static bool registered = false;
    if (registered)
        return;
    registered = true;
    QWebEngineUrlScheme scheme(htmlFileScheme());
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
    scheme.setFlags(QWebEngineUrlScheme::LocalScheme | QWebEngineUrlScheme::LocalAccessAllowed);
    QWebEngineUrlScheme::registerScheme(scheme);
}

QUrl htmlFileUrl(const QString &path)
{
    QUrl url;
    url.setScheme(QString::fromLatin1(htmlFileScheme()));
    url.setPath(QFileInfo(path).absoluteFilePath());
    return url;
}

HtmlFileSchemeHandler::HtmlFileSchemeHandler(QWebEngineProfile *profile)
    : QWebEngineUrlSchemeHandler(profile)
{
    profile->installUrlSchemeHandler(htmlFileScheme(), this);
}

void HtmlFileSchemeHandler::allowFolder(const QString &folder)
{
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    if (!canonical.isEmpty() && !m_folders.contains(canonical))
        m_folders << canonical;
}

bool HtmlFileSchemeHandler::allowed(const QString &canonicalPath) const
{
    for (const QString &folder : m_folders) {
        if (canonicalPath.startsWith(folder == QLatin1String("/") ? folder : folder + QLatin1Char('/')))
            return true;
    }
    return false;
}

namespace {

QByteArray contentType(const QString &path)
{
    const QString type = QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchExtension).name();
    if (type.startsWith(QLatin1String("image/")) || type.startsWith(QLatin1String("font/"))
        || type == QLatin1String("text/css"))
        return type.toLatin1();
    return QByteArrayLiteral("text/html");
}

}  // namespace

void HtmlFileSchemeHandler::requestStarted(QWebEngineUrlRequestJob *job)
{
    const QString canonical = QFileInfo(job->requestUrl().path()).canonicalFilePath();
    if (canonical.isEmpty()) {
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    if (!allowed(canonical)) {
        job->fail(QWebEngineUrlRequestJob::RequestDenied);
        return;
    }
    auto *file = new QFile(canonical);
    if (!file->open(QIODevice::ReadOnly)) {
        delete file;
        job->fail(QWebEngineUrlRequestJob::RequestFailed);
        return;
    }
    connect(job, &QObject::destroyed, file, &QObject::deleteLater);
    job->reply(contentType(canonical), file);
}

}  // namespace platform
