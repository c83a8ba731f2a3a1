#pragma once
// The page inside a BrowserView: the engine settings and the request and navigation rules that
// keep an untrusted message from running code, reading local files or leaving the page.

#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineUrlRequestInterceptor>

namespace platform {

class MessagePageSchemeHandler;

// Lets through the page's own scheme and, when allowed, remote pictures; blocks everything else
// (file://, remote scripts, frames, style sheets, fonts, beacons).
class MessageRequestGuard : public QWebEngineUrlRequestInterceptor {
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
    void interceptRequest(QWebEngineUrlRequestInfo &info) override;
    bool remoteImagesAllowed = false;
};

class MessagePage : public QWebEnginePage {
public:
    explicit MessagePage(QObject *parent);
    // The one navigation the page accepts next: the view's own Navigate. Once it has been let
    // through nothing else is, until the next expect(): a message may not refresh, reload or
    // blank its own page.
    void expect(const QUrl &target) { m_expected = target; }
    // The profile every view shares (private to this process, nothing kept on disk).
    static QWebEngineProfile *sharedProfile();
    // Serves the pages of every view; a view tells it which files it shows.
    static MessagePageSchemeHandler &schemeHandler();
    MessageRequestGuard guard;

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString &, int,
                                  const QString &) override {}

private:
    QUrl m_expected;
};

}  // namespace platform
