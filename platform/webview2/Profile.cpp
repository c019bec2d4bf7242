#include "Profile.h"

#include "BrowserProcess.h"
#include "ProfileContext.h"

#include <QTimer>
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>

namespace {

constexpr std::uint32_t clearableKinds = COREWEBVIEW2_BROWSING_DATA_KINDS_COOKIES |
                                         COREWEBVIEW2_BROWSING_DATA_KINDS_DISK_CACHE |
                                         COREWEBVIEW2_BROWSING_DATA_KINDS_BROWSING_HISTORY;

constexpr HRESULT ErrorNotSupported = static_cast<HRESULT>(0x80070032);

} // namespace

Profile::Profile(std::shared_ptr<ProfileContext> profile, QObject* context)
    : m_profile(std::move(profile))
    , m_context(context) {
}

HRESULT Profile::get_ProfileName(QString* value) {
    if (!value)
        return hr::E_POINTER;
    *value = m_profile->profile()->storageName();
    return hr::S_OK;
}

HRESULT Profile::get_IsInPrivateModeEnabled(bool* value) {
    if (!value)
        return hr::E_POINTER;
    *value = m_profile->profile()->isOffTheRecord();
    return hr::S_OK;
}

HRESULT Profile::get_ProfilePath(QString* value) {
    if (!value)
        return hr::E_POINTER;
    *value = m_profile->profile()->persistentStoragePath();
    return hr::S_OK;
}

HRESULT Profile::get_DefaultDownloadFolderPath(QString* value) {
    if (!value)
        return hr::E_POINTER;
    *value = m_profile->profile()->downloadPath();
    return hr::S_OK;
}

HRESULT Profile::put_DefaultDownloadFolderPath(const QString& value) {
    if (value.isEmpty())
        return hr::E_INVALIDARG;
    m_profile->profile()->setDownloadPath(value);
    return hr::S_OK;
}

HRESULT Profile::get_PreferredColorScheme(COREWEBVIEW2_PREFERRED_COLOR_SCHEME* value) {
    if (!value)
        return hr::E_POINTER;
    *value = BrowserProcess::darkColorScheme() ? COREWEBVIEW2_PREFERRED_COLOR_SCHEME_DARK
                                               : COREWEBVIEW2_PREFERRED_COLOR_SCHEME_AUTO;
    return hr::S_OK;
}

HRESULT Profile::put_PreferredColorScheme(COREWEBVIEW2_PREFERRED_COLOR_SCHEME value) {
    if (value < COREWEBVIEW2_PREFERRED_COLOR_SCHEME_AUTO ||
        value > COREWEBVIEW2_PREFERRED_COLOR_SCHEME_DARK)
        return hr::E_INVALIDARG;
    const bool dark = value == COREWEBVIEW2_PREFERRED_COLOR_SCHEME_DARK;
    return dark == BrowserProcess::darkColorScheme() ? hr::S_OK : ErrorNotSupported;
}

HRESULT Profile::ClearBrowsingData(COREWEBVIEW2_BROWSING_DATA_KINDS dataKinds,
                                   ICoreWebView2ClearBrowsingDataCompletedHandler* handler) {
    if (!handler)
        return hr::E_POINTER;
    if (!m_context)
        return hr::ERROR_INVALID_STATE;
    QWebEngineProfile* profile = m_profile->profile();
    const bool all = dataKinds & (COREWEBVIEW2_BROWSING_DATA_KINDS_ALL_PROFILE |
                                  COREWEBVIEW2_BROWSING_DATA_KINDS_ALL_SITE);
    if (all || (dataKinds & COREWEBVIEW2_BROWSING_DATA_KINDS_COOKIES)) {
        profile->cookieStore()->deleteAllCookies();
        m_profile->forgetAllCookies();
    }
    if (all || (dataKinds & COREWEBVIEW2_BROWSING_DATA_KINDS_DISK_CACHE))
        profile->clearHttpCache();
    if (all || (dataKinds & COREWEBVIEW2_BROWSING_DATA_KINDS_BROWSING_HISTORY))
        profile->clearAllVisitedLinks();
    const HRESULT result = (dataKinds & ~clearableKinds) ? hr::E_NOTIMPL : hr::S_OK;
    ComPtr<ICoreWebView2ClearBrowsingDataCompletedHandler> completion(handler);
    QTimer::singleShot(0, m_context.data(), [completion, result] { completion->Invoke(result); });
    return hr::S_OK;
}

HRESULT Profile::ClearBrowsingDataAll(ICoreWebView2ClearBrowsingDataCompletedHandler* handler) {
    return ClearBrowsingData(COREWEBVIEW2_BROWSING_DATA_KINDS_ALL_PROFILE, handler);
}
