#include "BridgeSchemeHandler.h"

#include "ScriptBridge.h"

#include <QUrl>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>

void BridgeSchemeHandler::registerSchemes() {
    const auto registerOne = [](const char* name, QWebEngineUrlScheme::Flags extra) {
        QWebEngineUrlScheme scheme(name);
        scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
        // The host-object channel is the runtime's own, not the page's: a page's
        // Content-Security-Policy must not cut it, as it cannot cut WebView2's.
        scheme.setFlags(QWebEngineUrlScheme::CorsEnabled | QWebEngineUrlScheme::SecureScheme |
                        QWebEngineUrlScheme::ContentSecurityPolicyIgnored | extra);
        QWebEngineUrlScheme::registerScheme(scheme);
    };
    registerOne(remoteScheme, {});
    registerOne(localScheme,
                QWebEngineUrlScheme::LocalScheme | QWebEngineUrlScheme::LocalAccessAllowed);
}

bool BridgeSchemeHandler::isBridgeUrl(const QUrl& url) {
    const QString scheme = url.scheme();
    return scheme == QLatin1String(remoteScheme) || scheme == QLatin1String(localScheme);
}

void BridgeSchemeHandler::requestStarted(QWebEngineUrlRequestJob* job) {
    ScriptBridge* bridge = ScriptBridge::forPageKey(job->requestUrl().path());
    if (!bridge || job->requestMethod() != "GET") {
        job->fail(QWebEngineUrlRequestJob::RequestDenied);
        return;
    }
    bridge->handleRequest(job);
}
