#pragma once

#include "WebView2.h"

#include <memory>

class ProfileContext;

// An environment: the profile of its user data folder, from which it makes
// controllers.
class Environment : public ComObject<ICoreWebView2Environment7> {
public:
    explicit Environment(std::shared_ptr<ProfileContext> profile);

    HRESULT CreateCoreWebView2Controller(
        QWidget* parentWindow,
        ICoreWebView2CreateCoreWebView2ControllerCompletedHandler* handler) override;
    HRESULT CreateWebResourceResponse(const QByteArray& content, int statusCode,
                                      const QString& reasonPhrase, const QString& headers,
                                      ICoreWebView2WebResourceResponse** response) override;
    HRESULT get_BrowserVersionString(QString* versionInfo) override;
    HRESULT CreatePrintSettings(ICoreWebView2PrintSettings** printSettings) override;
    HRESULT get_UserDataFolder(QString* value) override;

private:
    std::shared_ptr<ProfileContext> m_profile;
};
