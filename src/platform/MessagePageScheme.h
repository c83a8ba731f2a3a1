#pragma once
// How a rendered message page reaches a browser view. The page is a local file whose name need
// not end in ".html" ("tmp.tmp"), and a browser shows such a file as plain text. So pages are
// served through a scheme of our own that answers "text/html": the URL's path is the file's
// path, and a relative "gmail_logo.gif" in the page resolves to the file beside it.
//
// The handler serves nothing but the pages a view was told to show, the logo beside them, and
// the pictures each page's builder wrote into that page's own picture folder (served only when
// their bytes are a picture): a message cannot read any other file of the user through it.

#include <QSet>
#include <QString>
#include <QUrl>
#include <QWebEngineUrlSchemeHandler>

namespace platform {

inline constexpr char kMessagePageScheme[] = "quorvale-page";

// Registers the scheme with WebEngine; must run before the first profile is made (repeat calls
// do nothing).
void registerMessagePageScheme();

// The URL that shows the file at `path`. The same for every load of that file: the profile keeps
// no cache, so a rewritten file is read again at each load.
QUrl messagePageUrl(const QString &path);

// The folder beside the page at `pagePath` that holds the pictures of that page alone.
QString pagePicturesFolder(const QString &pagePath);

class MessagePageSchemeHandler : public QWebEngineUrlSchemeHandler {
public:
    using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;
    void allowPage(const QString &path);
    void requestStarted(QWebEngineUrlRequestJob *job) override;

    // The name of the one extra file a page may load from its own folder.
    static const QString &logoFileName();

private:
    bool allowed(const QString &path) const;
    bool isPagePicture(const QString &path) const;
    QSet<QString> m_pages;
};

}  // namespace platform
