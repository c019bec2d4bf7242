#pragma once

#include "WebView2.h"

#include <QList>
#include <QNetworkCookie>
#include <QPointer>

#include <memory>

class ProfileContext;
class QObject;

// One cookie, as a value the host reads or fills before adding it.
class Cookie : public ComObject<ICoreWebView2Cookie> {
public:
    explicit Cookie(QNetworkCookie cookie)
        : m_cookie(std::move(cookie)) {}
    const QNetworkCookie& cookie() const { return m_cookie; }

    HRESULT get_Name(QString* name) override;
    HRESULT get_Value(QString* value) override;
    HRESULT put_Value(const QString& value) override;
    HRESULT get_Domain(QString* domain) override;
    HRESULT get_Path(QString* path) override;
    HRESULT get_Expires(double* expires) override;
    HRESULT put_Expires(double expires) override;
    HRESULT get_IsHttpOnly(bool* isHttpOnly) override;
    HRESULT put_IsHttpOnly(bool isHttpOnly) override;
    HRESULT get_SameSite(COREWEBVIEW2_COOKIE_SAME_SITE_KIND* sameSite) override;
    HRESULT put_SameSite(COREWEBVIEW2_COOKIE_SAME_SITE_KIND sameSite) override;
    HRESULT get_IsSecure(bool* isSecure) override;
    HRESULT put_IsSecure(bool isSecure) override;
    HRESULT get_IsSession(bool* isSession) override;

private:
    QNetworkCookie m_cookie;
};

class CookieList : public ComObject<ICoreWebView2CookieList> {
public:
    explicit CookieList(QList<QNetworkCookie> cookies)
        : m_cookies(std::move(cookies)) {}

    HRESULT get_Count(std::uint32_t* count) override;
    HRESULT GetValueAtIndex(std::uint32_t index, ICoreWebView2Cookie** cookie) override;

private:
    QList<QNetworkCookie> m_cookies;
};

// The cookie manager of a view: its profile's cookie store. Completions are
// dropped once context (the view's page) is gone.
class CookieManager : public ComObject<ICoreWebView2CookieManager> {
public:
    CookieManager(std::shared_ptr<ProfileContext> profile, QObject* context);

    HRESULT CreateCookie(const QString& name, const QString& value, const QString& domain,
                         const QString& path, ICoreWebView2Cookie** cookie) override;
    HRESULT GetCookies(const QString& uri,
                       ICoreWebView2GetCookiesCompletedHandler* handler) override;
    HRESULT AddOrUpdateCookie(ICoreWebView2Cookie* cookie) override;
    HRESULT DeleteCookie(ICoreWebView2Cookie* cookie) override;
    HRESULT DeleteCookies(const QString& name, const QString& uri) override;
    HRESULT DeleteCookiesWithDomainAndPath(const QString& name, const QString& domain,
                                           const QString& path) override;
    HRESULT DeleteAllCookies() override;

private:
    void deleteMatching(const std::function<bool(const QNetworkCookie&)>& matches);

    std::shared_ptr<ProfileContext> m_profile;
    QPointer<QObject> m_context;
};
