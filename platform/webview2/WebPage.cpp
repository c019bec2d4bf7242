#include "WebPage.h"

#include "CoreWebView2.h"

#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>

WebPage::WebPage(QWebEngineProfile* profile, QObject* parent, CoreWebView2* owner)
    : QWebEnginePage(profile, parent)
    , m_owner(owner) {
}

namespace {

// Reloads of one document that missed its scripts; past this the page stays as it is.
constexpr int maxScriptReloads = 2;

} // namespace

void WebPage::rendererLost() {
    m_rendererLost = true;
    m_scriptReloads = 0;
}

void WebPage::documentAnnounced() {
    m_rendererLost = false;
}

bool WebPage::reloadIfScriptsMissed() {
    if (!m_rendererLost || scripts().isEmpty() ||
        !settings()->testAttribute(QWebEngineSettings::JavascriptEnabled))
        return false;
    if (m_scriptReloads >= maxScriptReloads) {
        m_rendererLost = false;
        return false;
    }
    ++m_scriptReloads;
    const QList<QWebEngineScript> installed = scripts().toList();
    scripts().clear();
    for (const QWebEngineScript& script : installed)
        scripts().insert(script);
    triggerAction(QWebEnginePage::Reload);
    return true;
}

bool WebPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) {
    if (!m_owner || !isMainFrame)
        return true;
    return m_owner->navigationRequested(url, type);
}

void WebPage::javaScriptAlert(const QUrl& securityOrigin, const QString& msg) {
    if (!m_owner || m_owner->defaultScriptDialogs()) {
        QWebEnginePage::javaScriptAlert(securityOrigin, msg);
        return;
    }
    QString ignored;
    m_owner->scriptDialog(COREWEBVIEW2_SCRIPT_DIALOG_KIND_ALERT, securityOrigin, msg, {}, &ignored);
}

bool WebPage::javaScriptConfirm(const QUrl& securityOrigin, const QString& msg) {
    if (!m_owner || m_owner->defaultScriptDialogs())
        return QWebEnginePage::javaScriptConfirm(securityOrigin, msg);
    QString ignored;
    return m_owner->scriptDialog(COREWEBVIEW2_SCRIPT_DIALOG_KIND_CONFIRM, securityOrigin, msg, {},
                                 &ignored);
}

bool WebPage::javaScriptPrompt(const QUrl& securityOrigin, const QString& msg,
                               const QString& defaultValue, QString* result) {
    if (!m_owner || m_owner->defaultScriptDialogs())
        return QWebEnginePage::javaScriptPrompt(securityOrigin, msg, defaultValue, result);
    return m_owner->scriptDialog(COREWEBVIEW2_SCRIPT_DIALOG_KIND_PROMPT, securityOrigin, msg,
                                 defaultValue, result);
}
