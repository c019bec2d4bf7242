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

// Switches with a Qt WebEngine setting take effect through it on every
// environment; the rest reach Chromium through the process's first environment.
void ProfileContext::applyArguments(const QStringList& browserArguments) {
    QWebEngineSettings* settings = m_profile->settings();
    for (const QString& argument : browserArguments) {
        const QString name = argument.section(QLatin1Char('='), 0, 0);
        const QString value = argument.section(QLatin1Char('='), 1);
        if (name == QLatin1String("--allow-file-access-from-files")) {
            settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
            settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
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
