#pragma once

#include "platform/HResult.h"
#include "platform/automation/Variant.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class QWidget;
class cWebView2Callback;
enum class DeferredEvent;
template <typename T> class ComPtr;
struct ICoreWebView2ClearBrowsingDataCompletedHandler;
struct ICoreWebView2Controller;
struct ICoreWebView2Cookie;
struct ICoreWebView2CookieList;
struct ICoreWebView2CookieManager;
struct ICoreWebView2Environment;
struct ICoreWebView2ExecuteScriptCompletedHandler;
struct ICoreWebView2PrintSettings;
struct ICoreWebView2Profile;
struct ICoreWebView2Profile2;
struct ICoreWebView2BasicAuthenticationRequestedEventArgs;
struct ICoreWebView2DownloadStartingEventArgs;
struct ICoreWebView2NewWindowRequestedEventArgs;
struct ICoreWebView2WebResourceRequestedEventArgs;

// One browser of the runtime, driven synchronously: creation and placement in
// a host widget, waits with time-outs over the event loop, scripts and the
// script bridge, host objects and web messages, JSON, and the runtime's
// completions and events turned into signals. Events that the runtime does
// not wait for are queued and raised from a zero-delay timer, outside the
// runtime's callbacks; the others are raised at once and their by-reference
// arguments go back to the runtime.
//
// Every wait pumps events, so queued events are raised during the wait of the
// member that caused them. InitComplete is one of them: it is raised once,
// from the queue and never inside the runtime's completion callback, once the
// browser is bound and usable, so its handler may itself call members that
// wait. When BindTo waits, InitComplete may come before or after it returns;
// when BindTo does not wait, it comes after.
class cWebView2 : public QObject {
    Q_OBJECT

public:
    explicit cWebView2(QObject* parent = nullptr);
    ~cWebView2() override;

    // ---- creation and placement
    bool BindTo(QWidget* hostWindow, double secondsToWaitForInitComplete = 8,
                const QString& browserInstallPath = {}, const QString& userDataFolder = {},
                const QString& additionalBrowserArguments = {},
                bool allowSingleSignOnUsingOSPrimaryAccount = false,
                bool exclusiveUserDataFolderAccess = false,
                bool isCustomCrashReportingEnabled = false, bool enableTrackingPrevention = true,
                bool areBrowserExtensionsEnabled = false);
    QWidget* HosthWnd() const;
    void setHosthWnd(QWidget* hostWindow);
    void SyncSizeToHostWindow();
    // Arguments without a value keep the current bound; each receives the effective value.
    void MoveRelativeToHostWindow(std::optional<int>& x, std::optional<int>& y,
                                  std::optional<int>& dx, std::optional<int>& dy);
    void SetBoundsAndZoomFactor(int left, int top, int right, int bottom, double zoomFactor);
    void NotifyParentWindowPositionChanged();
    void SetFocus(int reason);
    double ZoomFactor() const;
    void setZoomFactor(double zoomFactor);
    Variant TrySuspend(double secondsToWait);
    void ResumeFromSuspend();
    bool IsSuspended() const;
    void Shutdown();
    QString GetMostRecentInstallPath(const QString& edgeChannel, QString& versionString);
    static QString Get_cWebview2Version() { return QStringLiteral("1.1.0"); }

    double jsCallTimeOutSeconds() const;
    void setJsCallTimeOutSeconds(double seconds);
    QString jsLastError() const;
    bool isBound() const;
    // Per-call handlers whose completion has not arrived yet.
    qsizetype pendingCallbacks() const;

    // ---- state and settings (False, 0 or "" while the carrying interface is absent)
    bool CanGoBack() const;
    bool CanGoForward() const;
    QString DocumentURL() const;
    QString DocumentTitle() const;
    std::int32_t BrowserProcessId() const;
    bool ContainsFullScreenElement() const;
    QString BrowserVersion() const;
    QString StatusBarText() const;
    bool IsMuted() const;
    void setIsMuted(bool value);
    bool IsDocumentPlayingAudio() const;
    QString ProfileName() const;
    QString ProfilePath() const;
    bool IsInPrivateModeEnabled() const;
    QString DefaultDownloadFolderPath() const;
    void setDefaultDownloadFolderPath(const QString& path);
    // The colour scheme of the profile (0 Auto, 1 Light, 2 Dark); a scheme the
    // browser cannot take is raised to the caller as an error.
    std::int32_t PreferredColorScheme() const;
    void setPreferredColorScheme(std::int32_t scheme);
    // The runtime has no tracking prevention interface: 0 (none), and writes do nothing.
    std::int32_t PreferredTrackingPreventionLevel() const { return 0; }
    // The facilities the runtime reports it lacks, by their WebView2 names.
    static QStringList AbsentFacilities();
    static bool IsFacilityAbsent(const QString& name);
    // The start-up options the bound browser works with: what BindTo asked
    // for, False where the runtime lacks the facility.
    bool EnableTrackingPrevention() const;
    bool AreBrowserExtensionsEnabled() const;
    QString UserAgent() const;
    void setUserAgent(const QString& value);
    // Boolean settings by their runtime names ("IsScriptEnabled", "AreDevToolsEnabled", ...).
    // A setting the runtime lacks reads False and ignores writes; a name that is
    // no setting at all is an error (438).
    bool setting(const QString& name) const;
    void setSetting(const QString& name, bool value);

    // ---- scripts
    void ExecuteScript(const QString& jsCode);
    void AddScriptToExecuteOnDocumentCreated(const QString& jsCode);
    Variant jsRun(const QString& funcName, const QList<Variant>& args = {});
    Currency jsRunAsync(const QString& funcName, const QList<Variant>& args = {});
    Variant jsCallByName(const Variant& obj, const QString& methodName, int callType,
                         const QList<Variant>& args = {});
    Variant jsProp(const QString& propName);
    void setJsProp(const QString& propName, const Variant& value);
    bool jsBridgeAvailable() const;
    // Late-bound call on any dispatch object; a failure is raised to the caller.
    static Variant CallByName(const Variant& obj, const QString& procName, int callType,
                              QList<Variant> args = {});

    // ---- host objects and web messages
    void AddObject(const QString& objName, Variant& obj);
    void RemoveObject(const QString& objName);
    void PostWebMessageAsString(const QString& message);
    void PostWebMessageAsJson(const QString& json);

    // ---- JSON
    static QString JsonEncode(const Variant& value);
    static QString GetCollectionKeys(const Variant& collection);

    // ---- navigation (1 when the navigation completed in time, Empty otherwise)
    Variant Navigate(const QString& uri, double secondsToWait = 0);
    Variant NavigateToString(const QString& htmlContent, double secondsToWait = 0);
    // A navigation with its own method ("GET" or "POST"), CRLF-separated header
    // lines and body.
    Variant NavigateWithWebResourceRequest(const QString& uri, const QString& method,
                                           const QString& headers, const QByteArray& content,
                                           double secondsToWait = 0);
    void Reload();
    void GoBack();
    void GoForward();
    void Stop_();
    void OpenDevToolsWindow();
    void AddWebResourceRequestedFilter(const QString& filter, int resourceContext);
    void RemoveWebResourceRequestedFilter(const QString& filter, int resourceContext);

    // ---- asynchronous operations
    QByteArray CapturePreview(int imageFormat);
    Variant PrintToPdf(const QString& resultFilePath, double secondsToWait = 30,
                       bool landscape = false, double scaleFactor = 1, double pageWidth = 8.5,
                       double pageHeight = 11, double marginTop = 0.4, double marginBottom = 0.4,
                       double marginLeft = 0.4, double marginRight = 0.4,
                       bool shouldPrintBackgrounds = false, bool shouldPrintSelectionOnly = false,
                       bool shouldPrintHeaderAndFooter = false, const QString& headerTitle = {},
                       const QString& footerUri = {});
    // The PDF as bytes; empty when the interface is absent or printing failed.
    QByteArray PrintToPdfStream(double secondsToWait = 30, bool landscape = false,
                                double scaleFactor = 1, double pageWidth = 8.5,
                                double pageHeight = 11, double marginTop = 0.4,
                                double marginBottom = 0.4, double marginLeft = 0.4,
                                double marginRight = 0.4, bool shouldPrintBackgrounds = false,
                                bool shouldPrintSelectionOnly = false,
                                bool shouldPrintHeaderAndFooter = false,
                                const QString& headerTitle = {}, const QString& footerUri = {});
    // Opens the print dialog (0 the browser's, 1 the system's); False when the
    // interface is absent or the browser refused.
    bool ShowPrintUI(int printDialogKind);
    Variant GetCookies(const QString& uri, double secondsToWait = 8);
    void AddOrUpdateCookie(const QString& name, const QString& value, const QString& domain,
                           const QString& path, double expires, bool isSecure, bool isHttpOnly,
                           int sameSite);
    void DeleteCookies(const QString& name, const QString& uri);
    void DeleteAllCookies();
    bool ClearBrowsingData(std::uint32_t dataKinds, double secondsToWait = 8);
    bool ClearBrowsingDataAll(double secondsToWait = 8);

    // ---- browser extensions (the runtime has none: nothing is installed or listed)
    // The new extension's identifier; empty when it was not installed.
    QString AddBrowserExtension(const QString& extensionFolderPath, double secondsToWait = 8);
    // A Collection of Collections with "Id", "Name" and "IsEnabled".
    Variant GetBrowserExtensions(double secondsToWait = 8);
    // -1 when no extension matches (by identifier, then by name), 1 enabled, 0 disabled.
    std::int32_t GetBrowserExtensionState(const QString& extensionIdOrName,
                                          double secondsToWait = 8);
    bool EnableBrowserExtension(const QString& extensionIdOrName, bool isEnabled,
                                double secondsToWait = 8);
    bool RemoveBrowserExtension(const QString& extensionIdOrName, double secondsToWait = 8);

    // Failures that members trap are reported here (member name, description);
    // by default they are dropped, as a release build does.
    using DiagnosticHook = std::function<void(const QString& member, const QString& description)>;
    static void setDiagnosticHook(DiagnosticHook hook);
    // The folder the loader search starts from; the control library's folder by default.
    static void setLibraryFolder(const QString& folder);
    // The loader found by searching upward from <folder>/KestDicomAx/, or "".
    static QString findLoader(const QString& libraryFolder);

signals:
    void InitComplete();
    void DocumentComplete();
    void ProcessFailed();
    void SourceChanged();
    void NavigationStarting(bool isUserInitiated, bool isRedirected, const QString& uri,
                            bool& cancel);
    void NavigationCompleted(bool isSuccess, int webErrorStatus);
    void UserContextMenu(int screenX, int screenY);
    void JSMessage(const QString& sMsg, const QString& sMsgContent, QString& oJSONContent);
    void JSAsyncResult(Variant& result, Currency token, const QString& errString);
    void GotFocus(int reason);
    void LostFocus(int reason);
    void AcceleratorKeyPressed(int keyState, bool isExtendedKey, bool wasKeyDown,
                               bool isKeyReleased, bool isMenuKeyDown, int repeatCount,
                               int scanCode, bool& isHandled);
    void NewWindowRequested(bool isUserInitiated, bool& isHandled, const QString& uri,
                            Variant& newWindowFeatures);
    void PermissionRequested(bool isUserInitiated, int& state, const QString& uri,
                             int permissionKind);
    void ScriptDialogOpening(int scriptDialogKind, bool& accept, QString& resultText,
                             const QString& uri, const QString& message,
                             const QString& defaultText);
    void WebResourceResponseReceived(const QString& reqUri, const QString& reqMethod,
                                     int respStatus, const QString& respReasonPhrase,
                                     Variant& respHeaders, Variant& respHeadersIdx);
    void FrameCreated(const QString& frameName);
    void DownloadStarting(const QString& uri, const QString& mimeType,
                          const QString& localSuggestedPath, const QString& localSuggestedFile,
                          bool& cancelBrowserDialog, bool& cancelDownloadOp,
                          QString& newLocalFilePath);
    void WebResourceRequested(const QString& uri, int filterType, int& permit);
    void TitleChanged(const QString& title);
    void ContentLoading(bool isErrorPage);
    void HistoryChanged();
    void WindowCloseRequested();
    void ZoomFactorChanged();
    void MoveFocusRequested(int reason, bool& handled);
    void ContextMenuRequested(const QString& pageUri, const QString& linkUri,
                              const QString& selectionText, int screenX, int screenY,
                              bool& handled);
    void DOMContentLoaded();
    void StatusBarTextChanged(const QString& text);
    void ContainsFullScreenElementChanged();
    void BasicAuthenticationRequested(const QString& uri, const QString& challenge,
                                      QString& userName, QString& password, bool& cancel);

private:
    friend class cWebView2Callback;
    struct Private;
    struct Record;
    struct EventRecord;
    struct PrintOptions;

    // start-up
    HRESULT pvCreateWebView2Environment(const QString& installPath, const QString& userDataFolder,
                                        cWebView2Callback* options, cWebView2Callback* handler);
    void OnEnvironmentCreated(HRESULT result, ICoreWebView2Environment* environment);
    void OnControllerCreated(HRESULT result, ICoreWebView2Controller* controller);
    void pvConfigureController(ICoreWebView2Controller* controller);
    void pvRegisterEvents();
    void pvRegisterNavigationEvents();
    void pvRegisterPageEvents();
    void pvRegisterDocumentEvents();
    void pvRegisterControllerEvents();
    void pvRegisterNewerEvents();
    Variant pvWindowFeatures(ICoreWebView2NewWindowRequestedEventArgs* args);
    HRESULT SinkWebResourceRequested(ICoreWebView2WebResourceRequestedEventArgs* args);
    HRESULT SinkDownloadStarting(ICoreWebView2DownloadStartingEventArgs* args);
    HRESULT
    SinkBasicAuthenticationRequested(ICoreWebView2BasicAuthenticationRequestedEventArgs* args);

    // waits
    bool pvPumpUntil(const bool& flag, double seconds);
    bool pvPumpUntilKey(const QString& key, double seconds);
    bool pvWaitFor(const std::function<bool()>& done, double seconds);
    Currency pvNewToken();
    // A callback for one call, kept (to be detached by Shutdown) until its completion runs.
    ComPtr<cWebView2Callback> pvNewCallback(Currency token);
    void pvForgetCallback(const cWebView2Callback* callback);
    // Waits for a completion of token; the record, or nothing after a time-out.
    std::optional<Record> pvWaitForRecord(Currency token, double seconds);

    // scripts
    ComPtr<ICoreWebView2ExecuteScriptCompletedHandler> pvScriptHandler(Currency token);
    bool pvExecScriptSync(const QString& script, Variant& result);
    bool pvBridgeInvoke(const QString& member, const QList<Variant>& leading,
                        const QList<Variant>& trailing, Variant& result);
    static QString pvBuildCallScript(const QString& name, const QList<Variant>& args);
    static std::optional<QString> pvEvalText(const QString& name, const QList<Variant>& args);
    static bool pvIsScriptPath(const QString& path);

    // completions and events
    void OnExecuteScriptCompleted(HRESULT result, const QString& resultText, Currency token);
    void pvStoreCompletion(Currency token, Record record);
    void RaiseResultEvent(const Variant& result, const Variant& token, const QString& errorText);
    void RaiseMessageEvent(const QString& message, const QString& content);
    void RaiseContextMenuEvent(int screenX, int screenY);
    void SetFuncObj(const Variant& bridge);
    void pvPostEvent(DeferredEvent event, QList<Variant> args = {});
    void TimerProc();
    void pvRaiseDeferred(const EventRecord& record);
    void pvReport(const QString& member, const QString& description) const;

    // navigation and asynchronous operations
    Variant pvNavigateAndWait(const std::function<HRESULT()>& start, double secondsToWait);
    ComPtr<ICoreWebView2Profile> pvProfile() const;
    ComPtr<ICoreWebView2PrintSettings> pvPrintSettings(const PrintOptions& options) const;
    ComPtr<ICoreWebView2CookieManager> pvCookieManager() const;
    static Variant pvCookieToCollection(ICoreWebView2Cookie* cookie);
    void OnGetCookies(HRESULT result, ICoreWebView2CookieList* list, Currency token);
    void OnPrintToPdfStream(HRESULT result, const QByteArray& pdf, Currency token);
    bool pvClearBrowsingData(
        const std::function<HRESULT(ICoreWebView2Profile2*,
                                    ICoreWebView2ClearBrowsingDataCompletedHandler*)>& start,
        double secondsToWait);

    std::unique_ptr<Private> d;
};
