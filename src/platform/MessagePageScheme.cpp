#include "platform/MessagePageScheme.h"

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
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
    // Not a local scheme: pages served this way are refused file:// reads by the engine itself.
    scheme.setFlags(QWebEngineUrlScheme::SecureScheme);
    QWebEngineUrlScheme::registerScheme(scheme);
}

QUrl messagePageUrl(const QString &path)
{
    QUrl url;
    url.setScheme(QString::fromLatin1(kMessagePageScheme));
    url.setPath(QFileInfo(path).absoluteFilePath());
    return url;
}

const QString &MessagePageSchemeHandler::logoFileName()
{
    static const QString name = QStringLiteral("gmail_logo.gif");
    return name;
}

void MessagePageSchemeHandler::allowPage(const QString &path)
{
    m_pages.insert(QFileInfo(path).absoluteFilePath());
}

bool MessagePageSchemeHandler::allowed(const QString &path) const
{
    if (m_pages.contains(path))
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
    const QString path = QFileInfo(job->requestUrl().path()).absoluteFilePath();
    if (!allowed(path)) {
        job->fail(QWebEngineUrlRequestJob::RequestDenied);
        return;
    }
    auto *file = new QFile(path, job);
    if (!file->open(QIODevice::ReadOnly)) {
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    const bool isLogo = QFileInfo(path).fileName() == logoFileName() && !m_pages.contains(path);
    job->reply(isLogo ? QByteArrayLiteral("image/gif") : QByteArrayLiteral("text/html"), file);
}

}  // namespace platform
