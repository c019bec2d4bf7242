#pragma once

#include "WebView2.h"

#include <QPointer>
#include <QWebEngineSettings>
#include <QWebEngineView>

// A view's settings. Those Qt WebEngine has are applied to the page or the
// view at once; the others are read by the runtime where it implements them.
class Settings : public ComObject<ICoreWebView2Settings3> {
public:
    explicit Settings(QWebEngineView* view);

    bool webMessagesEnabled() const { return m_webMessages; }
    bool defaultScriptDialogs() const { return m_defaultScriptDialogs; }
    bool devToolsEnabled() const { return m_devTools; }
    bool hostObjectsAllowed() const { return m_hostObjects; }
    bool acceleratorKeysEnabled() const { return m_acceleratorKeys; }

    HRESULT get_IsScriptEnabled(bool* value) override;
    HRESULT put_IsScriptEnabled(bool value) override;
    HRESULT get_IsWebMessageEnabled(bool* value) override;
    HRESULT put_IsWebMessageEnabled(bool value) override;
    HRESULT get_AreDefaultScriptDialogsEnabled(bool* value) override;
    HRESULT put_AreDefaultScriptDialogsEnabled(bool value) override;
    HRESULT get_IsStatusBarEnabled(bool* value) override;
    HRESULT put_IsStatusBarEnabled(bool value) override;
    HRESULT get_AreDevToolsEnabled(bool* value) override;
    HRESULT put_AreDevToolsEnabled(bool value) override;
    HRESULT get_AreDefaultContextMenusEnabled(bool* value) override;
    HRESULT put_AreDefaultContextMenusEnabled(bool value) override;
    HRESULT get_AreHostObjectsAllowed(bool* value) override;
    HRESULT put_AreHostObjectsAllowed(bool value) override;
    HRESULT get_IsZoomControlEnabled(bool* value) override;
    HRESULT put_IsZoomControlEnabled(bool value) override;
    HRESULT get_IsBuiltInErrorPageEnabled(bool* value) override;
    HRESULT put_IsBuiltInErrorPageEnabled(bool value) override;
    HRESULT get_UserAgent(QString* userAgent) override;
    HRESULT put_UserAgent(const QString& userAgent) override;
    HRESULT get_AreBrowserAcceleratorKeysEnabled(bool* value) override;
    HRESULT put_AreBrowserAcceleratorKeysEnabled(bool value) override;

private:
    HRESULT readAttribute(QWebEngineSettings::WebAttribute attribute, bool* value) const;
    HRESULT writeAttribute(QWebEngineSettings::WebAttribute attribute, bool value);

    QPointer<QWebEngineView> m_view;
    bool m_webMessages = true;
    bool m_defaultScriptDialogs = true;
    bool m_statusBar = true;
    bool m_devTools = true;
    bool m_hostObjects = true;
    bool m_zoomControl = true;
    bool m_acceleratorKeys = true;
};
