#include "ScriptBridge.h"

#include "BridgeSchemeHandler.h"
#include "PageObject.h"
#include "ScriptText.h"
#include "StringDocuments.h"

#include "platform/MessagePump.h"
#include "platform/automation/AutomationError.h"
#include "platform/automation/Dispatch.h"

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTimer>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineUrlRequestJob>

#include <cmath>
#include <limits>

namespace {

using scripttext::jsonLiteral;

constexpr auto pageCallTimeout = std::chrono::seconds(8);
// Nesting of arrays the bridge converts; deeper values are refused.
constexpr int maxDepth = 64;
constexpr HRESULT RPC_E_CANTCALLOUT_ININPUTSYNCCALL = static_cast<HRESULT>(0x8001010D);
constexpr HRESULT ERROR_TIMEOUT = static_cast<HRESULT>(0x800705B4);

QHash<QString, ScriptBridge*>& bridges() {
    static QHash<QString, ScriptBridge*> registry;
    return registry;
}

QString randomKey() {
    QString key;
    for (int i = 0; i < 4; ++i)
        key += QString::number(QRandomGenerator::system()->generate(), 16).rightJustified(8, '0');
    return key;
}

// The page side. Requests go out as synchronous XMLHttpRequests, so a host
// call returns its value to the page in call order. Each costs a round trip
// through the browser, so the methods of the host objects known when the
// document is created are listed in the script: calling one needs no request
// asking what the member is. The page's own objects
// stay in a per-document registry that the host reaches through window.__kwv,
// stamped with a random document nonce so that a newer document never answers
// for an older one.
constexpr char bootstrapTemplate[] = R"JS((function () {
'use strict';
var pageKey = %1;
var scheme = location.protocol === 'file:' ? '%2' : '%3';
var doc = (function () { var a = new Uint32Array(4); crypto.getRandomValues(a); return Array.prototype.join.call(a, '-'); })();
var objects = new Map(), objectIds = new WeakMap(), nextId = 1;
var hostName = Symbol('hostName'), methods = Object.assign(Object.create(null), %4), listeners = [];
function send(request) {
  var xhr = new XMLHttpRequest();
  xhr.open('GET', scheme + ':' + pageKey + '?' + encodeURIComponent(JSON.stringify(request)), false);
  xhr.send();
  var reply = JSON.parse(xhr.responseText);
  if (reply.error !== undefined) throw new Error(reply.error);
  return reply;
}
function encode(value) {
  if (value === undefined || value === null) return null;
  var type = typeof value;
  if (type === 'boolean' || type === 'string') return value;
  if (type === 'number') return isFinite(value) ? value : null;
  if (type === 'bigint') return Number(value);
  if (type === 'symbol') return null;
  var name; try { name = value[hostName]; } catch (e) {}
  if (name !== undefined) return { $host: name };
  if (Array.isArray(value)) return value.map(encode);
  var id = objectIds.get(value);
  if (id === undefined) { id = nextId++; objectIds.set(value, id); objects.set(id, value); }
  return { $obj: id, doc: doc };
}
function decode(value) {
  if (Array.isArray(value)) return value.map(decode);
  if (value === null || typeof value !== 'object') return value;
  if (value.$host !== undefined) return hostProxy(value.$host);
  if (value.$obj !== undefined && value.doc === doc) return objects.get(value.$obj);
  return undefined;
}
function call(name, member, args) {
  return decode(send({ op: 'call', name: name, member: member, args: Array.prototype.map.call(args, encode) }).value);
}
function hostProxy(name) {
  return new Proxy(function () {}, {
    get: function (target, member) {
      if (member === hostName) return name;
      if (typeof member !== 'string' || member === 'then' || member === 'toJSON') return undefined;
      var key = name + '\n' + member;
      if (!methods[key]) {
        var reply = send({ op: 'get', name: name, member: member });
        if (!reply.method) return decode(reply.value);
        methods[key] = true;
      }
      return function () { return call(name, member, arguments); };
    },
    set: function (target, member, value) {
      send({ op: 'set', name: name, member: String(member), value: encode(value) });
      return true;
    },
    apply: function (target, self, args) { return call(name, '', args); }
  });
}
function invoke(r) {
  if (r.doc !== doc || !objects.has(r.id)) return { stale: true };
  var target = objects.get(r.id);
  try {
    var args = r.args.map(decode), value;
    if (r.flags & 12) { target[r.member] = args[args.length - 1]; }
    else if (r.member === '') { value = (typeof target === 'function' && (r.flags & 1)) ? target.apply(undefined, args) : target; }
    else if ((r.flags & 1) && typeof target[r.member] === 'function') { value = target[r.member].apply(target, args); }
    else { value = target[r.member]; }
    return { value: encode(value) };
  } catch (e) { return { error: String(e && e.message !== undefined ? e.message : e) }; }
}
var webview = {
  postMessage: function (message) {
    var json = JSON.stringify(message);
    if (json === undefined) throw new TypeError('The message cannot be serialized');
    send({ op: 'msg', json: json, isString: typeof message === 'string' });
  },
  addEventListener: function (type, listener) {
    if (type === 'message' && typeof listener === 'function' && listeners.indexOf(listener) < 0) listeners.push(listener);
  },
  removeEventListener: function (type, listener) {
    var i = listeners.indexOf(listener);
    if (type === 'message' && i >= 0) listeners.splice(i, 1);
  },
  hostObjects: {
    sync: new Proxy({}, { get: function (target, name) {
      return (typeof name === 'string' && name !== 'then') ? hostProxy(name) : undefined; } })
  }
};
function deliver(r) {
  var event = { type: 'message', data: r.data, source: webview };
  listeners.slice().forEach(function (listener) { try { listener.call(webview, event); } catch (e) { setTimeout(function () { throw e; }); } });
  return {};
}
Object.defineProperty(window, '__kwv', { value: function (json) {
  var r = JSON.parse(json);
  return JSON.stringify(r.op === 'invoke' ? invoke(r) : deliver(r));
} });
if (!window.chrome) window.chrome = {};
Object.defineProperty(window.chrome, 'webview', { value: webview, enumerable: true });
try { send({ op: 'hello' }); } catch (e) {}
document.addEventListener('DOMContentLoaded', function () { try { send({ op: 'dom' }); } catch (e) {} });
})();)JS";

QJsonObject errorAnswer(const QString& text) {
    return QJsonObject{{QStringLiteral("error"), text}};
}

} // namespace

ScriptBridge::ScriptBridge(QWebEnginePage* page, Client client)
    : QObject(page)
    , m_page(page)
    , m_client(std::move(client))
    , m_key(QString::number(reinterpret_cast<quintptr>(this), 16) + QLatin1Char('.') +
            randomKey()) {
    bridges().insert(m_key, this);
    installBootstrap();
}

// Replaces the script that later documents start with. It stays the first
// one: the scripts added for the page after it use window.chrome.webview.
void ScriptBridge::installBootstrap() {
    if (!m_page)
        return;
    const QString name = QStringLiteral("chrome.webview");
    QList<QWebEngineScript> others = m_page->scripts().toList();
    others.removeIf([&name](const QWebEngineScript& script) { return script.name() == name; });
    QWebEngineScript script;
    script.setName(name);
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(QWebEngineScript::MainWorld);
    script.setRunsOnSubFrames(false);
    script.setSourceCode(StringDocuments::excludingBlank(bootstrapScript()));
    m_page->scripts().clear();
    m_page->scripts().insert(script);
    m_page->scripts().insert(others);
}

// The members of the host objects that a page property access finds to be
// methods ("get" answers {method: true}), keyed as the page caches them.
QJsonObject ScriptBridge::knownMethods() const {
    QJsonObject known;
    for (auto it = m_hostObjects.cbegin(); it != m_hostObjects.cend(); ++it) {
        const TypeInfo* info = it.value() ? it.value()->typeInfo() : nullptr;
        if (!info || it.key().startsWith(QLatin1Char('$')))
            continue;
        for (const MemberInfo& member : info->members) {
            const DispId id = it.value()->idOfName(member.name);
            if (id == member.id && info->findMember(id, InvokeFlags::Method) &&
                !info->findMember(id, InvokeFlags::PropertyGet))
                known.insert(it.key() + QLatin1Char('\n') + member.name, true);
        }
    }
    return known;
}

ScriptBridge::~ScriptBridge() {
    bridges().remove(m_key);
}

ScriptBridge* ScriptBridge::forPageKey(const QString& key) {
    return bridges().value(key);
}

QString ScriptBridge::bootstrapScript() const {
    return QString::fromLatin1(bootstrapTemplate)
        .arg(jsonLiteral(m_key), QLatin1String(BridgeSchemeHandler::localScheme),
             QLatin1String(BridgeSchemeHandler::remoteScheme),
             QString::fromUtf8(QJsonDocument(knownMethods()).toJson(QJsonDocument::Compact)));
}

void ScriptBridge::addHostObject(const QString& name, DispatchPtr object) {
    m_hostObjects.insert(name, std::move(object));
    installBootstrap();
}

bool ScriptBridge::removeHostObject(const QString& name) {
    if (m_hostObjects.remove(name) == 0)
        return false;
    installBootstrap();
    return true;
}

void ScriptBridge::handleRequest(QWebEngineUrlRequestJob* job) {
    const QJsonDocument document =
        QJsonDocument::fromJson(job->requestUrl().query(QUrl::FullyDecoded).toUtf8());
    const QJsonObject request = document.object();
    ++m_blockedRequests;
    // Host code may pump or wait: run it from the event loop, not inside the engine's callback.
    QTimer::singleShot(0, this, [this, job = QPointer<QWebEngineUrlRequestJob>(job), request] {
        const QJsonObject reply = answer(request);
        --m_blockedRequests;
        if (!job)
            return;
        auto* body = new QBuffer(job);
        body->setData(QJsonDocument(reply).toJson(QJsonDocument::Compact));
        body->open(QIODevice::ReadOnly);
        job->reply("application/json", body);
        const QString op = request.value(QStringLiteral("op")).toString();
        // Notifications are raised once the page runs again, so their handlers may call into it.
        if (op == QLatin1String("hello") && m_client.documentCreated)
            QTimer::singleShot(0, this, [this] { m_client.documentCreated(); });
        else if (op == QLatin1String("dom") && m_client.domContentLoaded)
            QTimer::singleShot(0, this, [this] { m_client.domContentLoaded(); });
        else if (op == QLatin1String("msg") && !reply.contains(QStringLiteral("error")))
            QTimer::singleShot(0, this, [this, request] {
                m_client.webMessage(request.value(QStringLiteral("json")).toString(),
                                    request.value(QStringLiteral("isString")).toBool());
            });
    });
}

QJsonObject ScriptBridge::answer(const QJsonObject& request) {
    const QString op = request.value(QStringLiteral("op")).toString();
    if (op == QLatin1String("hello")) {
        m_hostObjects.removeIf([](auto it) { return it.key().startsWith(QLatin1Char('$')); });
        return {};
    }
    if (op == QLatin1String("dom"))
        return {};
    if (op == QLatin1String("msg")) {
        if (!m_client.webMessagesEnabled() || !request.value(QStringLiteral("json")).isString())
            return errorAnswer(QStringLiteral("Web messages are disabled"));
        return {};
    }
    if (!m_client.hostObjectsAllowed())
        return errorAnswer(QStringLiteral("Host objects are not allowed"));
    try {
        return callHostObject(request);
    } catch (const AutomationError& error) {
        return errorAnswer(error.description().isEmpty() ? QString::fromUtf8(error.what())
                                                         : error.description());
    } catch (const std::exception& error) {
        return errorAnswer(QString::fromUtf8(error.what()));
    }
}

QJsonObject ScriptBridge::callHostObject(const QJsonObject& request) {
    const QString op = request.value(QStringLiteral("op")).toString();
    const QString name = request.value(QStringLiteral("name")).toString();
    const QString memberName = request.value(QStringLiteral("member")).toString();
    const DispatchPtr object = m_hostObjects.value(name);
    if (!object)
        return errorAnswer(QStringLiteral("No host object named '%1'").arg(name));
    const DispId id = memberName.isEmpty() ? dispid::Value : object->idOfName(memberName);
    if (id == dispid::Unknown)
        throw AutomationError::standard(vberr::NotSupported);

    QList<Variant> args;
    if (op == QLatin1String("get")) {
        const TypeInfo* info = object->typeInfo();
        if (info && info->findMember(id, InvokeFlags::Method) &&
            !info->findMember(id, InvokeFlags::PropertyGet))
            return QJsonObject{{QStringLiteral("method"), true}};
        return QJsonObject{
            {QStringLiteral("value"), toJson(object->invoke(id, InvokeFlags::PropertyGet, args))}};
    }
    if (op == QLatin1String("set")) {
        args.append(fromJson(request.value(QStringLiteral("value"))));
        object->invoke(id, InvokeFlags::PropertyPut, args);
        return {};
    }
    if (op != QLatin1String("call"))
        return errorAnswer(QStringLiteral("Unknown request"));
    for (const QJsonValue& arg : request.value(QStringLiteral("args")).toArray())
        args.append(fromJson(arg));
    const Variant result = object->invoke(id, InvokeFlags::Method | InvokeFlags::PropertyGet, args);
    return QJsonObject{{QStringLiteral("value"), toJson(result)}};
}

Variant ScriptBridge::fromJson(const QJsonValue& value, int depth) {
    if (depth > maxDepth)
        throw AutomationError::standard(vberr::TypeMismatch);
    switch (value.type()) {
    case QJsonValue::Bool:
        return Variant(value.toBool());
    case QJsonValue::Double: {
        const double number = value.toDouble();
        if (std::trunc(number) == number && std::abs(number) <= std::numeric_limits<int>::max())
            return Variant(static_cast<std::int32_t>(number));
        return Variant(number);
    }
    case QJsonValue::String:
        return Variant(value.toString());
    case QJsonValue::Array: {
        VariantArray array;
        for (const QJsonValue& item : value.toArray())
            array.items.append(fromJson(item, depth + 1));
        return Variant(std::move(array));
    }
    case QJsonValue::Object: {
        const QJsonObject object = value.toObject();
        if (object.contains(QStringLiteral("$host")))
            return Variant(m_hostObjects.value(object.value(QStringLiteral("$host")).toString()));
        const int id = object.value(QStringLiteral("$obj")).toInt();
        if (id <= 0)
            return Variant::null();
        return Variant(DispatchPtr(std::make_shared<PageObject>(
            this, object.value(QStringLiteral("doc")).toString(), id)));
    }
    default:
        return Variant::null();
    }
}

QJsonValue ScriptBridge::toJson(const Variant& value, int depth) {
    if (depth > maxDepth)
        throw AutomationError::standard(vberr::TypeMismatch);
    if (value.isEmpty() || value.isNull() || value.isError())
        return QJsonValue::Null;
    if (value.isArray()) {
        QJsonArray array;
        for (const Variant& item : value.toArray().items)
            array.append(toJson(item, depth + 1));
        return array;
    }
    if (value.isObject()) {
        const DispatchPtr object = value.toObject();
        if (!object)
            return QJsonValue::Null;
        if (auto* page = dynamic_cast<PageObject*>(object.get()); page && page->bridge() == this)
            return QJsonObject{{QStringLiteral("$obj"), page->id()},
                               {QStringLiteral("doc"), page->document()}};
        for (auto it = m_hostObjects.cbegin(); it != m_hostObjects.cend(); ++it) {
            if (it.value() == object)
                return QJsonObject{{QStringLiteral("$host"), it.key()}};
        }
        const QString name = QStringLiteral("$%1").arg(++m_anonymousObjects);
        m_hostObjects.insert(name, object);
        return QJsonObject{{QStringLiteral("$host"), name}};
    }
    switch (value.type()) {
    case VarType::Boolean:
        return value.toBool();
    case VarType::String:
        return value.toString();
    case VarType::Date:
        return value.toDate().toDateTime().toString(Qt::ISODate);
    default:
        return value.toDouble();
    }
}

void ScriptBridge::postMessage(const QJsonValue& data) {
    if (!m_page)
        return;
    const QJsonObject request{{QStringLiteral("op"), QStringLiteral("deliver")},
                              {QStringLiteral("data"), data}};
    const QString json = QString::fromUtf8(QJsonDocument(request).toJson(QJsonDocument::Compact));
    m_page->runJavaScript(QStringLiteral("typeof window.__kwv === 'function' && window.__kwv(%1);")
                              .arg(jsonLiteral(json)),
                          QWebEngineScript::MainWorld);
}

QJsonObject ScriptBridge::runInPage(const QJsonObject& request) {
    struct Answer {
        bool done = false;
        QString json;
    };
    auto answer = std::make_shared<Answer>();
    const QString json = QString::fromUtf8(QJsonDocument(request).toJson(QJsonDocument::Compact));
    m_page->runJavaScript(
        QStringLiteral("typeof window.__kwv === 'function' ? window.__kwv(%1) : undefined")
            .arg(jsonLiteral(json)),
        QWebEngineScript::MainWorld, [answer](const QVariant& result) {
            answer->done = true;
            answer->json = result.toString();
        });
    if (!pump::waitUntil([&] { return answer->done || !m_page; }, pageCallTimeout, true))
        throw AutomationError::fromHResult(ERROR_TIMEOUT,
                                           QStringLiteral("The page did not answer in time"));
    return QJsonDocument::fromJson(answer->json.toUtf8()).object();
}

Variant ScriptBridge::invokePageObject(const QString& document, int id, const QString& member,
                                       unsigned flags, const QList<Variant>& args) {
    if (!m_page)
        throw AutomationError::fromHResult(hr::ERROR_INVALID_STATE,
                                           QStringLiteral("The page of this object is gone"));
    // A page waiting for its own host call cannot run script until that call returns.
    if (m_blockedRequests > 0)
        throw AutomationError::fromHResult(RPC_E_CANTCALLOUT_ININPUTSYNCCALL,
                                           QStringLiteral("The page is waiting for the host"));
    QJsonArray jsonArgs;
    for (const Variant& arg : args)
        jsonArgs.append(toJson(arg));
    const QJsonObject reply = runInPage({{QStringLiteral("op"), QStringLiteral("invoke")},
                                         {QStringLiteral("doc"), document},
                                         {QStringLiteral("id"), id},
                                         {QStringLiteral("member"), member},
                                         {QStringLiteral("flags"), static_cast<int>(flags)},
                                         {QStringLiteral("args"), jsonArgs}});
    if (reply.isEmpty() || reply.contains(QStringLiteral("stale")))
        throw AutomationError::fromHResult(hr::ERROR_INVALID_STATE,
                                           QStringLiteral("The document of this object is gone"));
    if (reply.contains(QStringLiteral("error")))
        throw AutomationError::fromHResult(hr::DISP_E_EXCEPTION,
                                           reply.value(QStringLiteral("error")).toString());
    return fromJson(reply.value(QStringLiteral("value")));
}
