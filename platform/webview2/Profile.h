#pragma once

#include "WebView2.h"

#include <QPointer>

#include <memory>

class ProfileContext;
class QObject;

class Profile : public ComObject<ICoreWebView2Profile2> {
public:
    Profile(std::shared_ptr<ProfileContext> profile, QObject* context);

    HRESULT get_ProfileName(QString* value) override;
    HRESULT get_IsInPrivateModeEnabled(bool* value) override;
    HRESULT get_ProfilePath(QString* value) override;
    HRESULT get_DefaultDownloadFolderPath(QString* value) override;
    HRESULT put_DefaultDownloadFolderPath(const QString& value) override;
    HRESULT get_PreferredColorScheme(COREWEBVIEW2_PREFERRED_COLOR_SCHEME* value) override;
    HRESULT put_PreferredColorScheme(COREWEBVIEW2_PREFERRED_COLOR_SCHEME value) override;
    HRESULT ClearBrowsingData(COREWEBVIEW2_BROWSING_DATA_KINDS dataKinds,
                              ICoreWebView2ClearBrowsingDataCompletedHandler* handler) override;
    HRESULT ClearBrowsingDataAll(ICoreWebView2ClearBrowsingDataCompletedHandler* handler) override;

private:
    std::shared_ptr<ProfileContext> m_profile;
    QPointer<QObject> m_context;
};
