#include "Environment.h"

#include "BrowserProcess.h"
#include "Controller.h"
#include "EventArgs.h"
#include "PrintSettings.h"
#include "ProfileContext.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>

Environment::Environment(std::shared_ptr<ProfileContext> profile)
    : m_profile(std::move(profile)) {
}

HRESULT Environment::CreateCoreWebView2Controller(
    QWidget* parentWindow, ICoreWebView2CreateCoreWebView2ControllerCompletedHandler* handler) {
    if (!handler)
        return hr::E_POINTER;
    if (!parentWindow)
        return hr::E_INVALIDARG;
    ComPtr<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler> completion(handler);
    ComPtr<Environment> self(this);
    QTimer::singleShot(0, qApp, [self, completion, parent = QPointer<QWidget>(parentWindow)] {
        if (!parent) {
            completion->Invoke(hr::ERROR_INVALID_STATE, nullptr);
            return;
        }
        auto controller = makeCom<Controller>(self, self->m_profile, parent.data());
        completion->Invoke(hr::S_OK, controller.get());
    });
    return hr::S_OK;
}

HRESULT Environment::CreateWebResourceResponse(const QByteArray& content, int statusCode,
                                               const QString& reasonPhrase, const QString&,
                                               ICoreWebView2WebResourceResponse** response) {
    if (!response)
        return hr::E_POINTER;
    auto created = makeCom<WebResourceResponse>();
    created->content = content;
    created->statusCode = statusCode;
    created->reasonPhrase = reasonPhrase;
    ComPtr<ICoreWebView2WebResourceResponse>(created).copyTo(response);
    return hr::S_OK;
}

HRESULT Environment::get_BrowserVersionString(QString* versionInfo) {
    if (!versionInfo)
        return hr::E_POINTER;
    *versionInfo = BrowserProcess::browserVersion();
    return hr::S_OK;
}

HRESULT Environment::CreatePrintSettings(ICoreWebView2PrintSettings** printSettings) {
    if (!printSettings)
        return hr::E_POINTER;
    ComPtr<ICoreWebView2PrintSettings>(makeCom<PrintSettings>()).copyTo(printSettings);
    return hr::S_OK;
}

HRESULT Environment::get_UserDataFolder(QString* value) {
    if (!value)
        return hr::E_POINTER;
    *value = m_profile->userDataFolder();
    return hr::S_OK;
}
