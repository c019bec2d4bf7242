#pragma once

#include "platform/automation/Dispatch.h"
#include "platform/webview2/WebView2.h"

#include <QPointer>
#include <QString>

#include <memory>

class cWebView2;

// The binding's handler object: the environment options handed to the
// runtime, the host object "vbHost" that pages call, and the source of the
// handlers for every completion and event. It forwards to the cWebView2 it is
// attached to; once detached, every late call is ignored.
class cWebView2Callback : public ComObject<ICoreWebView2EnvironmentOptions6> {
public:
    cWebView2Callback(cWebView2* owner, Currency token);

    void attach(cWebView2* owner, Currency token);
    void detach();
    cWebView2* owner() const { return *m_owner; }
    Currency token() const { return m_token; }

    // The host object that pages reach as chrome.webview.hostObjects.sync.vbHost.
    DispatchPtr hostObject();

    // A handler whose Invoke calls function(owner, arguments...) while attached
    // and answers success without calling it once detached.
    template <typename Handler, typename Function> ComPtr<Handler> handler(Function function) {
        ComPtr<cWebView2Callback> self(this);
        return makeHandler<Handler>([self, function](auto... args) -> HRESULT {
            cWebView2* owner = *self->m_owner;
            return owner ? function(*owner, args...) : hr::S_OK;
        });
    }

    // A handler for one completion: like handler(), and the owner forgets this
    // callback once the completion has run.
    template <typename Handler, typename Function> ComPtr<Handler> completion(Function function) {
        ComPtr<cWebView2Callback> self(this);
        return makeHandler<Handler>([self, function](auto... args) -> HRESULT {
            cWebView2* owner = *self->m_owner;
            if (!owner)
                return hr::S_OK;
            const HRESULT result = function(*owner, args...);
            self->completed();
            return result;
        });
    }

    // Environment options.
    HRESULT get_AdditionalBrowserArguments(QString* value) override;
    HRESULT put_AdditionalBrowserArguments(const QString& value) override;
    HRESULT get_Language(QString* value) override;
    HRESULT put_Language(const QString& value) override;
    HRESULT get_TargetCompatibleBrowserVersion(QString* value) override;
    HRESULT put_TargetCompatibleBrowserVersion(const QString& value) override;
    HRESULT get_AllowSingleSignOnUsingOSPrimaryAccount(bool* allow) override;
    HRESULT put_AllowSingleSignOnUsingOSPrimaryAccount(bool allow) override;
    HRESULT get_ExclusiveUserDataFolderAccess(bool* value) override;
    HRESULT put_ExclusiveUserDataFolderAccess(bool value) override;
    HRESULT get_IsCustomCrashReportingEnabled(bool* value) override;
    HRESULT put_IsCustomCrashReportingEnabled(bool value) override;
    HRESULT get_EnableTrackingPrevention(bool* value) override;
    HRESULT put_EnableTrackingPrevention(bool value) override;
    HRESULT get_AreBrowserExtensionsEnabled(bool* value) override;
    HRESULT put_AreBrowserExtensionsEnabled(bool value) override;

    // The runtime version that an empty target version stands for.
    using VersionQuery = std::function<QString()>;
    void setInstalledVersionQuery(VersionQuery query) { m_installedVersion = std::move(query); }

private:
    class HostObject;

    void completed();

    // Shared with the host object, which pages may hold longer than the runtime holds this.
    std::shared_ptr<QPointer<cWebView2>> m_owner;
    Currency m_token;
    DispatchPtr m_hostObject;
    VersionQuery m_installedVersion;
    QString m_additionalBrowserArguments;
    QString m_language;
    QString m_targetCompatibleBrowserVersion;
    bool m_allowSingleSignOn = false;
    bool m_exclusiveUserDataFolderAccess = false;
    bool m_customCrashReporting = false;
    bool m_enableTrackingPrevention = true;
    bool m_browserExtensions = false;
};
