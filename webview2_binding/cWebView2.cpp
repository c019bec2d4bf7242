#include "cWebView2.h"

#include "Collection.h"
#include "JsonCodec.h"
#include "cWebView2Callback.h"

#include "platform/BrowserRuntime.h"
#include "platform/Environment.h"
#include "platform/MessagePump.h"
#include "platform/ModulePath.h"
#include "platform/automation/AutomationError.h"
#include "platform/webview2/WebView2.h"
#include "support/modWait.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QStringList>
#include <QWidget>

#include <dlfcn.h>

namespace {

constexpr int FocusGotToken = 1;
constexpr int FocusLostToken = 2;

cWebView2::DiagnosticHook& diagnosticHook() {
    static cWebView2::DiagnosticHook hook;
    return hook;
}

QString& libraryFolderOverride() {
    static QString folder;
    return folder;
}

// The folder of the module this code is linked into (the control library).
QString moduleFolder() {
    return modulepath::folderOf(reinterpret_cast<const void*>(&moduleFolder));
}

const char* const LoaderName = "libWebView2Loader.so";

struct Loader {
    void* handle = nullptr;
    CreateCoreWebView2EnvironmentWithOptionsFn create = nullptr;
    GetAvailableCoreWebView2BrowserVersionStringFn version = nullptr;
    // Optional: a runtime without it reports no absent facility.
    GetCoreWebView2AbsentFacilitiesFn absent = nullptr;
};

Loader& loader() {
    static Loader instance;
    return instance;
}

// Finds and loads the runtime once per process.
bool pvLoadWebView2Loader() {
    Loader& l = loader();
    if (l.handle)
        return true;
    const QString folder =
        libraryFolderOverride().isEmpty() ? moduleFolder() : libraryFolderOverride();
    const QString path = cWebView2::findLoader(folder);
    if (path.isEmpty())
        return false;
    void* handle = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        return false;
    const auto create = reinterpret_cast<CreateCoreWebView2EnvironmentWithOptionsFn>(
        dlsym(handle, "CreateCoreWebView2EnvironmentWithOptions"));
    const auto version = reinterpret_cast<GetAvailableCoreWebView2BrowserVersionStringFn>(
        dlsym(handle, "GetAvailableCoreWebView2BrowserVersionString"));
    if (!create || !version) {
        // Not the runtime: unload it, so that a later call searches again.
        dlclose(handle);
        return false;
    }
    l = {handle, create, version,
         reinterpret_cast<GetCoreWebView2AbsentFacilitiesFn>(
             dlsym(handle, "GetCoreWebView2AbsentFacilities"))};
    return true;
}

QString tokenKey(Currency token, char suffix) {
    return QString::number(token.scaled / 10000) + QLatin1Char(suffix);
}

QString hexOf(std::int64_t value) {
    return QString::number(static_cast<std::uint32_t>(value), 16).toUpper();
}

Variant collectionVariant(const std::shared_ptr<Collection>& collection) {
    return Variant(std::static_pointer_cast<Dispatch>(collection));
}

// Joined with CRLF, as the runtime receives them.
template <size_t N> QString joinLines(const char* const (&lines)[N]) {
    QStringList parts;
    for (const char* line : lines)
        parts.append(QString::fromLatin1(line));
    return parts.join(QStringLiteral("\r\n"));
}

// Gives every document vbH(), the accessor of the host object, and reports
// the page's context menu to the host.
QString hostAccessorScript() {
    static const char* const lines[] = {
        "var vbH_; function vbH() { return vbH_ || (vbH_ = "
        "chrome.webview.hostObjects.sync.vbHost); }",
        "window.addEventListener('contextmenu', function(e) { "
        "vbH().RaiseContextMenuEvent(e.screenX, e.screenY); });",
    };
    return joinLines(lines);
}

// The script bridge: page functions through which the host calls functions,
// members and properties of the page and gets each answer, with its token,
// through RaiseResultEvent.
QString bridgeScript() {
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

} // namespace

cWebView2::cWebView2(QObject* parent)
    : QObject(parent) {
    m_fireOnce.setSingleShot(true);
    m_fireOnce.setInterval(0);
    connect(&m_fireOnce, &QTimer::timeout, this, &cWebView2::TimerProc);
}

cWebView2::~cWebView2() {
    Shutdown();
}

void cWebView2::setDiagnosticHook(DiagnosticHook hook) {
    diagnosticHook() = std::move(hook);
}

void cWebView2::setLibraryFolder(const QString& folder) {
    libraryFolderOverride() = folder;
}

QString cWebView2::findLoader(const QString& libraryFolder) {
    // The asset folder beside the library first, then each parent folder.
    QString folder = QDir::cleanPath(libraryFolder + QStringLiteral("/KestDicomAx"));
    for (;;) {
        const QString candidate = folder + QLatin1Char('/') + QLatin1String(LoaderName);
        if (QFileInfo(candidate).isFile())
            return candidate;
        if (folder.size() < 2 || folder == QLatin1String("/"))
            return {};
        folder = QFileInfo(folder).path();
    }
}

void cWebView2::pvReport(const QString& member, const QString& description) const {
    if (diagnosticHook())
        diagnosticHook()(member, description);
}

bool cWebView2::isBound() const {
    return m_core && m_controller;
}

// ---------------------------------------------------------------- start-up

HRESULT cWebView2::pvCreateWebView2Environment(const QString& installPath,
                                               const QString& userDataFolder,
                                               cWebView2Callback* options,
                                               cWebView2Callback* handler) {
    if (!pvLoadWebView2Loader())
        return static_cast<HRESULT>(0x8007007E);
    QString dataFolder = userDataFolder;
    if (dataFolder.isEmpty()) {
        const QString base =
            QFileInfo(moduleFolder() + QStringLiteral("/libKestDicomViewControl.so"))
                .completeBaseName()
                .toUpper();
        dataFolder = env::localAppData() + QLatin1Char('/') + base;
    }
    options->setInstalledVersionQuery([] {
        QString version;
        loader().version(QString(), &version);
        return version;
    });
    auto environmentHandler =
        handler->completion<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler>(
            [](cWebView2& owner, HRESULT result, ICoreWebView2Environment* environment) {
                owner.OnEnvironmentCreated(result, environment);
                return hr::S_OK;
            });
    return loader().create(installPath, dataFolder, options, environmentHandler.get());
}

bool cWebView2::BindTo(QWidget* hostWindow, double secondsToWaitForInitComplete,
                       const QString& browserInstallPath, const QString& userDataFolder,
                       const QString& additionalBrowserArguments,
                       bool allowSingleSignOnUsingOSPrimaryAccount,
                       bool exclusiveUserDataFolderAccess, bool isCustomCrashReportingEnabled,
                       bool enableTrackingPrevention, bool areBrowserExtensionsEnabled) {
    m_hostWindow = hostWindow;
    m_shuttingDown = false;
    m_initDone = false;
    m_initResult = 0;
    const auto options = makeCom<cWebView2Callback>(nullptr, Currency{});
    options->put_AdditionalBrowserArguments(additionalBrowserArguments);
    options->put_AllowSingleSignOnUsingOSPrimaryAccount(allowSingleSignOnUsingOSPrimaryAccount);
    options->put_ExclusiveUserDataFolderAccess(exclusiveUserDataFolderAccess);
    options->put_IsCustomCrashReportingEnabled(isCustomCrashReportingEnabled);
    options->put_EnableTrackingPrevention(enableTrackingPrevention);
    options->put_AreBrowserExtensionsEnabled(areBrowserExtensionsEnabled);
    m_trackingPreventionAsked = enableTrackingPrevention;
    m_browserExtensionsAsked = areBrowserExtensionsEnabled;
    const auto handler = pvNewCallback(Currency{});
    const HRESULT created = pvCreateWebView2Environment(browserInstallPath, userDataFolder,
                                                        options.get(), handler.get());
    if (hr::failed(created)) {
        pvReport(QStringLiteral("pvCreateWebView2Environment"),
                 QStringLiteral("Error &H%1").arg(hexOf(created)));
        return false;
    }
    if (!pvPumpUntil(m_initDone, secondsToWaitForInitComplete))
        return false;
    return secondsToWaitForInitComplete <= 0 || m_initResult == 0;
}

void cWebView2::OnEnvironmentCreated(HRESULT result, ICoreWebView2Environment* environment) {
    if (hr::failed(result) || !environment) {
        m_initResult = hr::failed(result) ? result : hr::E_POINTER;
        m_initDone = true;
        return;
    }
    m_environment = ComPtr<ICoreWebView2Environment>(environment);
    const auto handler = pvNewCallback(Currency{});
    const HRESULT started = m_environment->CreateCoreWebView2Controller(
        m_hostWindow,
        handler
            ->completion<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler>(
                [](cWebView2& owner, HRESULT code, ICoreWebView2Controller* controller) {
                    owner.OnControllerCreated(code, controller);
                    return hr::S_OK;
                })
            .get());
    if (hr::failed(started)) {
        pvReport(QStringLiteral("OnEnvironmentCreated"),
                 QStringLiteral("Error &H%1").arg(hexOf(started)));
        m_initResult = started;
        m_initDone = true;
    }
}

void cWebView2::OnControllerCreated(HRESULT result, ICoreWebView2Controller* controller) {
    if (hr::failed(result) || !controller) {
        m_initResult = hr::failed(result) ? result : hr::E_POINTER;
        m_initDone = true;
        return;
    }
    try {
        pvConfigureController(controller);
    } catch (const AutomationError& error) {
        pvReport(QStringLiteral("OnControllerCreated"), error.description());
        m_initResult = error.hresult();
        m_initDone = true;
        return;
    }
    m_initResult = 0;
    m_initDone = true;
    pvPostEvent(1);
}

void cWebView2::pvConfigureController(ICoreWebView2Controller* controller) {
    auto check = [](HRESULT result) {
        if (hr::failed(result))
            throw AutomationError::fromHResult(result);
    };
    m_controller = ComPtr<ICoreWebView2Controller>(controller);
    check(m_controller->get_CoreWebView2(m_core.put()));
    check(m_core->get_Settings(m_settings.put()));
    // Newer interfaces may be absent: members that need them then do nothing.
    m_core.as(&m_core2);
    m_core.as(&m_core3);
    m_core.as(&m_core4);
    m_core.as(&m_core7);
    m_core.as(&m_core8);
    m_core.as(&m_core10);
    m_core.as(&m_core12);
    m_core.as(&m_core13);
    m_core.as(&m_core16);
    m_settings.as(&m_settings2);
    m_settings.as(&m_settings3);
    pvRegisterEvents();
    Variant host(m_general->hostObject());
    AddObject(QStringLiteral("vbHost"), host);
    AddScriptToExecuteOnDocumentCreated(hostAccessorScript());
    AddScriptToExecuteOnDocumentCreated(bridgeScript());
    SyncSizeToHostWindow();
    check(m_controller->put_IsVisible(true));
}

void cWebView2::pvRegisterEvents() {
    EventRegistrationToken token;
    m_general = makeCom<cWebView2Callback>(this, Currency{});
    cWebView2Callback& g = *m_general;
    using Core = ICoreWebView2;
    m_core->add_NavigationStarting(
        g.handler<ICoreWebView2NavigationStartingEventHandler>(
             [](cWebView2& o, Core*, ICoreWebView2NavigationStartingEventArgs* args) {
                 bool cancel = false, user = false, redirected = false;
                 QString uri;
                 args->get_Cancel(&cancel);
                 args->get_IsUserInitiated(&user);
                 args->get_IsRedirected(&redirected);
                 args->get_Uri(&uri);
                 emit o.NavigationStarting(user, redirected, uri, cancel);
                 return args->put_Cancel(cancel);
             })
            .get(),
        &token);
    m_core->add_NavigationCompleted(
        g.handler<ICoreWebView2NavigationCompletedEventHandler>(
             [](cWebView2& o, Core*, ICoreWebView2NavigationCompletedEventArgs* args) {
                 bool success = false;
                 COREWEBVIEW2_WEB_ERROR_STATUS status = COREWEBVIEW2_WEB_ERROR_STATUS_UNKNOWN;
                 args->get_IsSuccess(&success);
                 args->get_WebErrorStatus(&status);
                 o.m_navigationCompleted = true;
                 o.m_lastNavigationSuccess = success;
                 o.m_lastWebErrorStatus = status;
                 o.pvPostEvent(3, {Variant(success), Variant(std::int32_t(status))});
                 if (success)
                     o.pvPostEvent(2);
                 return hr::S_OK;
             })
            .get(),
        &token);
    m_core->add_SourceChanged(
        g.handler<ICoreWebView2SourceChangedEventHandler>([](cWebView2& o, Core*,
                                                             ICoreWebView2SourceChangedEventArgs*) {
             o.pvPostEvent(4);
             return hr::S_OK;
         }).get(),
        &token);
    m_core->add_ProcessFailed(
        g.handler<ICoreWebView2ProcessFailedEventHandler>([](cWebView2& o, Core*,
                                                             ICoreWebView2ProcessFailedEventArgs*) {
             o.m_bridge.reset();
             o.pvPostEvent(5);
             return hr::S_OK;
         }).get(),
        &token);
    m_core->add_WebMessageReceived(
        g.handler<ICoreWebView2WebMessageReceivedEventHandler>(
             [](cWebView2& o, Core*, ICoreWebView2WebMessageReceivedEventArgs* args) {
                 QString text;
                 QString json;
                 args->get_WebMessageAsJson(&json);
                 if (hr::succeeded(args->TryGetWebMessageAsString(&text)))
                     o.pvPostEvent(6, {Variant(text), Variant(QString()), Variant()});
                 else
                     o.pvPostEvent(6, {Variant(QString()), Variant(json), Variant()});
                 return hr::S_OK;
             })
            .get(),
        &token);
    m_core->add_ScriptDialogOpening(
        g.handler<ICoreWebView2ScriptDialogOpeningEventHandler>(
             [](cWebView2& o, Core*, ICoreWebView2ScriptDialogOpeningEventArgs* args) {
                 COREWEBVIEW2_SCRIPT_DIALOG_KIND kind = COREWEBVIEW2_SCRIPT_DIALOG_KIND_ALERT;
                 QString uri, message, defaultText, resultText;
                 bool accept = false;
                 args->get_Kind(&kind);
                 args->get_Uri(&uri);
                 args->get_Message(&message);
                 args->get_DefaultText(&defaultText);
                 emit o.ScriptDialogOpening(kind, accept, resultText, uri, message, defaultText);
                 if (!accept)
                     return hr::S_OK;
                 args->put_ResultText(resultText);
                 return args->Accept();
             })
            .get(),
        &token);
    m_core->add_PermissionRequested(
        g.handler<ICoreWebView2PermissionRequestedEventHandler>(
             [](cWebView2& o, Core*, ICoreWebView2PermissionRequestedEventArgs* args) {
                 COREWEBVIEW2_PERMISSION_STATE state = COREWEBVIEW2_PERMISSION_STATE_DEFAULT;
                 COREWEBVIEW2_PERMISSION_KIND kind =
                     COREWEBVIEW2_PERMISSION_KIND_UNKNOWN_PERMISSION;
                 bool user = false;
                 QString uri;
                 args->get_State(&state);
                 args->get_IsUserInitiated(&user);
                 args->get_Uri(&uri);
                 args->get_PermissionKind(&kind);
                 int reportedKind = kind >= 0 && kind <= 6 ? int(kind) : 0;
                 int newState = state;
                 emit o.PermissionRequested(user, newState, uri, reportedKind);
                 return args->put_State(static_cast<COREWEBVIEW2_PERMISSION_STATE>(newState));
             })
            .get(),
        &token);
    m_core->add_NewWindowRequested(
        g.handler<ICoreWebView2NewWindowRequestedEventHandler>(
             [](cWebView2& o, Core*, ICoreWebView2NewWindowRequestedEventArgs* args) {
                 bool handled = false, user = false;
                 QString uri;
                 Variant features = o.pvWindowFeatures(args);
                 args->get_Handled(&handled);
                 args->get_IsUserInitiated(&user);
                 args->get_Uri(&uri);
                 emit o.NewWindowRequested(user, handled, uri, features);
                 return args->put_Handled(handled);
             })
            .get(),
        &token);
    m_core->add_WebResourceRequested(
        g.handler<ICoreWebView2WebResourceRequestedEventHandler>(
             [](cWebView2& o, Core*, ICoreWebView2WebResourceRequestedEventArgs* args) {
                 return o.SinkWebResourceRequested(args);
             })
            .get(),
        &token);
    m_core->add_DocumentTitleChanged(
        g.handler<ICoreWebView2DocumentTitleChangedEventHandler>([](cWebView2& o, Core*,
                                                                    IUnknown*) {
             o.pvPostEvent(13, {Variant(o.DocumentTitle())});
             return hr::S_OK;
         }).get(),
        &token);
    m_core->add_ContentLoading(
        g.handler<ICoreWebView2ContentLoadingEventHandler>(
             [](cWebView2& o, Core*, ICoreWebView2ContentLoadingEventArgs* args) {
                 bool errorPage = false;
                 args->get_IsErrorPage(&errorPage);
                 o.m_bridge.reset();
                 o.pvPostEvent(14, {Variant(errorPage)});
                 return hr::S_OK;
             })
            .get(),
        &token);
    m_core->add_HistoryChanged(
        g.handler<ICoreWebView2HistoryChangedEventHandler>([](cWebView2& o, Core*, IUnknown*) {
             o.pvPostEvent(15);
             return hr::S_OK;
         }).get(),
        &token);
    m_core->add_WindowCloseRequested(
        g.handler<ICoreWebView2WindowCloseRequestedEventHandler>([](cWebView2& o, Core*,
                                                                    IUnknown*) {
             o.pvPostEvent(16);
             return hr::S_OK;
         }).get(),
        &token);
    m_core->add_ContainsFullScreenElementChanged(
        g.handler<ICoreWebView2ContainsFullScreenElementChangedEventHandler>([](cWebView2& o, Core*,
                                                                                IUnknown*) {
             o.pvPostEvent(20);
             return hr::S_OK;
         }).get(),
        &token);
    pvRegisterControllerEvents();
    pvRegisterNewerEvents();
}

void cWebView2::pvRegisterControllerEvents() {
    EventRegistrationToken token;
    cWebView2Callback& g = *m_general;
    using Controller = ICoreWebView2Controller;
    m_controller->add_AcceleratorKeyPressed(
        g.handler<ICoreWebView2AcceleratorKeyPressedEventHandler>(
             [](cWebView2& o, Controller*, ICoreWebView2AcceleratorKeyPressedEventArgs* args) {
                 COREWEBVIEW2_KEY_EVENT_KIND kind = COREWEBVIEW2_KEY_EVENT_KIND_KEY_DOWN;
                 std::int32_t lParam = 0;
                 bool handled = false;
                 args->get_KeyEventKind(&kind);
                 args->get_KeyEventLParam(&lParam);
                 args->get_Handled(&handled);
                 const auto bits = static_cast<std::uint32_t>(lParam);
                 emit o.AcceleratorKeyPressed(kind, bits >> 24 & 1, bits >> 30 & 1, bits >> 31 & 1,
                                              bits >> 29 & 1, int(bits & 0xFFFF),
                                              int(bits >> 16 & 0xFF), handled);
                 return args->put_Handled(handled);
             })
            .get(),
        &token);
    m_controller->add_ZoomFactorChanged(
        g.handler<ICoreWebView2ZoomFactorChangedEventHandler>([](cWebView2& o, Controller*,
                                                                 IUnknown*) {
             o.pvPostEvent(17);
             return hr::S_OK;
         }).get(),
        &token);
    m_controller->add_MoveFocusRequested(
        g.handler<ICoreWebView2MoveFocusRequestedEventHandler>(
             [](cWebView2& o, Controller*, ICoreWebView2MoveFocusRequestedEventArgs* args) {
                 COREWEBVIEW2_MOVE_FOCUS_REASON reason =
                     COREWEBVIEW2_MOVE_FOCUS_REASON_PROGRAMMATIC;
                 bool handled = false;
                 args->get_Reason(&reason);
                 args->get_Handled(&handled);
                 emit o.MoveFocusRequested(reason, handled);
                 return args->put_Handled(handled);
             })
            .get(),
        &token);
    m_gotFocus = makeCom<cWebView2Callback>(this, Currency{FocusGotToken * 10000});
    m_lostFocus = makeCom<cWebView2Callback>(this, Currency{FocusLostToken * 10000});
    const auto focusHandler = [](cWebView2Callback& callback) {
        const Currency which = callback.token();
        return callback.handler<ICoreWebView2FocusChangedEventHandler>(
            [which](cWebView2& o, Controller*, IUnknown*) {
                if (which.scaled == FocusGotToken * 10000) {
                    o.pvPostEvent(9, {Variant(std::int32_t(o.m_focusReason))});
                    o.m_focusReason = 0;
                } else {
                    o.pvPostEvent(10, {Variant(std::int32_t(0))});
                }
                return hr::S_OK;
            });
    };
    m_controller->add_GotFocus(focusHandler(*m_gotFocus).get(), &token);
    m_controller->add_LostFocus(focusHandler(*m_lostFocus).get(), &token);
}

void cWebView2::pvRegisterNewerEvents() {
    EventRegistrationToken token;
    cWebView2Callback& g = *m_general;
    using Core = ICoreWebView2;
    if (m_core2) {
        m_core2->add_DOMContentLoaded(
            g.handler<ICoreWebView2DOMContentLoadedEventHandler>(
                 [](cWebView2& o, Core*, ICoreWebView2DOMContentLoadedEventArgs*) {
                     o.pvPostEvent(18);
                     return hr::S_OK;
                 })
                .get(),
            &token);
    }
    if (m_core4) {
        m_core4->add_DownloadStarting(
            g.handler<ICoreWebView2DownloadStartingEventHandler>(
                 [](cWebView2& o, Core*, ICoreWebView2DownloadStartingEventArgs* args) {
                     return o.SinkDownloadStarting(args);
                 })
                .get(),
            &token);
    }
    if (m_core10) {
        m_core10->add_BasicAuthenticationRequested(
            g.handler<ICoreWebView2BasicAuthenticationRequestedEventHandler>(
                 [](cWebView2& o, Core*, ICoreWebView2BasicAuthenticationRequestedEventArgs* args) {
                     return o.SinkBasicAuthenticationRequested(args);
                 })
                .get(),
            &token);
    }
    if (m_core12) {
        m_core12->add_StatusBarTextChanged(
            g.handler<ICoreWebView2StatusBarTextChangedEventHandler>([](cWebView2& o, Core*,
                                                                        IUnknown*) {
                 o.pvPostEvent(19, {Variant(o.StatusBarText())});
                 return hr::S_OK;
             }).get(),
            &token);
    }
}

Variant cWebView2::pvWindowFeatures(ICoreWebView2NewWindowRequestedEventArgs* args) {
    auto features = Collection::create();
    ComPtr<ICoreWebView2WindowFeatures> window;
    if (hr::failed(args->get_WindowFeatures(window.put())) || !window)
        return collectionVariant(features);
    bool flag = false;
    std::uint32_t number = 0;
    const auto addFlag = [&](const char* key, HRESULT (ICoreWebView2WindowFeatures::*get)(bool*)) {
        flag = false;
        (window.get()->*get)(&flag);
        features->add(Variant(flag), QString::fromLatin1(key));
    };
    const auto addNumber = [&](const char* key,
                               HRESULT (ICoreWebView2WindowFeatures::*get)(std::uint32_t*)) {
        number = 0;
        (window.get()->*get)(&number);
        features->add(Variant(std::int32_t(number)), QString::fromLatin1(key));
    };
    addFlag("HasPosition", &ICoreWebView2WindowFeatures::get_HasPosition);
    addFlag("HasSize", &ICoreWebView2WindowFeatures::get_HasSize);
    addNumber("Left", &ICoreWebView2WindowFeatures::get_Left);
    addNumber("Top", &ICoreWebView2WindowFeatures::get_Top);
    addNumber("Width", &ICoreWebView2WindowFeatures::get_Width);
    addNumber("Height", &ICoreWebView2WindowFeatures::get_Height);
    addFlag("ShouldDisplayMenuBar", &ICoreWebView2WindowFeatures::get_ShouldDisplayMenuBar);
    addFlag("ShouldDisplayStatus", &ICoreWebView2WindowFeatures::get_ShouldDisplayStatus);
    addFlag("ShouldDisplayToolbar", &ICoreWebView2WindowFeatures::get_ShouldDisplayToolbar);
    addFlag("ShouldDisplayScrollBars", &ICoreWebView2WindowFeatures::get_ShouldDisplayScrollBars);
    return collectionVariant(features);
}

HRESULT cWebView2::SinkWebResourceRequested(ICoreWebView2WebResourceRequestedEventArgs* args) {
    ComPtr<ICoreWebView2WebResourceRequest> request;
    HRESULT result = args->get_Request(request.put());
    if (hr::failed(result))
        return result;
    QString uri;
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT context = COREWEBVIEW2_WEB_RESOURCE_CONTEXT_ALL;
    request->get_Uri(&uri);
    args->get_ResourceContext(&context);
    int permit = 0;
    emit WebResourceRequested(uri, context, permit);
    if (permit != 2 || !m_environment)
        return hr::S_OK;
    ComPtr<ICoreWebView2WebResourceResponse> response;
    result = m_environment->CreateWebResourceResponse({}, 403, QStringLiteral("Forbidden"), {},
                                                      response.put());
    if (hr::failed(result)) {
        pvReport(QStringLiteral("SinkWebResourceRequested"),
                 QStringLiteral("Error &H%1").arg(hexOf(result)));
        return hr::S_OK;
    }
    return args->put_Response(response.get());
}

HRESULT cWebView2::SinkDownloadStarting(ICoreWebView2DownloadStartingEventArgs* args) {
    ComPtr<ICoreWebView2DownloadOperation> operation;
    HRESULT result = args->get_DownloadOperation(operation.put());
    if (hr::failed(result))
        return result;
    QString path, uri, mimeType, newPath;
    bool handled = false, cancel = false;
    args->get_ResultFilePath(&path);
    args->get_Handled(&handled);
    args->get_Cancel(&cancel);
    operation->get_Uri(&uri);
    operation->get_MimeType(&mimeType);
    const QString file = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    emit DownloadStarting(uri, mimeType, path, file, handled, cancel, newPath);
    args->put_Handled(handled);
    args->put_Cancel(cancel);
    if (!newPath.isEmpty())
        args->put_ResultFilePath(newPath);
    return hr::S_OK;
}

HRESULT cWebView2::SinkBasicAuthenticationRequested(
    ICoreWebView2BasicAuthenticationRequestedEventArgs* args) {
    QString uri, challenge, user, password;
    bool cancel = false;
    args->get_Cancel(&cancel);
    args->get_Uri(&uri);
    args->get_Challenge(&challenge);
    emit BasicAuthenticationRequested(uri, challenge, user, password, cancel);
    args->put_Cancel(cancel);
    if (user.isEmpty() && password.isEmpty())
        return hr::S_OK;
    ComPtr<ICoreWebView2BasicAuthenticationResponse> response;
    const HRESULT result = args->get_Response(response.put());
    if (hr::failed(result))
        return result;
    response->put_UserName(user);
    return response->put_Password(password);
}

// ---------------------------------------------------------------- waits

bool cWebView2::pvPumpUntil(const bool& flag, double seconds) {
    if (seconds <= 0)
        return true;
    return pvWaitFor([&flag] { return flag; }, seconds);
}

bool cWebView2::pvPumpUntilKey(const QString& key, double seconds) {
    return pvWaitFor([this, &key] { return m_pending.contains(key); }, seconds);
}

// Keyboard and mouse input is dropped: the user cannot act on the application
// while it waits for the browser. A shutdown meanwhile ends the wait as a time-out.
bool cWebView2::pvWaitFor(const std::function<bool()>& done, double seconds) {
    const bool reached =
        waits::waitUntil([this, &done] { return m_shuttingDown || done(); }, seconds, true);
    return reached && !m_shuttingDown;
}

Currency cWebView2::pvNewToken() {
    ++m_tokenCounter;
    return Currency{m_tokenCounter * 10000};
}

ComPtr<cWebView2Callback> cWebView2::pvNewCallback(Currency token) {
    auto callback = makeCom<cWebView2Callback>(this, token);
    m_attached.append(callback);
    return callback;
}

void cWebView2::pvForgetCallback(const cWebView2Callback* callback) {
    m_attached.removeIf([callback](const auto& held) { return held.get() == callback; });
}

std::optional<cWebView2::Record> cWebView2::pvWaitForRecord(Currency token, double seconds) {
    const QString pendingKey = tokenKey(token, 'P');
    const QString resultKey = tokenKey(token, 'T');
    m_pending.insert(pendingKey, {});
    if (!pvPumpUntilKey(resultKey, seconds)) {
        m_pending.remove(pendingKey);
        return std::nullopt;
    }
    return m_pending.take(resultKey);
}

// ---------------------------------------------------------------- scripts

void cWebView2::ExecuteScript(const QString& jsCode) {
    if (!m_core)
        return;
    const HRESULT result = m_core->ExecuteScript(jsCode, nullptr);
    if (hr::failed(result))
        pvReport(QStringLiteral("ExecuteScript"), QStringLiteral("Error &H%1").arg(hexOf(result)));
}

void cWebView2::AddScriptToExecuteOnDocumentCreated(const QString& jsCode) {
    if (!m_core)
        return;
    const HRESULT result = m_core->AddScriptToExecuteOnDocumentCreated(jsCode, nullptr);
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
    m_lastError.clear();
    try {
        if (!m_core)
            throw AutomationError::fromHResult(hr::ERROR_INVALID_STATE,
                                               QStringLiteral("The browser is not ready"));
        const Currency token = pvNewToken();
        const HRESULT started = m_core->ExecuteScript(script, pvScriptHandler(token).get());
        if (hr::failed(started))
            throw AutomationError::fromHResult(started);
        if (m_timeoutSeconds <= 0)
            return true;
        const auto record = pvWaitForRecord(token, m_timeoutSeconds);
        if (!record) {
            m_lastError = QStringLiteral("Timeout waiting for script result");
            return false;
        }
        if (hr::failed(record->result)) {
            m_lastError = QStringLiteral("Error &H%1 executing script").arg(hexOf(record->result));
            return false;
        }
        result = json::parse(record->value.toString());
        return true;
    } catch (const AutomationError& error) {
        m_lastError = error.description();
        pvReport(QStringLiteral("pvExecScriptSync"), error.description());
        return false;
    }
}

bool cWebView2::pvBridgeInvoke(const QString& member, const QList<Variant>& leading,
                               const QList<Variant>& trailing, Variant& result) {
    if (!m_bridge)
        return false;
    m_lastError.clear();
    const Currency token = pvNewToken();
    QList<Variant> args = leading;
    args.append(Variant(token.toDouble()));
    args.append(trailing);
    const QString pendingKey = tokenKey(token, 'P');
    m_pending.insert(pendingKey, {});
    try {
        const DispatchPtr bridge = m_bridge;
        bridge->invokeByName(member, InvokeFlags::Method, args);
    } catch (const AutomationError& error) {
        m_lastError = QStringLiteral("Error &H%1 invoking JS bridge (stale JS context)")
                          .arg(hexOf(error.hresult()));
        m_bridge.reset();
        m_pending.remove(pendingKey);
        return false;
    }
    const auto record = [&]() -> std::optional<Record> {
        if (!pvPumpUntilKey(tokenKey(token, 'T'), m_timeoutSeconds))
            return std::nullopt;
        return m_pending.take(tokenKey(token, 'T'));
    }();
    m_pending.remove(pendingKey);
    if (!record) {
        m_lastError = QStringLiteral("Timeout waiting for JS bridge result");
        return false;
    }
    if (!record->error.isEmpty())
        m_lastError = record->error;
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

Variant cWebView2::jsRun(const QString& funcName, const QList<Variant>& args) {
    Variant result;
    if (pvBridgeInvoke(QStringLiteral("run"), {Variant(funcName)}, args, result))
        return result;
    result = Variant();
    pvExecScriptSync(pvBuildCallScript(funcName, args), result);
    return result;
}

Currency cWebView2::jsRunAsync(const QString& funcName, const QList<Variant>& args) {
    const Currency token = pvNewToken();
    if (!m_core)
        return token;
    try {
        const QString script = pvBuildCallScript(funcName, args);
        const HRESULT started = m_core->ExecuteScript(script, pvScriptHandler(token).get());
        if (hr::failed(started))
            throw AutomationError::fromHResult(started);
        m_pending.insert(tokenKey(token, 'A'), {});
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
        m_lastError = error.description();
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
    if (!m_core)
        return;
    const HRESULT result = m_core->AddHostObjectToScript(objName, &obj);
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
    if (!m_core)
        return;
    m_core->RemoveHostObjectFromScript(objName);
    ExecuteScript(QStringLiteral("delete window[") + json::quote(objName) + QStringLiteral("];"));
}

void cWebView2::PostWebMessageAsString(const QString& message) {
    if (m_core)
        m_core->PostWebMessageAsString(message);
}

void cWebView2::PostWebMessageAsJson(const QString& json) {
    if (m_core)
        m_core->PostWebMessageAsJson(json);
}

// ---------------------------------------------------------------- completions and events

void cWebView2::OnExecuteScriptCompleted(HRESULT result, const QString& resultText,
                                         Currency token) {
    if (token.scaled == 0)
        return;
    try {
        if (m_pending.remove(tokenKey(token, 'A'))) {
            Variant value;
            QString error;
            if (hr::failed(result)) {
                error = QStringLiteral("Error &H%1 executing script").arg(hexOf(result));
                m_lastError = error;
            } else {
                value = json::parse(resultText);
            }
            pvPostEvent(7, {value, Variant(token), Variant(error)});
            return;
        }
        pvStoreCompletion(token, {result, Variant(resultText), {}});
    } catch (const AutomationError& error) {
        pvReport(QStringLiteral("OnExecuteScriptCompleted"), error.description());
    }
}

void cWebView2::pvStoreCompletion(Currency token, Record record) {
    if (m_pending.remove(tokenKey(token, 'P')))
        m_pending.insert(tokenKey(token, 'T'), std::move(record));
}

void cWebView2::RaiseResultEvent(const Variant& result, const Variant& token,
                                 const QString& errorText) {
    try {
        const Currency callToken = token.toCurrency();
        if (m_pending.remove(tokenKey(callToken, 'P'))) {
            m_pending.insert(tokenKey(callToken, 'T'), {0, result, errorText});
            return;
        }
        pvPostEvent(7, {result, Variant(callToken), Variant(errorText)});
    } catch (const AutomationError& error) {
        pvReport(QStringLiteral("RaiseResultEvent"), error.description());
    }
}

void cWebView2::RaiseMessageEvent(const QString& message, const QString& content) {
    pvPostEvent(6, {Variant(message), Variant(content), Variant()});
}

void cWebView2::RaiseContextMenuEvent(int screenX, int screenY) {
    pvPostEvent(8, {Variant(std::int32_t(screenX)), Variant(std::int32_t(screenY))});
}

void cWebView2::SetFuncObj(const Variant& bridge) {
    m_bridge = bridge.isObject() ? bridge.toObject() : nullptr;
}

void cWebView2::pvPostEvent(int code, QList<Variant> args) {
    m_queue.append({code, std::move(args)});
    if (!m_fireOnce.isActive())
        m_fireOnce.start();
}

void cWebView2::TimerProc() {
    const QList<EventRecord> records = std::exchange(m_queue, {});
    for (const EventRecord& record : records) {
        if (m_shuttingDown)
            return;
        try {
            pvRaiseDeferred(record);
        } catch (const AutomationError& error) {
            pvReport(QStringLiteral("TimerProc"), error.description());
        }
    }
}

void cWebView2::pvRaiseDeferred(const EventRecord& record) {
    const QList<Variant>& a = record.args;
    switch (record.code) {
    case 1:
        emit InitComplete();
        break;
    case 2:
        emit DocumentComplete();
        break;
    case 3:
        emit NavigationCompleted(a[0].toBool(), a[1].toLong());
        break;
    case 4:
        emit SourceChanged();
        break;
    case 5:
        emit ProcessFailed();
        break;
    case 6: {
        // Only an object in the third slot is passed on, as its JSON text.
        QString jsonContent = a[2].isObject() ? json::encode(a[2]) : QStringLiteral("null");
        emit JSMessage(a[0].toString(), a[1].toString(), jsonContent);
        break;
    }
    case 7: {
        Variant result = a[0];
        emit JSAsyncResult(result, a[1].toCurrency(), a[2].toString());
        break;
    }
    case 8:
        emit UserContextMenu(a[0].toLong(), a[1].toLong());
        break;
    case 9:
        emit GotFocus(a[0].toLong());
        break;
    case 10:
        emit LostFocus(a[0].toLong());
        break;
    case 12:
        emit FrameCreated(a[0].toString());
        break;
    case 13:
        emit TitleChanged(a[0].toString());
        break;
    case 14:
        emit ContentLoading(a[0].toBool());
        break;
    case 15:
        emit HistoryChanged();
        break;
    case 16:
        emit WindowCloseRequested();
        break;
    case 17:
        emit ZoomFactorChanged();
        break;
    case 18:
        emit DOMContentLoaded();
        break;
    case 19:
        emit StatusBarTextChanged(a[0].toString());
        break;
    case 20:
        emit ContainsFullScreenElementChanged();
        break;
    default:
        break;
    }
}

// ---------------------------------------------------------------- placement

void cWebView2::setHosthWnd(QWidget* hostWindow) {
    m_hostWindow = hostWindow;
    if (m_controller)
        m_controller->put_ParentWindow(hostWindow);
}

void cWebView2::SyncSizeToHostWindow() {
    if (!m_controller || !m_hostWindow)
        return;
    const QRect client = m_hostWindow->contentsRect();
    m_controller->put_Bounds(RECT{0, 0, client.width(), client.height()});
    m_controller->NotifyParentWindowPositionChanged();
}

void cWebView2::MoveRelativeToHostWindow(std::optional<int>& x, std::optional<int>& y,
                                         std::optional<int>& dx, std::optional<int>& dy) {
    if (!m_controller)
        return;
    RECT bounds;
    m_controller->get_Bounds(&bounds);
    x = x.value_or(bounds.left);
    y = y.value_or(bounds.top);
    dx = dx.value_or(bounds.right - bounds.left);
    dy = dy.value_or(bounds.bottom - bounds.top);
    m_controller->put_Bounds(RECT{*x, *y, *x + *dx, *y + *dy});
    m_controller->NotifyParentWindowPositionChanged();
}

void cWebView2::SetBoundsAndZoomFactor(int left, int top, int right, int bottom,
                                       double zoomFactor) {
    if (m_controller)
        m_controller->SetBoundsAndZoomFactor(RECT{left, top, right, bottom}, zoomFactor);
}

void cWebView2::NotifyParentWindowPositionChanged() {
    if (m_controller)
        m_controller->NotifyParentWindowPositionChanged();
}

void cWebView2::SetFocus(int reason) {
    m_focusReason = reason;
    if (m_controller)
        m_controller->MoveFocus(static_cast<COREWEBVIEW2_MOVE_FOCUS_REASON>(reason));
}

double cWebView2::ZoomFactor() const {
    double zoom = 0;
    if (m_controller)
        m_controller->get_ZoomFactor(&zoom);
    return zoom;
}

void cWebView2::setZoomFactor(double zoomFactor) {
    if (m_controller)
        m_controller->put_ZoomFactor(zoomFactor);
}

Variant cWebView2::TrySuspend(double secondsToWait) {
    if (!m_controller || !m_core3)
        return {};
    m_controller->put_IsVisible(false);
    const Currency token = pvNewToken();
    const auto handler = pvNewCallback(token)->completion<ICoreWebView2TrySuspendCompletedHandler>(
        [token](cWebView2& o, HRESULT result, bool success) {
            o.OnExecuteScriptCompleted(
                result, success ? QStringLiteral("true") : QStringLiteral("false"), token);
            return hr::S_OK;
        });
    if (hr::failed(m_core3->TrySuspend(handler.get())))
        return {};
    if (secondsToWait <= 0)
        return Variant(true);
    const auto record = pvWaitForRecord(token, secondsToWait);
    if (!record || hr::failed(record->result))
        return {};
    return Variant(record->value.toString() == QLatin1String("true"));
}

void cWebView2::ResumeFromSuspend() {
    if (m_core3)
        m_core3->Resume();
    if (m_controller)
        m_controller->put_IsVisible(true);
}

bool cWebView2::IsSuspended() const {
    bool suspended = false;
    if (m_core3)
        m_core3->get_IsSuspended(&suspended);
    return suspended;
}

QString cWebView2::GetMostRecentInstallPath(const QString& edgeChannel, QString& versionString) {
    if (pvLoadWebView2Loader()) {
        QString version;
        if (hr::succeeded(loader().version(QString(), &version)))
            versionString = version;
    }
    if (versionString.isEmpty())
        return {};
    // The installed runtime is the system's Qt WebEngine: its process lives in
    // Qt's folder of executables, whatever the channel.
    Q_UNUSED(edgeChannel);
    const QString folder = QLibraryInfo::path(QLibraryInfo::LibraryExecutablesPath);
    return browserruntime::isRuntimeFolder(folder) ? folder : QString();
}

void cWebView2::Shutdown() {
    m_shuttingDown = true;
    m_fireOnce.stop();
    m_queue.clear();
    m_bridge.reset();
    if (m_core)
        m_core->RemoveHostObjectFromScript(QStringLiteral("vbHost"));
    m_core16.reset();
    m_core13.reset();
    m_core12.reset();
    m_core10.reset();
    m_core8.reset();
    m_core7.reset();
    m_core4.reset();
    m_core3.reset();
    m_core2.reset();
    m_core.reset();
    if (m_controller)
        m_controller->Close();
    m_controller.reset();
    m_environment.reset();
    for (const auto& callback : std::as_const(m_attached))
        callback->detach();
    m_attached.clear();
    for (ComPtr<cWebView2Callback>* lifetime : {&m_general, &m_gotFocus, &m_lostFocus}) {
        if (*lifetime)
            (*lifetime)->detach();
        lifetime->reset();
    }
    m_settings3.reset();
    m_settings2.reset();
    m_settings.reset();
    m_pending.clear();
}

// ---------------------------------------------------------------- state and settings

namespace {

template <typename Interface, typename Value>
Value readProperty(const ComPtr<Interface>& object, HRESULT (Interface::*get)(Value*)) {
    Value value{};
    if (object)
        (object.get()->*get)(&value);
    return value;
}

template <typename Interface, typename Value>
void writeProperty(const ComPtr<Interface>& object, HRESULT (Interface::*put)(Value), Value value) {
    if (!object)
        return;
    const HRESULT result = (object.get()->*put)(value);
    if (hr::failed(result))
        throw AutomationError::fromHResult(result);
}

using BoolGetter = HRESULT (ICoreWebView2Settings::*)(bool*);
using BoolSetter = HRESULT (ICoreWebView2Settings::*)(bool);

const QHash<QString, std::pair<BoolGetter, BoolSetter>>& settingsTable() {
    using S = ICoreWebView2Settings;
    static const QHash<QString, std::pair<BoolGetter, BoolSetter>> table = {
        {"isscriptenabled", {&S::get_IsScriptEnabled, &S::put_IsScriptEnabled}},
        {"iswebmessageenabled", {&S::get_IsWebMessageEnabled, &S::put_IsWebMessageEnabled}},
        {"aredefaultscriptdialogsenabled",
         {&S::get_AreDefaultScriptDialogsEnabled, &S::put_AreDefaultScriptDialogsEnabled}},
        {"isstatusbarenabled", {&S::get_IsStatusBarEnabled, &S::put_IsStatusBarEnabled}},
        {"aredevtoolsenabled", {&S::get_AreDevToolsEnabled, &S::put_AreDevToolsEnabled}},
        {"aredefaultcontextmenusenabled",
         {&S::get_AreDefaultContextMenusEnabled, &S::put_AreDefaultContextMenusEnabled}},
        {"arehostobjectsallowed", {&S::get_AreHostObjectsAllowed, &S::put_AreHostObjectsAllowed}},
        {"iszoomcontrolenabled", {&S::get_IsZoomControlEnabled, &S::put_IsZoomControlEnabled}},
        {"isbuiltinerrorpageenabled",
         {&S::get_IsBuiltInErrorPageEnabled, &S::put_IsBuiltInErrorPageEnabled}},
    };
    return table;
}

// Settings of the newest settings interface that the runtime does not offer.
bool isAbsentSetting(const QString& name) {
    for (const char* absent : {"IsGeneralAutofillEnabled", "IsPasswordAutosaveEnabled",
                               "IsPinchZoomEnabled", "IsSwipeNavigationEnabled"})
        if (name.compare(QLatin1String(absent), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

bool isAcceleratorSetting(const QString& name) {
    return name.compare(QLatin1String("AreBrowserAcceleratorKeysEnabled"), Qt::CaseInsensitive) ==
           0;
}

AutomationError unknownSetting() {
    return AutomationError::standard(vberr::NotSupported);
}

} // namespace

bool cWebView2::setting(const QString& name) const {
    if (isAcceleratorSetting(name))
        return readProperty(m_settings3,
                            &ICoreWebView2Settings3::get_AreBrowserAcceleratorKeysEnabled);
    if (isAbsentSetting(name))
        return false;
    const auto entry = settingsTable().constFind(name.toLower());
    if (entry == settingsTable().constEnd())
        throw unknownSetting();
    return readProperty(m_settings, entry->first);
}

void cWebView2::setSetting(const QString& name, bool value) {
    if (isAcceleratorSetting(name)) {
        writeProperty(m_settings3, &ICoreWebView2Settings3::put_AreBrowserAcceleratorKeysEnabled,
                      value);
        return;
    }
    if (isAbsentSetting(name))
        return;
    const auto entry = settingsTable().constFind(name.toLower());
    if (entry == settingsTable().constEnd())
        throw unknownSetting();
    writeProperty(m_settings, entry->second, value);
}

std::int32_t cWebView2::PreferredColorScheme() const {
    return readProperty(pvProfile(), &ICoreWebView2Profile::get_PreferredColorScheme);
}

void cWebView2::setPreferredColorScheme(std::int32_t scheme) {
    writeProperty(pvProfile(), &ICoreWebView2Profile::put_PreferredColorScheme,
                  static_cast<COREWEBVIEW2_PREFERRED_COLOR_SCHEME>(scheme));
}

QStringList cWebView2::AbsentFacilities() {
    QStringList names;
    if (pvLoadWebView2Loader() && loader().absent)
        loader().absent(&names);
    return names;
}

bool cWebView2::IsFacilityAbsent(const QString& name) {
    return AbsentFacilities().contains(name, Qt::CaseInsensitive);
}

bool cWebView2::EnableTrackingPrevention() const {
    return m_trackingPreventionAsked &&
           !IsFacilityAbsent(QStringLiteral("EnableTrackingPrevention"));
}

bool cWebView2::AreBrowserExtensionsEnabled() const {
    return m_browserExtensionsAsked &&
           !IsFacilityAbsent(QStringLiteral("AreBrowserExtensionsEnabled"));
}

bool cWebView2::CanGoBack() const {
    return readProperty(m_core, &ICoreWebView2::get_CanGoBack);
}

bool cWebView2::CanGoForward() const {
    return readProperty(m_core, &ICoreWebView2::get_CanGoForward);
}

QString cWebView2::DocumentURL() const {
    return readProperty(m_core, &ICoreWebView2::get_Source);
}

QString cWebView2::DocumentTitle() const {
    return readProperty(m_core, &ICoreWebView2::get_DocumentTitle);
}

std::int32_t cWebView2::BrowserProcessId() const {
    return static_cast<std::int32_t>(readProperty(m_core, &ICoreWebView2::get_BrowserProcessId));
}

bool cWebView2::ContainsFullScreenElement() const {
    return readProperty(m_core, &ICoreWebView2::get_ContainsFullScreenElement);
}

QString cWebView2::BrowserVersion() const {
    return readProperty(m_environment, &ICoreWebView2Environment::get_BrowserVersionString);
}

QString cWebView2::StatusBarText() const {
    return readProperty(m_core12, &ICoreWebView2_12::get_StatusBarText);
}

bool cWebView2::IsMuted() const {
    return readProperty(m_core8, &ICoreWebView2_8::get_IsMuted);
}

void cWebView2::setIsMuted(bool value) {
    writeProperty(m_core8, &ICoreWebView2_8::put_IsMuted, value);
}

bool cWebView2::IsDocumentPlayingAudio() const {
    return readProperty(m_core8, &ICoreWebView2_8::get_IsDocumentPlayingAudio);
}

ComPtr<ICoreWebView2Profile> cWebView2::pvProfile() const {
    ComPtr<ICoreWebView2Profile> profile;
    if (m_core13)
        m_core13->get_Profile(profile.put());
    return profile;
}

QString cWebView2::ProfileName() const {
    return readProperty(pvProfile(), &ICoreWebView2Profile::get_ProfileName);
}

QString cWebView2::ProfilePath() const {
    return readProperty(pvProfile(), &ICoreWebView2Profile::get_ProfilePath);
}

bool cWebView2::IsInPrivateModeEnabled() const {
    return readProperty(pvProfile(), &ICoreWebView2Profile::get_IsInPrivateModeEnabled);
}

QString cWebView2::DefaultDownloadFolderPath() const {
    return readProperty(pvProfile(), &ICoreWebView2Profile::get_DefaultDownloadFolderPath);
}

void cWebView2::setDefaultDownloadFolderPath(const QString& path) {
    writeProperty<ICoreWebView2Profile, const QString&>(
        pvProfile(), &ICoreWebView2Profile::put_DefaultDownloadFolderPath, path);
}

QString cWebView2::UserAgent() const {
    return readProperty(m_settings2, &ICoreWebView2Settings2::get_UserAgent);
}

void cWebView2::setUserAgent(const QString& value) {
    writeProperty<ICoreWebView2Settings2, const QString&>(
        m_settings2, &ICoreWebView2Settings2::put_UserAgent, value);
}

// ---------------------------------------------------------------- navigation

Variant cWebView2::pvNavigateAndWait(const std::function<HRESULT()>& start, double secondsToWait) {
    if (!m_core)
        return {};
    m_navigationCompleted = false;
    // An address the runtime refuses is the caller's error, not a time-out.
    if (const HRESULT started = start(); hr::failed(started))
        throw AutomationError::fromHResult(started);
    return pvPumpUntil(m_navigationCompleted, secondsToWait) ? Variant(std::int32_t(1)) : Variant();
}

Variant cWebView2::Navigate(const QString& uri, double secondsToWait) {
    return pvNavigateAndWait([&] { return m_core->Navigate(uri); }, secondsToWait);
}

Variant cWebView2::NavigateToString(const QString& htmlContent, double secondsToWait) {
    return pvNavigateAndWait([&] { return m_core->NavigateToString(htmlContent); }, secondsToWait);
}

Variant cWebView2::NavigateWithWebResourceRequest(const QString& uri, const QString& method,
                                                  const QString& headers, const QByteArray& content,
                                                  double secondsToWait) {
    if (!m_core2)
        return {};
    return pvNavigateAndWait(
        [&] { return m_core2->NavigateWithWebResourceRequest(uri, method, headers, content); },
        secondsToWait);
}

void cWebView2::Reload() {
    if (m_core)
        m_core->Reload();
}

void cWebView2::GoBack() {
    if (m_core)
        m_core->GoBack();
}

void cWebView2::GoForward() {
    if (m_core)
        m_core->GoForward();
}

void cWebView2::Stop_() {
    if (m_core)
        m_core->Stop();
}

void cWebView2::OpenDevToolsWindow() {
    if (m_core)
        m_core->OpenDevToolsWindow();
}

void cWebView2::AddWebResourceRequestedFilter(const QString& filter, int resourceContext) {
    if (m_core)
        m_core->AddWebResourceRequestedFilter(
            filter, static_cast<COREWEBVIEW2_WEB_RESOURCE_CONTEXT>(resourceContext));
}

void cWebView2::RemoveWebResourceRequestedFilter(const QString& filter, int resourceContext) {
    if (m_core)
        m_core->RemoveWebResourceRequestedFilter(
            filter, static_cast<COREWEBVIEW2_WEB_RESOURCE_CONTEXT>(resourceContext));
}

// ---------------------------------------------------------------- asynchronous operations

QByteArray cWebView2::CapturePreview(int imageFormat) {
    if (!m_core)
        return {};
    // The stream outlives a wait that times out: the runtime may still write into it.
    auto stream = std::make_shared<QBuffer>();
    stream->open(QIODevice::WriteOnly);
    const Currency token = pvNewToken();
    const auto handler =
        pvNewCallback(token)->completion<ICoreWebView2CapturePreviewCompletedHandler>(
            [token, stream](cWebView2& o, HRESULT result) {
                o.OnExecuteScriptCompleted(result, QString(), token);
                return hr::S_OK;
            });
    const HRESULT started =
        m_core->CapturePreview(static_cast<COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT>(imageFormat),
                               stream.get(), handler.get());
    if (hr::failed(started)) {
        pvReport(QStringLiteral("CapturePreview"),
                 QStringLiteral("Error &H%1").arg(hexOf(started)));
        return {};
    }
    const auto record = pvWaitForRecord(token, m_timeoutSeconds);
    if (!record || hr::failed(record->result))
        return {};
    return stream->data();
}

ComPtr<ICoreWebView2PrintSettings> cWebView2::pvPrintSettings(const PrintOptions& options) const {
    ComPtr<ICoreWebView2PrintSettings> settings;
    const auto environment6 = m_environment.query<ICoreWebView2Environment6>();
    if (!environment6 || hr::failed(environment6->CreatePrintSettings(settings.put())))
        return nullptr;
    settings->put_Orientation(options.landscape ? COREWEBVIEW2_PRINT_ORIENTATION_LANDSCAPE
                                                : COREWEBVIEW2_PRINT_ORIENTATION_PORTRAIT);
    settings->put_ScaleFactor(options.scaleFactor);
    settings->put_PageWidth(options.pageWidth);
    settings->put_PageHeight(options.pageHeight);
    settings->put_MarginTop(options.marginTop);
    settings->put_MarginBottom(options.marginBottom);
    settings->put_MarginLeft(options.marginLeft);
    settings->put_MarginRight(options.marginRight);
    settings->put_ShouldPrintBackgrounds(options.backgrounds);
    settings->put_ShouldPrintSelectionOnly(options.selectionOnly);
    settings->put_ShouldPrintHeaderAndFooter(options.headerAndFooter);
    settings->put_HeaderTitle(options.headerTitle);
    settings->put_FooterUri(options.footerUri);
    return settings;
}

Variant cWebView2::PrintToPdf(const QString& resultFilePath, double secondsToWait, bool landscape,
                              double scaleFactor, double pageWidth, double pageHeight,
                              double marginTop, double marginBottom, double marginLeft,
                              double marginRight, bool shouldPrintBackgrounds,
                              bool shouldPrintSelectionOnly, bool shouldPrintHeaderAndFooter,
                              const QString& headerTitle, const QString& footerUri) {
    if (!m_core7)
        return {};
    const auto settings =
        pvPrintSettings({landscape, scaleFactor, pageWidth, pageHeight, marginTop, marginBottom,
                         marginLeft, marginRight, shouldPrintBackgrounds, shouldPrintSelectionOnly,
                         shouldPrintHeaderAndFooter, headerTitle, footerUri});
    const Currency token = pvNewToken();
    const auto handler = pvNewCallback(token)->completion<ICoreWebView2PrintToPdfCompletedHandler>(
        [token](cWebView2& o, HRESULT result, bool success) {
            o.OnExecuteScriptCompleted(
                result, success ? QStringLiteral("true") : QStringLiteral("false"), token);
            return hr::S_OK;
        });
    const HRESULT started = m_core7->PrintToPdf(resultFilePath, settings.get(), handler.get());
    if (hr::failed(started)) {
        pvReport(QStringLiteral("PrintToPdf"), QStringLiteral("Error &H%1").arg(hexOf(started)));
        return Variant(false);
    }
    if (secondsToWait <= 0)
        return Variant(true);
    const auto record = pvWaitForRecord(token, secondsToWait);
    if (!record)
        return {};
    return Variant(hr::succeeded(record->result) &&
                   record->value.toString() == QLatin1String("true"));
}

void cWebView2::OnPrintToPdfStream(HRESULT result, const QByteArray& pdf, Currency token) {
    pvStoreCompletion(token, {result, Variant::fromBytes(pdf), {}});
}

QByteArray cWebView2::PrintToPdfStream(double secondsToWait, bool landscape) {
    if (!m_core16)
        return {};
    const auto settings =
        pvPrintSettings({landscape, 1, 8.5, 11, 0.4, 0.4, 0.4, 0.4, false, false, false, {}, {}});
    const Currency token = pvNewToken();
    const auto handler =
        pvNewCallback(token)->completion<ICoreWebView2PrintToPdfStreamCompletedHandler>(
            [token](cWebView2& o, HRESULT result, const QByteArray& pdf) {
                o.OnPrintToPdfStream(result, pdf, token);
                return hr::S_OK;
            });
    if (hr::failed(m_core16->PrintToPdfStream(settings.get(), handler.get())))
        return {};
    const auto record = pvWaitForRecord(token, secondsToWait);
    if (!record || hr::failed(record->result))
        return {};
    return record->value.toBytes();
}

ComPtr<ICoreWebView2CookieManager> cWebView2::pvCookieManager() const {
    ComPtr<ICoreWebView2CookieManager> manager;
    if (m_core2)
        m_core2->get_CookieManager(manager.put());
    return manager;
}

Variant cWebView2::pvCookieToCollection(ICoreWebView2Cookie* cookie) {
    auto item = Collection::create();
    QString text;
    bool flag = false;
    double expires = 0;
    COREWEBVIEW2_COOKIE_SAME_SITE_KIND sameSite = COREWEBVIEW2_COOKIE_SAME_SITE_KIND_NONE;
    cookie->get_Name(&text);
    item->add(Variant(text), QStringLiteral("Name"));
    cookie->get_Value(&text);
    item->add(Variant(text), QStringLiteral("Value"));
    cookie->get_Domain(&text);
    item->add(Variant(text), QStringLiteral("Domain"));
    cookie->get_Path(&text);
    item->add(Variant(text), QStringLiteral("Path"));
    cookie->get_IsSession(&flag);
    item->add(Variant(flag), QStringLiteral("IsSession"));
    if (!flag) {
        cookie->get_Expires(&expires);
        item->add(Variant(OleDate{expires / 86400.0 + 25569.0}), QStringLiteral("Expires"));
    }
    cookie->get_IsSecure(&flag);
    item->add(Variant(flag), QStringLiteral("IsSecure"));
    cookie->get_IsHttpOnly(&flag);
    item->add(Variant(flag), QStringLiteral("IsHttpOnly"));
    cookie->get_SameSite(&sameSite);
    item->add(Variant(std::int32_t(sameSite)), QStringLiteral("SameSite"));
    return collectionVariant(item);
}

void cWebView2::OnGetCookies(HRESULT result, ICoreWebView2CookieList* list, Currency token) {
    if (!m_pending.contains(tokenKey(token, 'P')))
        return;
    auto cookies = Collection::create();
    std::uint32_t count = 0;
    if (hr::succeeded(result) && list)
        list->get_Count(&count);
    for (std::uint32_t i = 0; i < count; ++i) {
        ComPtr<ICoreWebView2Cookie> cookie;
        if (hr::succeeded(list->GetValueAtIndex(i, cookie.put())) && cookie)
            cookies->add(pvCookieToCollection(cookie.get()));
    }
    pvStoreCompletion(token, {result, collectionVariant(cookies), {}});
}

Variant cWebView2::GetCookies(const QString& uri, double secondsToWait) {
    const auto manager = pvCookieManager();
    if (!manager)
        return {};
    const Currency token = pvNewToken();
    const auto handler = pvNewCallback(token)->completion<ICoreWebView2GetCookiesCompletedHandler>(
        [token](cWebView2& o, HRESULT result, ICoreWebView2CookieList* list) {
            o.OnGetCookies(result, list, token);
            return hr::S_OK;
        });
    if (hr::failed(manager->GetCookies(uri, handler.get())))
        return {};
    const auto record = pvWaitForRecord(token, secondsToWait);
    if (!record || hr::failed(record->result))
        return {};
    return record->value;
}

void cWebView2::AddOrUpdateCookie(const QString& name, const QString& value, const QString& domain,
                                  const QString& path, double expires, bool isSecure,
                                  bool isHttpOnly, int sameSite) {
    const auto manager = pvCookieManager();
    ComPtr<ICoreWebView2Cookie> cookie;
    if (!manager || hr::failed(manager->CreateCookie(name, value, domain, path, cookie.put())))
        return;
    if (expires != 0)
        cookie->put_Expires((expires - 25569.0) * 86400.0);
    cookie->put_IsSecure(isSecure);
    cookie->put_IsHttpOnly(isHttpOnly);
    cookie->put_SameSite(static_cast<COREWEBVIEW2_COOKIE_SAME_SITE_KIND>(sameSite));
    manager->AddOrUpdateCookie(cookie.get());
}

void cWebView2::DeleteCookies(const QString& name, const QString& uri) {
    if (const auto manager = pvCookieManager())
        manager->DeleteCookies(name, uri);
}

void cWebView2::DeleteAllCookies() {
    if (const auto manager = pvCookieManager())
        manager->DeleteAllCookies();
}

bool cWebView2::pvClearBrowsingData(
    const std::function<HRESULT(ICoreWebView2Profile2*,
                                ICoreWebView2ClearBrowsingDataCompletedHandler*)>& start,
    double secondsToWait) {
    const auto profile2 = pvProfile().query<ICoreWebView2Profile2>();
    if (!profile2)
        return false;
    const Currency token = pvNewToken();
    const auto handler =
        pvNewCallback(token)->completion<ICoreWebView2ClearBrowsingDataCompletedHandler>(
            [token](cWebView2& o, HRESULT result) {
                o.OnExecuteScriptCompleted(result, QString(), token);
                return hr::S_OK;
            });
    if (hr::failed(start(profile2.get(), handler.get())))
        return false;
    const auto record = pvWaitForRecord(token, secondsToWait);
    return record && hr::succeeded(record->result);
}

bool cWebView2::ClearBrowsingData(std::uint32_t dataKinds, double secondsToWait) {
    return pvClearBrowsingData(
        [dataKinds](ICoreWebView2Profile2* profile,
                    ICoreWebView2ClearBrowsingDataCompletedHandler* h) {
            return profile->ClearBrowsingData(
                static_cast<COREWEBVIEW2_BROWSING_DATA_KINDS>(dataKinds), h);
        },
        secondsToWait);
}

bool cWebView2::ClearBrowsingDataAll(double secondsToWait) {
    return pvClearBrowsingData(
        [](ICoreWebView2Profile2* profile, ICoreWebView2ClearBrowsingDataCompletedHandler* h) {
            return profile->ClearBrowsingDataAll(h);
        },
        secondsToWait);
}
