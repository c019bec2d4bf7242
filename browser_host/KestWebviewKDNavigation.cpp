#include "KestWebviewKD.h"

#include "HostErrors.h"
#include "HostValues.h"
#include "modKWVLanguage.h"
#include "modKWVUrl.h"

#include "webview2_binding/cWebView2.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>

using namespace hostvalues;
using P = PersistedProperties;

namespace {

const QString ErrorPageAddress = QStringLiteral("chrome-error://chromewebdata/");
// The page GoWallet shows in place of the wallet, in English and French.
QString walletNotice(const char* english, const char* french) {
    const QString line = QStringLiteral("<div>WEBVIEW2</div><div>%1</div><div> </div>");
    return QStringLiteral("<!DOCTYPE html><html><head><title>Microsoft Regression !</title></head>"
                          "<body><font color=\"#FF0000\">") +
           line.arg(QString::fromUtf8(english)) + QStringLiteral("<div>") +
           QString(85, QLatin1Char('-')) + QStringLiteral("</div>") +
           line.arg(QString::fromUtf8(french)) + QStringLiteral("</font></body></html>");
}
constexpr int LastVersionWithoutWallet = 121;

constexpr int NavigationCancelled = 14;

} // namespace

// ---------------------------------------------------------------- navigation

void KestWebviewKD::requireBrowser() const {
    if (!m_wv)
        throw AutomationError(hosterr::BrowserNotStarted, kwvlanguage::texts().notInitialised,
                              hosterr::ControlSource);
}

bool KestWebviewKD::beforeNavigate(const QString& url) {
    QList<Variant> a{text(url), Variant(false)};
    raise("BeforeNavigate", a);
    return !a[1].toBool();
}

void KestWebviewKD::navigateBrowser(const QString& address) {
    m_wv->Navigate(address, NavigationWaitSeconds);
}

void KestWebviewKD::Navigate(QString& url) {
    requireBrowser();
    if (!beforeNavigate(url))
        return;
    if (url.isEmpty())
        return;
    try {
        m_collectedCookies.clear();
        m_lastRequested = url;
        url = kwvurl::urlEncodeUtf8(url);
        navigateBrowser(
            kwvurl::completeAddress(url, m_searchTemplate, m_virtualHost, m_virtualFolder));
    } catch (const std::exception&) {
        if (!m_props.flag(P::SearchAuto))
            throw AutomationError(hosterr::InvalidAddress, kwvlanguage::texts().invalidUrl,
                                  hosterr::NavigationSource);
        m_timer2.start();
    }
}

bool KestWebviewKD::GoHome() {
    requireBrowser();
    const QString home = m_props.text(P::HomeURL);
    return !home.isEmpty() && openAddress(home);
}

bool KestWebviewKD::openAddress(const QString& address) {
    try {
        if (!beforeNavigate(address))
            return false;
        m_collectedCookies.clear();
        m_lastRequested = address;
        navigateBrowser(kwvurl::completeAddress(kwvurl::urlEncodeUtf8(address), m_searchTemplate,
                                                m_virtualHost, m_virtualFolder));
        return true;
    } catch (...) {
        return false;
    }
}

bool KestWebviewKD::GoSearch(const QString& toSearch) {
    requireBrowser();
    const QString address = QString(m_searchTemplate).replace(QLatin1String("%1"), toSearch);
    try {
        if (!beforeNavigate(address) || address.isEmpty())
            return false;
        m_collectedCookies.clear();
        navigateBrowser(kwvurl::completeAddress(kwvurl::urlEncodeUtf8(address), m_searchTemplate,
                                                m_virtualHost, m_virtualFolder));
        return true;
    } catch (...) {
        return false;
    }
}

void KestWebviewKD::autoSearch() {
    m_timer2.stop();
    if (!m_wv)
        return; // no caller to raise BrowserNotStarted to from a timer
    // Text and file navigations record no address: there is nothing to search for.
    if (m_lastRequested.trimmed().isEmpty())
        return;
    try {
        navigateBrowser(kwvurl::autoSearchAddress(m_lastRequested, m_searchTemplate));
    } catch (const AutomationError&) {
        // A search address the browser refuses leaves the page as it is.
    }
}

bool KestWebviewKD::goBuiltIn(const QString& address, const QString& title) {
    requireBrowser();
    try {
        if (!beforeNavigate(address))
            return false;
        m_collectedCookies.clear();
        m_lastRequested = address;
        navigateBrowser(address);
        m_currentAddress = address;
        m_documentUrl = address;
        m_documentTitle = title;
        raise("DocumentComplete");
        return true;
    } catch (...) {
        return false;
    }
}

bool KestWebviewKD::GoWallet() {
    if (!runtimeBeforeVersion122()) {
        // The runtime has no wallet page at any version.
        requireBrowser();
        showNotice(walletNotice("For some obscure reason, that even Microsoft probably doesn't "
                                "understand, this function is no longer accessible !!!!",
                                "Pour une obscure raison, que même Microsoft ne doit pas "
                                "comprendre, cette fonction n'est plus accessible !!!!! "));
    } else if (m_wv) {
        showOldVersionNotice();
    }
    return false;
}

bool KestWebviewKD::runtimeBeforeVersion122() const {
    return runtimeVersion().section(QLatin1Char('.'), 0, 0).toInt() <= LastVersionWithoutWallet;
}

void KestWebviewKD::showOldVersionNotice() {
    showNotice(walletNotice(
        "This function is not available in old versions (<122) of the WebView2 component !",
        "Cette fonction n'est pas disponible dans les anciennes versions (<122) du composant "
        "WebView2 !"));
}

void KestWebviewKD::showNotice(const QString& html) {
    try {
        m_wv->NavigateToString(html, NavigationWaitSeconds);
    } catch (...) {
        // The notice is best effort: the member answers False either way.
    }
}

void KestWebviewKD::NavigateToString(const QString& html, double secondsToWait) {
    requireBrowser();
    if (!beforeNavigate(QStringLiteral("NavigateToSting:") + html))
        return;
    m_collectedCookies.clear();
    m_lastRequested.clear();
    try {
        m_wv->NavigateToString(html, secondsToWait);
    } catch (...) {
        // Loading text is best effort: the caller goes on with whatever is shown.
    }
}

void KestWebviewKD::NavigateToFile(const QString& path) {
    if (!QFileInfo(path).isFile() || !m_isWebViewInit || !m_wv)
        return;
    m_wv->Navigate(path.contains(QLatin1String("://")) ? path : fileAddress(path),
                   NavigationWaitSeconds);
}

void KestWebviewKD::onDocumentComplete() {
    m_currentAddress = m_wv ? m_wv->DocumentURL() : QString();
    m_navigating = false;
    if (m_currentAddress == ErrorPageAddress)
        showedErrorPage();
    else
        recordCurrentDocument(m_currentAddress);
    updateStoreButton();
    raise("DocumentComplete");
}

void KestWebviewKD::onNavigationCompleted(bool success, int webErrorStatus) {
    // A cancelled or failed navigation ends the navigation as a document does.
    m_navigating = false;
    // The browser completes a failed navigation on its error page, with no
    // document completion. A page shown since a failure is not replaced by
    // the search for it.
    if (success)
        m_timer2.stop();
    else if (webErrorStatus != NavigationCancelled)
        showedErrorPage();
    updateStoreButton();
    raise("NavigationCompleted", {longValue(success ? -1 : 0), longValue(webErrorStatus)});
}

void KestWebviewKD::showedErrorPage() {
    // A failed automatic search is not searched for again.
    if (m_props.flag(P::SearchAuto) &&
        !m_pendingAddress.contains(m_searchTemplate.section(QLatin1String("%1"), 0, 0)))
        m_timer2.start();
    m_documentTitle = kwvlanguage::texts().invalidUrl;
}

void KestWebviewKD::recordCurrentDocument(const QString& address) {
    if (!address.isEmpty()) {
        m_documentUrl = kwvurl::decodeUri(address);
        m_documentTitle = m_wv ? m_wv->DocumentTitle() : QString();
        return;
    }
    m_documentUrl = m_lastRequested;
    m_documentTitle = m_lastRequested;
    m_currentAddress = kwvurl::decodeUri(m_lastRequested);
}

void KestWebviewKD::onSourceChangeTick() {
    m_timerSourceChange.stop();
    m_currentAddress = kwvurl::decodeUri(jsProp(QStringLiteral("document.URL")));
    recordCurrentDocument(m_currentAddress);
    updateStoreButton();
    raise("DocumentComplete");
}

void KestWebviewKD::onZoomChanged() {
    if (!m_wv)
        return;
    QList<Variant> a{Variant(static_cast<std::int16_t>(std::lround(m_wv->ZoomFactor() * 100)))};
    m_zoomPercent = a[0].toInteger();
    raise("ZoomChanged", a);
}

void KestWebviewKD::SetZoomFactor(std::int16_t& percent) {
    percent = std::clamp<std::int16_t>(percent, 10, 1000);
    m_zoomPercent = percent;
    if (m_wv)
        m_wv->setZoomFactor(percent / 100.0);
    onZoomChanged();
}
