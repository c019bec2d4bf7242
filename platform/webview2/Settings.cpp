#include "Settings.h"

#include <QWebEngineProfile>
#include <QWebEngineSettings>

namespace {

HRESULT readFlag(bool flag, bool* value) {
    if (!value)
        return hr::E_POINTER;
    *value = flag;
    return hr::S_OK;
}

HRESULT writeFlag(bool* flag, bool value) {
    *flag = value;
    return hr::S_OK;
}

} // namespace

Settings::Settings(QWebEngineView* view)
    : m_view(view) {
}

HRESULT Settings::readAttribute(QWebEngineSettings::WebAttribute attribute, bool* value) const {
    if (!m_view)
        return hr::ERROR_INVALID_STATE;
    return readFlag(m_view->page()->settings()->testAttribute(attribute), value);
}

HRESULT Settings::writeAttribute(QWebEngineSettings::WebAttribute attribute, bool value) {
    if (!m_view)
        return hr::ERROR_INVALID_STATE;
    m_view->page()->settings()->setAttribute(attribute, value);
    return hr::S_OK;
}

HRESULT Settings::get_IsScriptEnabled(bool* value) {
    return readAttribute(QWebEngineSettings::JavascriptEnabled, value);
}
HRESULT Settings::put_IsScriptEnabled(bool value) {
    return writeAttribute(QWebEngineSettings::JavascriptEnabled, value);
}
HRESULT Settings::get_IsWebMessageEnabled(bool* value) {
    return readFlag(m_webMessages, value);
}
HRESULT Settings::put_IsWebMessageEnabled(bool value) {
    return writeFlag(&m_webMessages, value);
}
HRESULT Settings::get_AreDefaultScriptDialogsEnabled(bool* value) {
    return readFlag(m_defaultScriptDialogs, value);
}
HRESULT Settings::put_AreDefaultScriptDialogsEnabled(bool value) {
    return writeFlag(&m_defaultScriptDialogs, value);
}
HRESULT Settings::get_IsStatusBarEnabled(bool* value) {
    return readFlag(m_statusBar, value);
}
HRESULT Settings::put_IsStatusBarEnabled(bool value) {
    return writeFlag(&m_statusBar, value);
}
HRESULT Settings::get_AreDevToolsEnabled(bool* value) {
    return readFlag(m_devTools, value);
}
HRESULT Settings::put_AreDevToolsEnabled(bool value) {
    return writeFlag(&m_devTools, value);
}

HRESULT Settings::get_AreDefaultContextMenusEnabled(bool* value) {
    if (!m_view)
        return hr::ERROR_INVALID_STATE;
    return readFlag(m_view->contextMenuPolicy() != Qt::NoContextMenu, value);
}

HRESULT Settings::put_AreDefaultContextMenusEnabled(bool value) {
    if (!m_view)
        return hr::ERROR_INVALID_STATE;
    m_view->setContextMenuPolicy(value ? Qt::DefaultContextMenu : Qt::NoContextMenu);
    return hr::S_OK;
}

HRESULT Settings::get_AreHostObjectsAllowed(bool* value) {
    return readFlag(m_hostObjects, value);
}
HRESULT Settings::put_AreHostObjectsAllowed(bool value) {
    return writeFlag(&m_hostObjects, value);
}
HRESULT Settings::get_IsZoomControlEnabled(bool* value) {
    return readFlag(m_zoomControl, value);
}
HRESULT Settings::put_IsZoomControlEnabled(bool value) {
    return writeFlag(&m_zoomControl, value);
}
HRESULT Settings::get_IsBuiltInErrorPageEnabled(bool* value) {
    return readAttribute(QWebEngineSettings::ErrorPageEnabled, value);
}
HRESULT Settings::put_IsBuiltInErrorPageEnabled(bool value) {
    return writeAttribute(QWebEngineSettings::ErrorPageEnabled, value);
}

HRESULT Settings::get_UserAgent(QString* userAgent) {
    if (!userAgent)
        return hr::E_POINTER;
    if (!m_view)
        return hr::ERROR_INVALID_STATE;
    *userAgent = m_view->page()->profile()->httpUserAgent();
    return hr::S_OK;
}

HRESULT Settings::put_UserAgent(const QString& userAgent) {
    if (!m_view)
        return hr::ERROR_INVALID_STATE;
    m_view->page()->profile()->setHttpUserAgent(userAgent);
    return hr::S_OK;
}

HRESULT Settings::get_AreBrowserAcceleratorKeysEnabled(bool* value) {
    return readFlag(m_acceleratorKeys, value);
}
HRESULT Settings::put_AreBrowserAcceleratorKeysEnabled(bool value) {
    return writeFlag(&m_acceleratorKeys, value);
}
