#include "ProfileContext.h"

#include "BridgeSchemeHandler.h"
#include "CoreWebView2.h"
#include "WebPage.h"

#include <QDir>
#include <QWebEngineCookieStore>
#include <QWebEngineDownloadRequest>
#include <QWebEngineProfile>
#include <QWebEngineSettings>

namespace {

bool sameCookie(const QNetworkCookie& a, const QNetworkCookie& b) {
    return a.hasSameIdentifier(b);
}

} // namespace

ProfileContext::ProfileContext(const QString& userDataFolder, const QStringList& browserArguments,
                               const QString& language)
    : m_userDataFolder(userDataFolder)
    , m_schemeHandler(std::make_unique<BridgeSchemeHandler>())
    , m_profile(std::make_unique<QWebEngineProfile>(QStringLiteral("Default"))) {
    QDir().mkpath(userDataFolder);
    m_profile->setPersistentStoragePath(userDataFolder + QStringLiteral("/Default"));
    m_profile->setCachePath(userDataFolder + QStringLiteral("/Cache"));
    if (!language.isEmpty())
        m_profile->setHttpAcceptLanguage(language);
    m_profile->installUrlSchemeHandler(BridgeSchemeHandler::remoteScheme, m_schemeHandler.get());
    m_profile->installUrlSchemeHandler(BridgeSchemeHandler::localScheme, m_schemeHandler.get());
    // WebView2 shows PDF documents in its viewer. Qt WebEngine's PDF viewer runs as a plugin:
    // without plugins a PDF navigation became a download, and the page a failed navigation.
    m_profile->settings()->setAttribute(QWebEngineSettings::PluginsEnabled, true);
    m_profile->settings()->setAttribute(QWebEngineSettings::PdfViewerEnabled, true);
    applyArguments(browserArguments);

    QWebEngineCookieStore* store = m_profile->cookieStore();
    QObject::connect(store, &QWebEngineCookieStore::cookieAdded, m_profile.get(),
                     [this](const QNetworkCookie& cookie) {
                         forgetCookie(cookie);
                         m_cookies.append(cookie);
                     });
    QObject::connect(store, &QWebEngineCookieStore::cookieRemoved, m_profile.get(),
                     [this](const QNetworkCookie& cookie) { forgetCookie(cookie); });
    store->loadAllCookies();

    QObject::connect(m_profile.get(), &QWebEngineProfile::downloadRequested, m_profile.get(),
                     [](QWebEngineDownloadRequest* download) {
                         auto* page = dynamic_cast<WebPage*>(download->page());
                         if (page && page->owner())
                             page->owner()->downloadRequested(download);
                     });
}

ProfileContext::~ProfileContext() = default;

void ProfileContext::forgetCookie(const QNetworkCookie& cookie) {
    m_cookies.removeIf([&](const QNetworkCookie& known) { return sameCookie(known, cookie); });
}

namespace {

// Switches that only grant local pages what Chromium's own switch would: they
// become profile settings and never reach Chromium. Chromium's
// "--disable-web-security" would turn the same-origin policy off for every page
// of the process, remote ones included.
bool translatedOnly(const QString& name) {
    return name == QLatin1String("--allow-file-access-from-files") ||
           name == QLatin1String("--disable-web-security");
}

QString switchName(const QString& argument) {
    return argument.section(QLatin1Char('='), 0, 0);
}

} // namespace

QStringList ProfileContext::chromiumArguments(const QStringList& browserArguments) {
    QStringList kept;
    for (const QString& argument : browserArguments) {
        if (!translatedOnly(switchName(argument)))
            kept.append(argument);
    }
    return kept;
}

// Switches with a Qt WebEngine setting take effect through it on every
// environment; the rest reach Chromium through the process's first environment.
// The translations:
//   --allow-file-access-from-files, --disable-web-security
//       local (file:) pages may read local files (LocalContentCanAccessFileUrls);
//       the same-origin policy stays on: they read no other origin's answers.
//   --user-agent=X       the profile's user agent
//   --lang=X             the profile's Accept-Language
//   --autoplay-policy=no-user-gesture-required   media plays without a gesture
//   --disable-javascript pages run no script
void ProfileContext::applyArguments(const QStringList& browserArguments) {
    QWebEngineSettings* settings = m_profile->settings();
    for (const QString& argument : browserArguments) {
        const QString name = switchName(argument);
        const QString value = argument.section(QLatin1Char('='), 1);
        if (translatedOnly(name)) {
            settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
        } else if (name == QLatin1String("--user-agent")) {
            m_profile->setHttpUserAgent(value);
        } else if (name == QLatin1String("--lang")) {
            m_profile->setHttpAcceptLanguage(value);
        } else if (name == QLatin1String("--autoplay-policy") &&
                   value == QLatin1String("no-user-gesture-required")) {
            settings->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, false);
        } else if (name == QLatin1String("--disable-javascript")) {
            settings->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
        }
    }
}
