#include "platform/MessagePageScheme.h"

#include "platform/PictureSignature.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrlQuery>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>

namespace platform {

void registerMessagePageScheme()
{
    static bool registered = false;
    if (registered)
        return;
    registered = true;
    QWebEngineUrlScheme scheme(kMessagePageScheme);
    // One host for every page: the engine tells sites apart by scheme and host, and a load of
    // another site costs the view a fresh renderer process. Under a scheme without hosts each
    // address (each load, see BrowserView::Navigate) was a site of its own.
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
    // Not a local scheme: pages served this way are refused file:// reads by the engine itself.
    scheme.setFlags(QWebEngineUrlScheme::SecureScheme);
    QWebEngineUrlScheme::registerScheme(scheme);
}

QUrl messagePageUrl(const QString &path)
{
    QUrl url;
    url.setScheme(QString::fromLatin1(kMessagePageScheme));
    url.setHost(QStringLiteral("page"));
    url.setPath(QFileInfo(path).absoluteFilePath());
    return url;
}

QString pagePicturesFolder(const QString &pagePath)
{
    return QFileInfo(pagePath).absoluteFilePath() + QStringLiteral("-pictures");
}

const QString &MessagePageSchemeHandler::logoFileName()
{
    static const QString name = QStringLiteral("gmail_logo.gif");
    return name;
}

void MessagePageSchemeHandler::allowPage(const QString &path)
{
    m_pages.insert(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
}

bool MessagePageSchemeHandler::isPagePicture(const QString &path) const
{
    const QString folder = QFileInfo(path).absolutePath();
    for (const QString &page : m_pages) {
        if (pagePicturesFolder(page) == folder)
            return true;
    }
    return false;
}

bool MessagePageSchemeHandler::allowed(const QString &path) const
{
    if (m_pages.contains(path) || isPagePicture(path))
        return true;
    const QFileInfo file(path);
    if (file.fileName() != logoFileName())
        return false;
    for (const QString &page : m_pages) {
        if (QFileInfo(page).absolutePath() == file.absolutePath())
            return true;
    }
    return false;
}

void MessagePageSchemeHandler::requestStarted(QWebEngineUrlRequestJob *job)
{
    const QString path = QDir::cleanPath(QFileInfo(job->requestUrl().path()).absoluteFilePath());
    if (!allowed(path)) {
        job->fail(QWebEngineUrlRequestJob::RequestDenied);
        return;
    }
    auto *file = new QFile(path, job);
    if (!file->open(QIODevice::ReadOnly)) {
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    if (m_pages.contains(path)) {
        job->reply(QByteArrayLiteral("text/html"), file);
        return;
    }
    if (!isPagePicture(path)) {
        job->reply(QByteArrayLiteral("image/gif"), file);  // the logo
        return;
    }
    const QByteArray type = pictureTypeOf(file->peek(32));
    if (type.isEmpty()) {
        job->fail(QWebEngineUrlRequestJob::RequestDenied);
        return;
    }
    job->reply(type, file);
}

}  // namespace platform
