#pragma once

#include <QWebEngineUrlSchemeHandler>

// Receives the synchronous requests that pages send through
// window.chrome.webview and hands each to the bridge of the page that sent it.
// Pages from files use a local scheme (file content may only reach local
// schemes), all others a remote one.
class BridgeSchemeHandler : public QWebEngineUrlSchemeHandler {
    Q_OBJECT
public:
    static constexpr char remoteScheme[] = "kestwv2";
    static constexpr char localScheme[] = "kestwv2l";

    // Must run before the first profile of the process exists.
    static void registerSchemes();
    static bool isBridgeUrl(const QUrl& url);

    using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;
    void requestStarted(QWebEngineUrlRequestJob* job) override;
};
