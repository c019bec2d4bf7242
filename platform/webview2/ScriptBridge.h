#pragma once

#include "platform/automation/Variant.h"

#include <QHash>
#include <QJsonValue>
#include <QObject>
#include <QPointer>

#include <functional>

class QWebEnginePage;
class QWebEngineUrlRequestJob;

// The page side of one view: window.chrome.webview in every top-level
// document (installed before the page's scripts), the synchronous host-object
// proxies, web messages both ways, and the page objects the host receives.
// Requests from the page arrive through BridgeSchemeHandler; host code runs
// from the event loop after the request callback has returned.
class ScriptBridge : public QObject {
    Q_OBJECT
public:
    struct Client {
        std::function<bool()> hostObjectsAllowed;
        std::function<bool()> webMessagesEnabled;
        std::function<void()> documentCreated;
        std::function<void()> domContentLoaded;
        std::function<void(const QString& json, bool isString)> webMessage;
    };

    ScriptBridge(QWebEnginePage* page, Client client);
    ~ScriptBridge() override;

    static ScriptBridge* forPageKey(const QString& key);

    void addHostObject(const QString& name, DispatchPtr object);
    bool removeHostObject(const QString& name);

    void handleRequest(QWebEngineUrlRequestJob* job);
    // Sends a web message (a JSON value) to the page's message listeners.
    void postMessage(const QJsonValue& data);
    Variant invokePageObject(const QString& document, int id, const QString& member, unsigned flags,
                             const QList<Variant>& args);

private:
    void installBootstrap();
    QJsonObject knownMethods() const;
    QString bootstrapScript() const;
    QJsonObject answer(const QJsonObject& request);
    QJsonObject callHostObject(const QJsonObject& request);
    Variant fromJson(const QJsonValue& value, int depth = 0);
    QJsonValue toJson(const Variant& value, int depth = 0);
    // Runs window.__kwv(request) in the page and waits for its JSON answer.
    QJsonObject runInPage(const QJsonObject& request);

    QPointer<QWebEnginePage> m_page;
    Client m_client;
    QString m_key;
    QHash<QString, DispatchPtr> m_hostObjects;
    int m_anonymousObjects = 0;
    // Requests being answered: the page's renderer is blocked in them.
    int m_blockedRequests = 0;
};
