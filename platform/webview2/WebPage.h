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

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    void javaScriptAlert(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptConfirm(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptPrompt(const QUrl& securityOrigin, const QString& msg,
                          const QString& defaultValue, QString* result) override;

private:
    CoreWebView2* m_owner;
};
