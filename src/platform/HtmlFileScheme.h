#pragma once
// Local pages shown as HTML whatever their file name. A browser decides a local file's type by
// its name, so the rendered page "tmp.tmp" would appear as plain text. Through the URL scheme
// "quorvale-file" a file is answered as text/html unless its name says it is an image, a style
// sheet or a font; relative links in the page (the logo beside it) resolve in the same scheme.
// Only files inside the folders allowed on the handler are served, so a message's markup cannot
// pull other local files into a page.

#include <QByteArray>
#include <QStringList>
#include <QUrl>
#include <QWebEngineUrlSchemeHandler>

class QWebEngineProfile;

namespace platform {

const QByteArray &htmlFileScheme();
// Declares the scheme to the web engine. Must run before the first web engine object is made;
// main() calls it before the application object exists. Later calls change nothing.
void registerHtmlFileScheme();
// The URL of a local file in the scheme.
QUrl htmlFileUrl(const QString &path);

class HtmlFileSchemeHandler : public QWebEngineUrlSchemeHandler {
    Q_OBJECT
public:
    // Installs itself on `profile` (which must not have one yet); owned by the profile.
    explicit HtmlFileSchemeHandler(QWebEngineProfile *profile);
    // Files in `folder` and below may be served.
    void allowFolder(const QString &folder);
    void requestStarted(QWebEngineUrlRequestJob *job) override;

private:
    bool allowed(const QString &canonicalPath) const;
    QStringList m_folders;
};

}  // namespace platform
