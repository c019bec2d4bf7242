#include "cWebView2.h"

#include "cWebView2Private.h"
#include "cWebView2Scripts.h"

#include "Collection.h"
#include "JsonCodec.h"

#include "platform/automation/AutomationError.h"

#include <QStringList>

using namespace bindingdetail;

namespace {

// Joined with CRLF, as the runtime receives them.
template <size_t N> QString joinLines(const char* const (&lines)[N]) {
    QStringList parts;
    for (const char* line : lines)
        parts.append(QString::fromLatin1(line));
    return parts.join(QStringLiteral("\r\n"));
}

} // namespace

QString bindingscripts::hostAccessorScript() {
    static const char* const lines[] = {
        "var vbH_; function vbH() { return vbH_ || (vbH_ = "
        "chrome.webview.hostObjects.sync.vbHost); }",
        "window.addEventListener('contextmenu', function(e) { "
        "vbH().RaiseContextMenuEvent(e.screenX, e.screenY); });",
    };
    return joinLines(lines);
}

QString bindingscripts::bridgeScript() {
    static const char* const lines[] = {
        "(function() {",
        "function _walk(path) { var ctx = window, ns = path.split('.'), name = ns.pop(); for (var "
        "i = 0; i < ns.length; i++) { ctx = ctx[ns[i]]; } return [ctx, name]; }",
        "function _run(funcName, token) { var eMsg = '', res = null, args = "
        "Array.prototype.slice.call(arguments, 2);",
        "  try { var w = _walk(funcName); res = w[0][w[1]].apply(w[0], args); } catch(e) { eMsg = "
        "'Err in ' + funcName + '(): ' + e.message; }",
        "  try { vbH().RaiseResultEvent(res, token, eMsg); } catch(e) {} }",
        "function _cbn(obj, callType, methodName, token) { var eMsg = '', res = null;",
        "  try { switch (callType) {",
        "  case 1: res = obj[methodName].apply(obj, Array.prototype.slice.call(arguments, 4)); "
        "break;",
        "  case 2: res = obj[methodName]; break;",
        "  case 4: case 8: res = obj[methodName] = arguments[4]; break;",
        "  } } catch(e) { eMsg = 'Err in ' + methodName + '(): ' + e.message; }",
        "  try { vbH().RaiseResultEvent(res, token, eMsg); } catch(e) {} }",
        "function _propGet(propName, token) { var eMsg = '', res = null;",
        "  try { var w = _walk(propName); res = w[0][w[1]]; } catch(e) { eMsg = 'Err in ' + "
        "propName + '-Get: ' + e.message; }",
        "  try { vbH().RaiseResultEvent(res, token, eMsg); } catch(e) {} }",
        "function _propLet(propName, RHS, token) { var eMsg = '', res = true;",
        "  try { var w = _walk(propName); w[0][w[1]] = RHS; } catch(e) { eMsg = 'Err in ' + "
        "propName + '-Let: ' + e.message; }",
        "  try { vbH().RaiseResultEvent(res, token, eMsg); } catch(e) {} }",
        "try { vbH().SetFuncObj({ run: _run, cbn: _cbn, propGet: _propGet, propLet: _propLet }); } "
        "catch(e) {}",
        "})();",
    };
    return joinLines(lines);
}

// ---------------------------------------------------------------- scripts

void cWebView2::ExecuteScript(const QString& jsCode) {
    if (!d->core)
        return;
    const HRESULT result = d->core->ExecuteScript(jsCode, nullptr);
    if (hr::failed(result))
        pvReport(QStringLiteral("ExecuteScript"), QStringLiteral("Error &H%1").arg(hexOf(result)));
}

void cWebView2::AddScriptToExecuteOnDocumentCreated(const QString& jsCode) {
    if (!d->core)
        return;
    const HRESULT result = d->core->AddScriptToExecuteOnDocumentCreated(jsCode, nullptr);
    if (hr::failed(result))
        pvReport(QStringLiteral("AddScriptToExecuteOnDocumentCreated"),
                 QStringLiteral("Error &H%1").arg(hexOf(result)));
}

ComPtr<ICoreWebView2ExecuteScriptCompletedHandler> cWebView2::pvScriptHandler(Currency token) {
    return pvNewCallback(token)->completion<ICoreWebView2ExecuteScriptCompletedHandler>(
        [token](cWebView2& o, HRESULT result, const QString& json) {
            o.OnExecuteScriptCompleted(result, json, token);
            return hr::S_OK;
        });
}

bool cWebView2::pvExecScriptSync(const QString& script, Variant& result) {
    d->lastError.clear();
    try {
        if (!d->core)
            throw AutomationError::fromHResult(hr::ERROR_INVALID_STATE,
                                               QStringLiteral("The browser is not ready"));
        const Currency token = pvNewToken();
        const HRESULT started = d->core->ExecuteScript(script, pvScriptHandler(token).get());
        if (hr::failed(started))
            throw AutomationError::fromHResult(started);
        if (d->timeoutSeconds <= 0)
            return true;
        const auto record = pvWaitForRecord(token, d->timeoutSeconds);
        if (!record) {
            d->lastError = QStringLiteral("Timeout waiting for script result");
            return false;
        }
        if (hr::failed(record->result)) {
            d->lastError = QStringLiteral("Error &H%1 executing script").arg(hexOf(record->result));
            return false;
        }
        result = json::parse(record->value.toString());
        return true;
    } catch (const AutomationError& error) {
        d->lastError = error.description();
        pvReport(QStringLiteral("pvExecScriptSync"), error.description());
        return false;
    }
}

bool cWebView2::pvBridgeInvoke(const QString& member, const QList<Variant>& leading,
                               const QList<Variant>& trailing, Variant& result) {
    if (!d->bridge)
        return false;
    d->lastError.clear();
    const Currency token = pvNewToken();
    QList<Variant> args = leading;
    args.append(Variant(token.toDouble()));
    args.append(trailing);
    const QString pendingKey = tokenKey(token, 'P');
    d->pending.insert(pendingKey, {});
    try {
        const DispatchPtr bridge = d->bridge;
        bridge->invokeByName(member, InvokeFlags::Method, args);
    } catch (const AutomationError& error) {
        d->lastError = QStringLiteral("Error &H%1 invoking JS bridge (stale JS context)")
                           .arg(hexOf(error.hresult()));
        d->bridge.reset();
        d->pending.remove(pendingKey);
        return false;
    }
    const auto record = [&]() -> std::optional<Record> {
        if (!pvPumpUntilKey(tokenKey(token, 'T'), d->timeoutSeconds))
            return std::nullopt;
        return d->pending.take(tokenKey(token, 'T'));
    }();
    d->pending.remove(pendingKey);
    if (!record) {
        d->lastError = QStringLiteral("Timeout waiting for JS bridge result");
        return false;
    }
    if (!record->error.isEmpty())
        d->lastError = record->error;
    else
        result = record->value;
    return true;
}

QString cWebView2::pvBuildCallScript(const QString& name, const QList<Variant>& args) {
    QStringList encoded;
    for (const Variant& arg : args)
        encoded.append(json::encode(arg));
    return name + QLatin1Char('(') + encoded.join(QLatin1Char(',')) + QLatin1Char(')');
}

bool cWebView2::pvIsScriptPath(const QString& path) {
    if (path.isEmpty())
        return false;
    return std::all_of(path.begin(), path.end(), [](QChar c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '$' || c == '.' || c == '_';
    });
}

// A call of the global eval with one text runs that text as the script itself:
// the result is the same, and a page whose policy refuses script built from
// text still runs what its host hands it.
std::optional<QString> cWebView2::pvEvalText(const QString& name, const QList<Variant>& args) {
    if (name != QLatin1String("eval") || args.size() != 1 || !args[0].isString())
        return std::nullopt;
    return args[0].toString();
}

Variant cWebView2::jsRun(const QString& funcName, const QList<Variant>& args) {
    Variant result;
    if (const std::optional<QString> text = pvEvalText(funcName, args)) {
        pvExecScriptSync(*text, result);
        return result;
    }
    if (pvBridgeInvoke(QStringLiteral("run"), {Variant(funcName)}, args, result))
        return result;
    result = Variant();
    pvExecScriptSync(pvBuildCallScript(funcName, args), result);
    return result;
}

Currency cWebView2::jsRunAsync(const QString& funcName, const QList<Variant>& args) {
    const Currency token = pvNewToken();
    if (!d->core)
        return token;
    try {
        const QString script =
            pvEvalText(funcName, args).value_or(pvBuildCallScript(funcName, args));
        const HRESULT started = d->core->ExecuteScript(script, pvScriptHandler(token).get());
        if (hr::failed(started))
            throw AutomationError::fromHResult(started);
        d->pending.insert(tokenKey(token, 'A'), {});
    } catch (const AutomationError& error) {
        pvReport(QStringLiteral("jsRunAsync"), error.description());
    }
    return token;
}

Variant cWebView2::jsCallByName(const Variant& obj, const QString& methodName, int callType,
                                const QList<Variant>& args) {
    Variant result;
    pvBridgeInvoke(QStringLiteral("cbn"),
                   {obj, Variant(std::int32_t(callType)), Variant(methodName)}, args, result);
    return result;
}

Variant cWebView2::jsProp(const QString& propName) {
    Variant result;
    if (pvIsScriptPath(propName) &&
        pvBridgeInvoke(QStringLiteral("propGet"), {Variant(propName)}, {}, result))
        return result;
    result = Variant();
    pvExecScriptSync(propName, result);
    return result;
}

void cWebView2::setJsProp(const QString& propName, const Variant& value) {
    Variant ignored;
    if (pvIsScriptPath(propName) &&
        pvBridgeInvoke(QStringLiteral("propLet"), {Variant(propName), value}, {}, ignored))
        return;
    try {
        pvExecScriptSync(propName + QLatin1Char('=') + json::encode(value), ignored);
    } catch (const AutomationError& error) {
        d->lastError = error.description();
    }
}

Variant cWebView2::CallByName(const Variant& obj, const QString& procName, int callType,
                              QList<Variant> args) {
    const DispatchPtr object = obj.toObject();
    if (!object)
        throw AutomationError::standard(vberr::ObjectNotSet);
    return object->invokeByName(procName, static_cast<unsigned>(callType), args);
}

QString cWebView2::JsonEncode(const Variant& value) {
    return json::encode(value);
}

QString cWebView2::GetCollectionKeys(const Variant& collection) {
    return json::collectionKeys(collection);
}

// ---------------------------------------------------------------- host objects and messages

void cWebView2::AddObject(const QString& objName, Variant& obj) {
    if (!d->core)
        return;
    const HRESULT result = d->core->AddHostObjectToScript(objName, &obj);
    if (hr::failed(result)) {
        pvReport(QStringLiteral("AddObject"), QStringLiteral("Error &H%1").arg(hexOf(result)));
        return;
    }
    const QString quoted = json::quote(objName);
    const QString script = QStringLiteral("window[") + quoted +
                           QStringLiteral("] = chrome.webview.hostObjects.sync[") + quoted +
                           QStringLiteral("];");
    ExecuteScript(script);
    AddScriptToExecuteOnDocumentCreated(script);
}

void cWebView2::RemoveObject(const QString& objName) {
    if (!d->core)
        return;
    d->core->RemoveHostObjectFromScript(objName);
    ExecuteScript(QStringLiteral("delete window[") + json::quote(objName) + QStringLiteral("];"));
}

void cWebView2::PostWebMessageAsString(const QString& message) {
    if (d->core)
        d->core->PostWebMessageAsString(message);
}

void cWebView2::PostWebMessageAsJson(const QString& json) {
    if (d->core)
        d->core->PostWebMessageAsJson(json);
}
