#include "WebPage.h"

#include "CoreWebView2.h"

WebPage::WebPage(QWebEngineProfile* profile, QObject* parent, CoreWebView2* owner)
    : QWebEnginePage(profile, parent)
    , m_owner(owner) {
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
