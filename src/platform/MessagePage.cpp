#include "platform/MessagePage.h"

#include "platform/MessagePageScheme.h"

#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInfo>

namespace platform {

void MessageRequestGuard::interceptRequest(QWebEngineUrlRequestInfo &info)
{
    const QString scheme = info.requestUrl().scheme();
    if (scheme == QLatin1String(kMessagePageScheme) || scheme == QLatin1String("data")
        || scheme == QLatin1String("about"))
        return;
    const bool remote = scheme == QLatin1String("http") || scheme == QLatin1String("https");
    if (remote && remoteImagesAllowed
        && info.resourceType() == QWebEngineUrlRequestInfo::ResourceTypeImage)
        return;
    info.block(true);
}

namespace {
struct SharedProfile {
    QWebEngineProfile *profile = nullptr;
    MessagePageSchemeHandler *handler = nullptr;
};

const SharedProfile &shared()
{
    static const SharedProfile made = [] {
        registerMessagePageScheme();
        SharedProfile out;
        out.profile = new QWebEngineProfile();  // off the record: no cache or cookies on disk
        // Every load of the page file reads it again: it holds another message each time, under
        // the same address. (A new address per load would do the same, at about 60 ms a load.)
        out.profile->setHttpCacheType(QWebEngineProfile::NoCache);
        out.handler = new MessagePageSchemeHandler(out.profile);
        out.profile->installUrlSchemeHandler(kMessagePageScheme, out.handler);
        return out;
    }();
    return made;
}
}  // namespace

QWebEngineProfile *MessagePage::sharedProfile()
{
    return shared().profile;
}

MessagePageSchemeHandler &MessagePage::schemeHandler()
{
    return *shared().handler;
}

MessagePage::MessagePage(QObject *parent) : QWebEnginePage(sharedProfile(), parent)
{
    QWebEngineSettings *s = settings();
    s->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    s->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    s->setAttribute(QWebEngineSettings::AutoLoadIconsForPage, false);
    s->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
    s->setAttribute(QWebEngineSettings::NavigateOnDropEnabled, false);
    setUrlRequestInterceptor(&guard);
}

bool MessagePage::acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame)
{
    Q_UNUSED(type);
    // Only the page the view was sent to, once; a link, a form, a refresh or a frame goes nowhere.
    if (!isMainFrame || m_expected.isEmpty() || url != m_expected)
        return false;
    m_expected = QUrl();
    return true;
}

}  // namespace platform
