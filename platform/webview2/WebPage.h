#pragma once

#include <QWebEnginePage>

class CoreWebView2;

// The page of one view: forwards the engine's virtual callbacks (navigation
// requests and JavaScript dialogs) to its core webview while that is open.
class WebPage : public QWebEnginePage {
public:
    WebPage(QWebEngineProfile* profile, QObject* parent, CoreWebView2* owner);

    CoreWebView2* owner() const { return m_owner; }
    void detach() { m_owner = nullptr; }

    // After a renderer crash the engine may commit the next document in the
    // new renderer before the page's scripts have reached it: that document
    // runs without them (no window.chrome.webview, no host objects). Such a
    // load is reloaded, with the scripts handed to the engine afresh.
    void rendererLost();
    void documentAnnounced();
    // Called when a load finished without its document announcing itself:
    // true when the load missed the scripts and a reload has started.
    bool reloadIfScriptsMissed();

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    void javaScriptAlert(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptConfirm(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptPrompt(const QUrl& securityOrigin, const QString& msg,
                          const QString& defaultValue, QString* result) override;

private:
    CoreWebView2* m_owner;
    bool m_rendererLost = false;
    int m_scriptReloads = 0;
};
