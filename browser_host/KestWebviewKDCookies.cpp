// Cookies: a readable report of the current document's cookies, the
// browser's cookie list for an address, and deletion.

#include "KestWebviewKD.h"

#include "CookieReport.h"
#include "HostValues.h"

#include "webview2_binding/Collection.h"
#include "webview2_binding/cWebView2.h"

using namespace hostvalues;

namespace {

constexpr double CookieWaitSeconds = 8;

// The report's view of one cookie of the browser's list.
cookiereport::Cookie reportedCookie(const Collection& cookie) {
    cookiereport::Cookie reported;
    reported.name = cookie.item(QStringLiteral("Name")).toString();
    reported.value = cookie.item(QStringLiteral("Value")).toString();
    reported.httpOnly = cookie.item(QStringLiteral("IsHttpOnly")).toBool();
    // A session cookie has no expiry in the list.
    if (cookie.contains(QStringLiteral("Expires")))
        reported.expires = cookie.item(QStringLiteral("Expires")).toString();
    return reported;
}

} // namespace

QString KestWebviewKD::GetCookies() {
    if (!m_wv)
        return {};
    try {
        const auto list = Collection::from(m_wv->GetCookies(m_documentUrl, CookieWaitSeconds));
        if (!list)
            return {};
        QList<cookiereport::Cookie> cookies;
        for (int i = 1; i <= list->count(); ++i)
            if (const auto cookie = Collection::from(list->item(i)))
                cookies.append(reportedCookie(*cookie));
        return cookiereport::report(cookies);
    } catch (...) {
        return {};
    }
}

void KestWebviewKD::DeleteAllCookies(const QString& url) {
    if (!m_isWebViewInit || !m_wv)
        return;
    if (url.isEmpty()) {
        m_wv->DeleteAllCookies();
        return;
    }
    const auto list = Collection::from(m_wv->GetCookies(url, CookieWaitSeconds));
    for (int i = 1; list && i <= list->count(); ++i)
        if (const auto cookie = Collection::from(list->item(i)))
            m_wv->DeleteCookies(cookie->item(QStringLiteral("Name")).toString(), url);
}

void KestWebviewKD::bindCookieMembers() {
    bindMethod("GetCookies", [this](QList<Variant>&) { return text(GetCookies()); });
    bindMethod("GetCookiesCollection", [this](QList<Variant>& a) {
        try {
            if (m_isWebViewInit && m_wv)
                return m_wv->GetCookies(a[0].toString(), CookieWaitSeconds);
        } catch (...) {
        }
        return Variant();
    });
    bindMethod("DeleteAllCookies",
               forwarding([this](QList<Variant>& a) { DeleteAllCookies(a[0].toString()); }));
    bindMethod("DeleteCookies", forwarding([this](QList<Variant>& a) {
                   if (!m_isWebViewInit)
                       return;
                   const QString uri = a[1].toString();
                   m_wv->DeleteCookies(a[0].toString(), uri.isEmpty() ? m_documentUrl : uri);
               }));
}
