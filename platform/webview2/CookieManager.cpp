#include "CookieManager.h"

#include "ProfileContext.h"

#include <QDateTime>
#include <QTimer>
#include <QUrl>
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>

namespace {

template <typename T> HRESULT read(T* target, const T& value) {
    if (!target)
        return hr::E_POINTER;
    *target = value;
    return hr::S_OK;
}

// Whether a cookie would be sent to url (domain and path match, secure only over https).
bool appliesTo(const QNetworkCookie& cookie, const QUrl& url) {
    const QString host = url.host();
    QString domain = cookie.domain();
    const bool hostOnly = !domain.startsWith(QLatin1Char('.'));
    if (domain.startsWith(QLatin1Char('.')))
        domain = domain.mid(1);
    const bool domainMatches =
        host.compare(domain, Qt::CaseInsensitive) == 0 ||
        (!hostOnly && host.endsWith(QLatin1Char('.') + domain, Qt::CaseInsensitive));
    const QString path = url.path().isEmpty() ? QStringLiteral("/") : url.path();
    const QString cookiePath = cookie.path().isEmpty() ? QStringLiteral("/") : cookie.path();
    const bool pathMatches =
        path == cookiePath ||
        (path.startsWith(cookiePath) &&
         (cookiePath.endsWith(QLatin1Char('/')) || path.at(cookiePath.size()) == QLatin1Char('/')));
    return domainMatches && pathMatches &&
           (!cookie.isSecure() || url.scheme() == QLatin1String("https"));
}

} // namespace

HRESULT Cookie::get_Name(QString* name) {
    return read(name, QString::fromUtf8(m_cookie.name()));
}
HRESULT Cookie::get_Value(QString* value) {
    return read(value, QString::fromUtf8(m_cookie.value()));
}
HRESULT Cookie::put_Value(const QString& value) {
    m_cookie.setValue(value.toUtf8());
    return hr::S_OK;
}
HRESULT Cookie::get_Domain(QString* domain) {
    return read(domain, m_cookie.domain());
}
HRESULT Cookie::get_Path(QString* path) {
    return read(path, m_cookie.path());
}

HRESULT Cookie::get_Expires(double* expires) {
    if (m_cookie.isSessionCookie())
        return read(expires, -1.0);
    return read(expires, static_cast<double>(m_cookie.expirationDate().toSecsSinceEpoch()));
}

HRESULT Cookie::put_Expires(double expires) {
    m_cookie.setExpirationDate(
        expires < 0 ? QDateTime()
                    : QDateTime::fromSecsSinceEpoch(static_cast<qint64>(expires), Qt::UTC));
    return hr::S_OK;
}

HRESULT Cookie::get_IsHttpOnly(bool* isHttpOnly) {
    return read(isHttpOnly, m_cookie.isHttpOnly());
}
HRESULT Cookie::put_IsHttpOnly(bool isHttpOnly) {
    m_cookie.setHttpOnly(isHttpOnly);
    return hr::S_OK;
}

HRESULT Cookie::get_SameSite(COREWEBVIEW2_COOKIE_SAME_SITE_KIND* sameSite) {
    switch (m_cookie.sameSitePolicy()) {
    case QNetworkCookie::SameSite::Strict:
        return read(sameSite, COREWEBVIEW2_COOKIE_SAME_SITE_KIND_STRICT);
    case QNetworkCookie::SameSite::None:
        return read(sameSite, COREWEBVIEW2_COOKIE_SAME_SITE_KIND_NONE);
    default:
        return read(sameSite, COREWEBVIEW2_COOKIE_SAME_SITE_KIND_LAX);
    }
}

HRESULT Cookie::put_SameSite(COREWEBVIEW2_COOKIE_SAME_SITE_KIND sameSite) {
    switch (sameSite) {
    case COREWEBVIEW2_COOKIE_SAME_SITE_KIND_NONE:
        m_cookie.setSameSitePolicy(QNetworkCookie::SameSite::None);
        return hr::S_OK;
    case COREWEBVIEW2_COOKIE_SAME_SITE_KIND_LAX:
        m_cookie.setSameSitePolicy(QNetworkCookie::SameSite::Lax);
        return hr::S_OK;
    case COREWEBVIEW2_COOKIE_SAME_SITE_KIND_STRICT:
        m_cookie.setSameSitePolicy(QNetworkCookie::SameSite::Strict);
        return hr::S_OK;
    }
    return hr::E_INVALIDARG;
}

HRESULT Cookie::get_IsSecure(bool* isSecure) {
    return read(isSecure, m_cookie.isSecure());
}
HRESULT Cookie::put_IsSecure(bool isSecure) {
    m_cookie.setSecure(isSecure);
    return hr::S_OK;
}
HRESULT Cookie::get_IsSession(bool* isSession) {
    return read(isSession, m_cookie.isSessionCookie());
}

HRESULT CookieList::get_Count(std::uint32_t* count) {
    return read(count, static_cast<std::uint32_t>(m_cookies.size()));
}

HRESULT CookieList::GetValueAtIndex(std::uint32_t index, ICoreWebView2Cookie** cookie) {
    if (!cookie)
        return hr::E_POINTER;
    if (index >= static_cast<std::uint32_t>(m_cookies.size()))
        return hr::E_INVALIDARG;
    ComPtr<ICoreWebView2Cookie>(makeCom<Cookie>(m_cookies.at(index))).copyTo(cookie);
    return hr::S_OK;
}

CookieManager::CookieManager(std::shared_ptr<ProfileContext> profile, QObject* context)
    : m_profile(std::move(profile))
    , m_context(context) {
}

HRESULT CookieManager::CreateCookie(const QString& name, const QString& value,
                                    const QString& domain, const QString& path,
                                    ICoreWebView2Cookie** cookie) {
    if (!cookie)
        return hr::E_POINTER;
    if (name.isEmpty() || domain.isEmpty())
        return hr::E_INVALIDARG;
    QNetworkCookie created(name.toUtf8(), value.toUtf8());
    created.setDomain(domain);
    created.setPath(path.isEmpty() ? QStringLiteral("/") : path);
    ComPtr<ICoreWebView2Cookie>(makeCom<Cookie>(created)).copyTo(cookie);
    return hr::S_OK;
}

HRESULT CookieManager::GetCookies(const QString& uri,
                                  ICoreWebView2GetCookiesCompletedHandler* handler) {
    if (!handler)
        return hr::E_POINTER;
    if (!m_context)
        return hr::ERROR_INVALID_STATE;
    const QUrl url(uri);
    if (!uri.isEmpty() && !url.isValid())
        return hr::E_INVALIDARG;
    QList<QNetworkCookie> matching;
    for (const QNetworkCookie& cookie : m_profile->cookies()) {
        if (uri.isEmpty() || appliesTo(cookie, url))
            matching.append(cookie);
    }
    ComPtr<ICoreWebView2GetCookiesCompletedHandler> completion(handler);
    auto list = makeCom<CookieList>(std::move(matching));
    QTimer::singleShot(0, m_context.data(),
                       [completion, list] { completion->Invoke(hr::S_OK, list.get()); });
    return hr::S_OK;
}

HRESULT CookieManager::AddOrUpdateCookie(ICoreWebView2Cookie* cookie) {
    auto* own = dynamic_cast<Cookie*>(cookie);
    if (!own)
        return hr::E_INVALIDARG;
    m_profile->profile()->cookieStore()->setCookie(own->cookie());
    return hr::S_OK;
}

HRESULT CookieManager::DeleteCookie(ICoreWebView2Cookie* cookie) {
    auto* own = dynamic_cast<Cookie*>(cookie);
    if (!own)
        return hr::E_INVALIDARG;
    m_profile->profile()->cookieStore()->deleteCookie(own->cookie());
    m_profile->forgetCookie(own->cookie());
    return hr::S_OK;
}

void CookieManager::deleteMatching(const std::function<bool(const QNetworkCookie&)>& matches) {
    const QList<QNetworkCookie> known = m_profile->cookies();
    for (const QNetworkCookie& cookie : known) {
        if (!matches(cookie))
            continue;
        m_profile->profile()->cookieStore()->deleteCookie(cookie);
        m_profile->forgetCookie(cookie);
    }
}

HRESULT CookieManager::DeleteCookies(const QString& name, const QString& uri) {
    const QUrl url(uri);
    if (!url.isValid())
        return hr::E_INVALIDARG;
    deleteMatching([&](const QNetworkCookie& cookie) {
        return cookie.name() == name.toUtf8() && appliesTo(cookie, url);
    });
    return hr::S_OK;
}

HRESULT CookieManager::DeleteCookiesWithDomainAndPath(const QString& name, const QString& domain,
                                                      const QString& path) {
    deleteMatching([&](const QNetworkCookie& cookie) {
        return cookie.name() == name.toUtf8() &&
               cookie.domain().compare(domain, Qt::CaseInsensitive) == 0 &&
               (path.isEmpty() || cookie.path() == path);
    });
    return hr::S_OK;
}

HRESULT CookieManager::DeleteAllCookies() {
    m_profile->profile()->cookieStore()->deleteAllCookies();
    m_profile->forgetAllCookies();
    return hr::S_OK;
}
