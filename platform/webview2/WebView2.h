#pragma once

#include "ComPtr.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>

class QIODevice;
class QWidget;
class Variant;

// The browser runtime's interface: the WebView2 object model rendered in C++.
// Interfaces keep WebView2's names, members and numeric values; strings are
// QString (no task memory), BOOL is bool, streams are QIODevice or QByteArray,
// the parent window is a QWidget. A later version of an interface carries the
// members of the WebView2 release that introduced them; members and versions
// that Qt WebEngine cannot honour are left out, so QueryInterface answers
// E_NOINTERFACE for them as an older runtime would. Every completion and event
// arrives on the UI thread through the event loop, never inside the call that
// started it.

struct EventRegistrationToken {
    std::int64_t value = 0;
};

struct RECT {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
    friend bool operator==(const RECT&, const RECT&) = default;
};

enum COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT {
    COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT_PNG = 0,
    COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT_JPEG = 1,
};

enum COREWEBVIEW2_SCRIPT_DIALOG_KIND {
    COREWEBVIEW2_SCRIPT_DIALOG_KIND_ALERT = 0,
    COREWEBVIEW2_SCRIPT_DIALOG_KIND_CONFIRM = 1,
    COREWEBVIEW2_SCRIPT_DIALOG_KIND_PROMPT = 2,
    COREWEBVIEW2_SCRIPT_DIALOG_KIND_BEFOREUNLOAD = 3,
};

enum COREWEBVIEW2_PROCESS_FAILED_KIND {
    COREWEBVIEW2_PROCESS_FAILED_KIND_BROWSER_PROCESS_EXITED = 0,
    COREWEBVIEW2_PROCESS_FAILED_KIND_RENDER_PROCESS_EXITED = 1,
    COREWEBVIEW2_PROCESS_FAILED_KIND_RENDER_PROCESS_UNRESPONSIVE = 2,
};

enum COREWEBVIEW2_PERMISSION_KIND {
    COREWEBVIEW2_PERMISSION_KIND_UNKNOWN_PERMISSION = 0,
    COREWEBVIEW2_PERMISSION_KIND_MICROPHONE = 1,
    COREWEBVIEW2_PERMISSION_KIND_CAMERA = 2,
    COREWEBVIEW2_PERMISSION_KIND_GEOLOCATION = 3,
    COREWEBVIEW2_PERMISSION_KIND_NOTIFICATIONS = 4,
    COREWEBVIEW2_PERMISSION_KIND_OTHER_SENSORS = 5,
    COREWEBVIEW2_PERMISSION_KIND_CLIPBOARD_READ = 6,
};

enum COREWEBVIEW2_PERMISSION_STATE {
    COREWEBVIEW2_PERMISSION_STATE_DEFAULT = 0,
    COREWEBVIEW2_PERMISSION_STATE_ALLOW = 1,
    COREWEBVIEW2_PERMISSION_STATE_DENY = 2,
};

enum COREWEBVIEW2_WEB_ERROR_STATUS {
    COREWEBVIEW2_WEB_ERROR_STATUS_UNKNOWN = 0,
    COREWEBVIEW2_WEB_ERROR_STATUS_CERTIFICATE_COMMON_NAME_IS_INCORRECT = 1,
    COREWEBVIEW2_WEB_ERROR_STATUS_CERTIFICATE_EXPIRED = 2,
    COREWEBVIEW2_WEB_ERROR_STATUS_CLIENT_CERTIFICATE_CONTAINS_ERRORS = 3,
    COREWEBVIEW2_WEB_ERROR_STATUS_CERTIFICATE_REVOKED = 4,
    COREWEBVIEW2_WEB_ERROR_STATUS_CERTIFICATE_IS_INVALID = 5,
    COREWEBVIEW2_WEB_ERROR_STATUS_SERVER_UNREACHABLE = 6,
    COREWEBVIEW2_WEB_ERROR_STATUS_TIMEOUT = 7,
    COREWEBVIEW2_WEB_ERROR_STATUS_ERROR_HTTP_INVALID_SERVER_RESPONSE = 8,
    COREWEBVIEW2_WEB_ERROR_STATUS_CONNECTION_ABORTED = 9,
    COREWEBVIEW2_WEB_ERROR_STATUS_CONNECTION_RESET = 10,
    COREWEBVIEW2_WEB_ERROR_STATUS_DISCONNECTED = 11,
    COREWEBVIEW2_WEB_ERROR_STATUS_CANNOT_CONNECT = 12,
    COREWEBVIEW2_WEB_ERROR_STATUS_HOST_NAME_NOT_RESOLVED = 13,
    COREWEBVIEW2_WEB_ERROR_STATUS_OPERATION_CANCELED = 14,
    COREWEBVIEW2_WEB_ERROR_STATUS_REDIRECT_FAILED = 15,
    COREWEBVIEW2_WEB_ERROR_STATUS_UNEXPECTED_ERROR = 16,
    COREWEBVIEW2_WEB_ERROR_STATUS_VALID_AUTHENTICATION_CREDENTIALS_REQUIRED = 17,
    COREWEBVIEW2_WEB_ERROR_STATUS_VALID_PROXY_AUTHENTICATION_REQUIRED = 18,
};

enum COREWEBVIEW2_WEB_RESOURCE_CONTEXT {
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT_ALL = 0,
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT_DOCUMENT = 1,
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT_STYLESHEET = 2,
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT_IMAGE = 3,
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT_MEDIA = 4,
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT_FONT = 5,
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT_SCRIPT = 6,
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT_XML_HTTP_REQUEST = 7,
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT_FETCH = 8,
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT_TEXT_TRACK = 9,
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT_EVENT_SOURCE = 10,
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT_WEBSOCKET = 11,
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT_MANIFEST = 12,
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT_SIGNED_EXCHANGE = 13,
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT_PING = 14,
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT_CSP_VIOLATION_REPORT = 15,
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT_OTHER = 16,
};

enum COREWEBVIEW2_PREFERRED_COLOR_SCHEME {
    COREWEBVIEW2_PREFERRED_COLOR_SCHEME_AUTO = 0,
    COREWEBVIEW2_PREFERRED_COLOR_SCHEME_LIGHT = 1,
    COREWEBVIEW2_PREFERRED_COLOR_SCHEME_DARK = 2,
};

enum COREWEBVIEW2_MOVE_FOCUS_REASON {
    COREWEBVIEW2_MOVE_FOCUS_REASON_PROGRAMMATIC = 0,
    COREWEBVIEW2_MOVE_FOCUS_REASON_NEXT = 1,
    COREWEBVIEW2_MOVE_FOCUS_REASON_PREVIOUS = 2,
};

enum COREWEBVIEW2_KEY_EVENT_KIND {
    COREWEBVIEW2_KEY_EVENT_KIND_KEY_DOWN = 0,
    COREWEBVIEW2_KEY_EVENT_KIND_KEY_UP = 1,
    COREWEBVIEW2_KEY_EVENT_KIND_SYSTEM_KEY_DOWN = 2,
    COREWEBVIEW2_KEY_EVENT_KIND_SYSTEM_KEY_UP = 3,
};

enum COREWEBVIEW2_DOWNLOAD_STATE {
    COREWEBVIEW2_DOWNLOAD_STATE_IN_PROGRESS = 0,
    COREWEBVIEW2_DOWNLOAD_STATE_INTERRUPTED = 1,
    COREWEBVIEW2_DOWNLOAD_STATE_COMPLETED = 2,
};

enum COREWEBVIEW2_COOKIE_SAME_SITE_KIND {
    COREWEBVIEW2_COOKIE_SAME_SITE_KIND_NONE = 0,
    COREWEBVIEW2_COOKIE_SAME_SITE_KIND_LAX = 1,
    COREWEBVIEW2_COOKIE_SAME_SITE_KIND_STRICT = 2,
};

enum COREWEBVIEW2_PRINT_ORIENTATION {
    COREWEBVIEW2_PRINT_ORIENTATION_PORTRAIT = 0,
    COREWEBVIEW2_PRINT_ORIENTATION_LANDSCAPE = 1,
};

enum COREWEBVIEW2_PRINT_DIALOG_KIND {
    COREWEBVIEW2_PRINT_DIALOG_KIND_BROWSER = 0,
    COREWEBVIEW2_PRINT_DIALOG_KIND_SYSTEM = 1,
};

enum COREWEBVIEW2_BROWSING_DATA_KINDS : std::uint32_t {
    COREWEBVIEW2_BROWSING_DATA_KINDS_FILE_SYSTEMS = 1u << 0,
    COREWEBVIEW2_BROWSING_DATA_KINDS_INDEXED_DB = 1u << 1,
    COREWEBVIEW2_BROWSING_DATA_KINDS_LOCAL_STORAGE = 1u << 2,
    COREWEBVIEW2_BROWSING_DATA_KINDS_WEB_SQL = 1u << 3,
    COREWEBVIEW2_BROWSING_DATA_KINDS_CACHE_STORAGE = 1u << 4,
    COREWEBVIEW2_BROWSING_DATA_KINDS_ALL_DOM_STORAGE = 1u << 5,
    COREWEBVIEW2_BROWSING_DATA_KINDS_COOKIES = 1u << 6,
    COREWEBVIEW2_BROWSING_DATA_KINDS_ALL_SITE = 1u << 7,
    COREWEBVIEW2_BROWSING_DATA_KINDS_DISK_CACHE = 1u << 8,
    COREWEBVIEW2_BROWSING_DATA_KINDS_DOWNLOAD_HISTORY = 1u << 9,
    COREWEBVIEW2_BROWSING_DATA_KINDS_GENERAL_AUTOFILL = 1u << 10,
    COREWEBVIEW2_BROWSING_DATA_KINDS_PASSWORD_AUTOSAVE = 1u << 11,
    COREWEBVIEW2_BROWSING_DATA_KINDS_BROWSING_HISTORY = 1u << 12,
    COREWEBVIEW2_BROWSING_DATA_KINDS_SETTINGS = 1u << 13,
    COREWEBVIEW2_BROWSING_DATA_KINDS_ALL_PROFILE = 1u << 14,
    COREWEBVIEW2_BROWSING_DATA_KINDS_SERVICE_WORKERS = 1u << 15,
};

struct ICoreWebView2;
struct ICoreWebView2Controller;
struct ICoreWebView2Environment;
struct ICoreWebView2Settings;
struct ICoreWebView2Profile;
struct ICoreWebView2CookieManager;
struct ICoreWebView2Cookie;
struct ICoreWebView2CookieList;
struct ICoreWebView2PrintSettings;
struct ICoreWebView2WebResourceResponse;

// ---------------------------------------------------------------- handlers

struct ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler : IUnknown {
    static constexpr Guid IID{
        0xFFC15678, 0x8F9F, 0x4664, {0xB1, 0xDF, 0xBB, 0x14, 0xE9, 0xDD, 0xBF, 0x9A}};
    virtual HRESULT Invoke(HRESULT errorCode, ICoreWebView2Environment* environment) = 0;
};

struct ICoreWebView2CreateCoreWebView2ControllerCompletedHandler : IUnknown {
    static constexpr Guid IID{
        0xE76179E4, 0x6451, 0x4179, {0xB2, 0xA1, 0xCE, 0x8D, 0xF7, 0x34, 0xB3, 0x6C}};
    virtual HRESULT Invoke(HRESULT errorCode, ICoreWebView2Controller* controller) = 0;
};

// The result is the JSON text of the script's value, "null" for undefined, a
// thrown exception or a value JSON cannot represent.
struct ICoreWebView2ExecuteScriptCompletedHandler : IUnknown {
    static constexpr Guid IID{
        0xCE96B927, 0x8438, 0x4F10, {0x86, 0x05, 0x97, 0xE5, 0x99, 0x0D, 0x17, 0x1C}};
    virtual HRESULT Invoke(HRESULT errorCode, const QString& resultObjectAsJson) = 0;
};

struct ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler : IUnknown {
    static constexpr Guid IID{
        0x314EA02A, 0xD734, 0x407E, {0xAA, 0x35, 0xB0, 0x91, 0xC6, 0x5A, 0x06, 0x3D}};
    virtual HRESULT Invoke(HRESULT errorCode, const QString& id) = 0;
};

struct ICoreWebView2CapturePreviewCompletedHandler : IUnknown {
    static constexpr Guid IID{
        0x8D69AA57, 0x95EA, 0x4CE2, {0x91, 0x11, 0xA0, 0x8A, 0xD4, 0x2B, 0x9E, 0xEE}};
    virtual HRESULT Invoke(HRESULT errorCode) = 0;
};

struct ICoreWebView2TrySuspendCompletedHandler : IUnknown {
    static constexpr Guid IID{
        0xEE27D2A2, 0xADC5, 0x4ED4, {0x8E, 0x0A, 0xC3, 0x71, 0xAE, 0xC3, 0xBE, 0x33}};
    virtual HRESULT Invoke(HRESULT errorCode, bool isSuccessful) = 0;
};

struct ICoreWebView2PrintToPdfCompletedHandler : IUnknown {
    static constexpr Guid IID{
        0x8D7F52E3, 0x1132, 0x4B24, {0xB7, 0x8E, 0x23, 0xEC, 0xA6, 0x26, 0x35, 0xCA}};
    virtual HRESULT Invoke(HRESULT errorCode, bool isSuccessful) = 0;
};

struct ICoreWebView2PrintToPdfStreamCompletedHandler : IUnknown {
    static constexpr Guid IID{
        0x04C53E0E, 0xE6F9, 0x47B2, {0x93, 0x90, 0x61, 0x49, 0x80, 0xDE, 0x2B, 0xBB}};
    virtual HRESULT Invoke(HRESULT errorCode, const QByteArray& pdfData) = 0;
};

struct ICoreWebView2GetCookiesCompletedHandler : IUnknown {
    static constexpr Guid IID{
        0xD964938F, 0x7073, 0x4177, {0x8D, 0xA4, 0xD2, 0x6E, 0x5C, 0xCA, 0x67, 0xFF}};
    virtual HRESULT Invoke(HRESULT errorCode, ICoreWebView2CookieList* cookies) = 0;
};

struct ICoreWebView2ClearBrowsingDataCompletedHandler : IUnknown {
    static constexpr Guid IID{
        0xB9EC947D, 0x90F4, 0x4EEE, {0xA1, 0xC0, 0xF2, 0x00, 0x62, 0xC9, 0x2E, 0x05}};
    virtual HRESULT Invoke(HRESULT errorCode) = 0;
};

// Event handlers take the sender and the event's arguments; events without
// arguments pass a null IUnknown.
template <typename Sender, typename Args> struct ICoreWebView2EventHandler : IUnknown {
    virtual HRESULT Invoke(Sender* sender, Args* args) = 0;
};

struct ICoreWebView2NavigationStartingEventArgs;
struct ICoreWebView2ContentLoadingEventArgs;
struct ICoreWebView2SourceChangedEventArgs;
struct ICoreWebView2NavigationCompletedEventArgs;
struct ICoreWebView2ScriptDialogOpeningEventArgs;
struct ICoreWebView2PermissionRequestedEventArgs;
struct ICoreWebView2ProcessFailedEventArgs;
struct ICoreWebView2WebMessageReceivedEventArgs;
struct ICoreWebView2NewWindowRequestedEventArgs;
struct ICoreWebView2WebResourceRequestedEventArgs;
struct ICoreWebView2DOMContentLoadedEventArgs;
struct ICoreWebView2DownloadStartingEventArgs;
struct ICoreWebView2BasicAuthenticationRequestedEventArgs;
struct ICoreWebView2MoveFocusRequestedEventArgs;
struct ICoreWebView2AcceleratorKeyPressedEventArgs;

#define KWV_EVENT_HANDLER(Name, Sender, Args, ...)                                                 \
    struct Name : ICoreWebView2EventHandler<Sender, Args> {                                        \
        static constexpr Guid IID __VA_ARGS__;                                                     \
    }

KWV_EVENT_HANDLER(ICoreWebView2NavigationStartingEventHandler, ICoreWebView2,
                  ICoreWebView2NavigationStartingEventArgs,
                  {0x8365F104, 0x5E61, 0x47A5, {0xAF, 0x1E, 0xA1, 0xA2, 0xC3, 0x1F, 0x2B, 0x7D}});
KWV_EVENT_HANDLER(ICoreWebView2ContentLoadingEventHandler, ICoreWebView2,
                  ICoreWebView2ContentLoadingEventArgs,
                  {0x35BB4955, 0x452A, 0x4C12, {0x82, 0x31, 0x17, 0x47, 0xBA, 0x0C, 0x14, 0x4B}});
KWV_EVENT_HANDLER(ICoreWebView2SourceChangedEventHandler, ICoreWebView2,
                  ICoreWebView2SourceChangedEventArgs,
                  {0x2379F1DB, 0x3B30, 0x4A70, {0x81, 0x65, 0x85, 0x4E, 0x30, 0x77, 0x9E, 0x29}});
KWV_EVENT_HANDLER(ICoreWebView2HistoryChangedEventHandler, ICoreWebView2, IUnknown,
                  {0x70DF7C4A, 0x2B73, 0x4D72, {0x90, 0xFF, 0xD9, 0x91, 0x11, 0x25, 0x5B, 0x92}});
KWV_EVENT_HANDLER(ICoreWebView2NavigationCompletedEventHandler, ICoreWebView2,
                  ICoreWebView2NavigationCompletedEventArgs,
                  {0x4871A72B, 0xDE7C, 0x4099, {0x89, 0x7B, 0x2E, 0x96, 0x60, 0xCD, 0x14, 0x8D}});
KWV_EVENT_HANDLER(ICoreWebView2ScriptDialogOpeningEventHandler, ICoreWebView2,
                  ICoreWebView2ScriptDialogOpeningEventArgs,
                  {0x5DF94E48, 0xE128, 0x4418, {0x9C, 0x16, 0x75, 0xF4, 0xCF, 0xA3, 0x20, 0x6A}});
KWV_EVENT_HANDLER(ICoreWebView2PermissionRequestedEventHandler, ICoreWebView2,
                  ICoreWebView2PermissionRequestedEventArgs,
                  {0xD80FB47A, 0x2B11, 0x4FD9, {0x84, 0xCB, 0x20, 0xF8, 0x2F, 0x1B, 0xAF, 0x7D}});
KWV_EVENT_HANDLER(ICoreWebView2ProcessFailedEventHandler, ICoreWebView2,
                  ICoreWebView2ProcessFailedEventArgs,
                  {0xA976349D, 0xD1A0, 0x47EC, {0x83, 0xDB, 0x4F, 0x31, 0x9B, 0xE4, 0xF7, 0x23}});
KWV_EVENT_HANDLER(ICoreWebView2WebMessageReceivedEventHandler, ICoreWebView2,
                  ICoreWebView2WebMessageReceivedEventArgs,
                  {0x5560EA74, 0x82C3, 0x40C0, {0xA0, 0xFE, 0xC7, 0x92, 0xD3, 0x92, 0x9F, 0xC0}});
KWV_EVENT_HANDLER(ICoreWebView2NewWindowRequestedEventHandler, ICoreWebView2,
                  ICoreWebView2NewWindowRequestedEventArgs,
                  {0x947B3600, 0xE970, 0x4362, {0xAC, 0x2F, 0xFA, 0x4F, 0x45, 0x63, 0xCD, 0x05}});
KWV_EVENT_HANDLER(ICoreWebView2DocumentTitleChangedEventHandler, ICoreWebView2, IUnknown,
                  {0x240AAA46, 0x1D09, 0x4F29, {0x8B, 0x90, 0x07, 0xF8, 0xBF, 0x19, 0xE8, 0x96}});
KWV_EVENT_HANDLER(ICoreWebView2ContainsFullScreenElementChangedEventHandler, ICoreWebView2,
                  IUnknown,
                  {0xD390C0F7, 0xCFD3, 0x450B, {0x8E, 0x2A, 0xEA, 0xC4, 0xED, 0x3B, 0xFF, 0x1C}});
KWV_EVENT_HANDLER(ICoreWebView2WebResourceRequestedEventHandler, ICoreWebView2,
                  ICoreWebView2WebResourceRequestedEventArgs,
                  {0xB3A7A01E, 0x2765, 0x4553, {0x9B, 0x15, 0xCA, 0x75, 0xBE, 0x5B, 0x02, 0xC4}});
KWV_EVENT_HANDLER(ICoreWebView2WindowCloseRequestedEventHandler, ICoreWebView2, IUnknown,
                  {0x266E9852, 0x228E, 0x4451, {0xA9, 0x65, 0xC5, 0x8A, 0x63, 0x8D, 0xB0, 0xF5}});
KWV_EVENT_HANDLER(ICoreWebView2DOMContentLoadedEventHandler, ICoreWebView2,
                  ICoreWebView2DOMContentLoadedEventArgs,
                  {0xCF4C0A59, 0x3CD2, 0x452B, {0xA9, 0xE2, 0x38, 0x80, 0x28, 0xBD, 0xA5, 0xAC}});
KWV_EVENT_HANDLER(ICoreWebView2DownloadStartingEventHandler, ICoreWebView2,
                  ICoreWebView2DownloadStartingEventArgs,
                  {0x9F259E56, 0x7F3D, 0x4274, {0x9B, 0x99, 0x70, 0xE0, 0x49, 0xB5, 0xE2, 0x9F}});
KWV_EVENT_HANDLER(ICoreWebView2IsMutedChangedEventHandler, ICoreWebView2, IUnknown,
                  {0xC5230A1A, 0x96CB, 0x4495, {0xAB, 0x30, 0xC8, 0x59, 0xA0, 0xBE, 0x51, 0x5B}});
KWV_EVENT_HANDLER(ICoreWebView2IsDocumentPlayingAudioChangedEventHandler, ICoreWebView2, IUnknown,
                  {0x93D2FFAB, 0xDCFE, 0x4A08, {0x99, 0x87, 0x5C, 0x7D, 0xB1, 0x53, 0x83, 0x07}});
KWV_EVENT_HANDLER(ICoreWebView2BasicAuthenticationRequestedEventHandler, ICoreWebView2,
                  ICoreWebView2BasicAuthenticationRequestedEventArgs,
                  {0x6DA6EB6A, 0xE281, 0x4E2C, {0xB3, 0x3B, 0xA9, 0x24, 0x2B, 0x68, 0x50, 0xD3}});
KWV_EVENT_HANDLER(ICoreWebView2StatusBarTextChangedEventHandler, ICoreWebView2, IUnknown,
                  {0xDCA2B1F9, 0xDCC3, 0x4E9F, {0x89, 0x35, 0x78, 0x5D, 0x2E, 0x6A, 0x1B, 0x11}});
KWV_EVENT_HANDLER(ICoreWebView2ZoomFactorChangedEventHandler, ICoreWebView2Controller, IUnknown,
                  {0x85DE2F89, 0xF5CB, 0x4209, {0xA7, 0x93, 0x2F, 0x68, 0xEC, 0xF1, 0xD6, 0xDC}});
KWV_EVENT_HANDLER(ICoreWebView2FocusChangedEventHandler, ICoreWebView2Controller, IUnknown,
                  {0x19347B89, 0x4CBE, 0x4486, {0xAD, 0xF9, 0x93, 0x7F, 0x5B, 0x3D, 0xF2, 0xE5}});
KWV_EVENT_HANDLER(ICoreWebView2MoveFocusRequestedEventHandler, ICoreWebView2Controller,
                  ICoreWebView2MoveFocusRequestedEventArgs,
                  {0x8DC2DF68, 0x5EAB, 0x42AE, {0xA6, 0x3F, 0xAE, 0xF8, 0x6E, 0x4D, 0xF3, 0x0C}});
KWV_EVENT_HANDLER(ICoreWebView2AcceleratorKeyPressedEventHandler, ICoreWebView2Controller,
                  ICoreWebView2AcceleratorKeyPressedEventArgs,
                  {0xFA734050, 0x46F7, 0x4EDA, {0x9B, 0x2E, 0x65, 0x61, 0xBC, 0x6B, 0xEE, 0x7F}});

#undef KWV_EVENT_HANDLER

// ---------------------------------------------------------------- options

// Implemented by the caller of CreateCoreWebView2EnvironmentWithOptions; the
// runtime reads it once, while it creates the environment.
struct ICoreWebView2EnvironmentOptions : IUnknown {
    static constexpr Guid IID{
        0x38B2153F, 0x5031, 0x4E38, {0x8A, 0xAD, 0x6D, 0x20, 0x9F, 0x8F, 0x4E, 0x2D}};
    virtual HRESULT get_AdditionalBrowserArguments(QString* value) = 0;
    virtual HRESULT put_AdditionalBrowserArguments(const QString& value) = 0;
    virtual HRESULT get_Language(QString* value) = 0;
    virtual HRESULT put_Language(const QString& value) = 0;
    virtual HRESULT get_TargetCompatibleBrowserVersion(QString* value) = 0;
    virtual HRESULT put_TargetCompatibleBrowserVersion(const QString& value) = 0;
    virtual HRESULT get_AllowSingleSignOnUsingOSPrimaryAccount(bool* allow) = 0;
    virtual HRESULT put_AllowSingleSignOnUsingOSPrimaryAccount(bool allow) = 0;
};

struct ICoreWebView2EnvironmentOptions2 : ICoreWebView2EnvironmentOptions {
    using Base = ICoreWebView2EnvironmentOptions;
    static constexpr Guid IID{
        0x6B5940C3, 0x5FF5, 0x4F9C, {0xB0, 0x30, 0xCC, 0x4B, 0x01, 0x05, 0xC6, 0x7C}};
    virtual HRESULT get_ExclusiveUserDataFolderAccess(bool* value) = 0;
    virtual HRESULT put_ExclusiveUserDataFolderAccess(bool value) = 0;
};

struct ICoreWebView2EnvironmentOptions3 : ICoreWebView2EnvironmentOptions2 {
    using Base = ICoreWebView2EnvironmentOptions2;
    static constexpr Guid IID{
        0x4FF05B5A, 0xEAF6, 0x4512, {0x93, 0xF7, 0x92, 0x67, 0x3E, 0x3B, 0x0B, 0xD5}};
    virtual HRESULT get_IsCustomCrashReportingEnabled(bool* value) = 0;
    virtual HRESULT put_IsCustomCrashReportingEnabled(bool value) = 0;
};

struct ICoreWebView2EnvironmentOptions5 : ICoreWebView2EnvironmentOptions3 {
    using Base = ICoreWebView2EnvironmentOptions3;
    static constexpr Guid IID{
        0xD7AA0862, 0xF2AA, 0x4D46, {0xA1, 0x8A, 0x22, 0x5D, 0xDC, 0xB3, 0x59, 0x8D}};
    virtual HRESULT get_EnableTrackingPrevention(bool* value) = 0;
    virtual HRESULT put_EnableTrackingPrevention(bool value) = 0;
};

struct ICoreWebView2EnvironmentOptions6 : ICoreWebView2EnvironmentOptions5 {
    using Base = ICoreWebView2EnvironmentOptions5;
    static constexpr Guid IID{
        0xE33EF47D, 0xBC82, 0x4394, {0x94, 0x0B, 0x4C, 0x9E, 0xF4, 0xC5, 0xFF, 0xB8}};
    virtual HRESULT get_AreBrowserExtensionsEnabled(bool* value) = 0;
    virtual HRESULT put_AreBrowserExtensionsEnabled(bool value) = 0;
};

// ---------------------------------------------------------------- environment

struct ICoreWebView2Environment : IUnknown {
    static constexpr Guid IID{
        0x35385887, 0xEFC6, 0x4C1E, {0xBF, 0xE3, 0xEF, 0xDB, 0x4C, 0xD4, 0xD4, 0xD3}};
    // The controller's view becomes a child of parentWindow (which must stay
    // alive while the controller is open; Close or the parent's destruction
    // ends the view).
    virtual HRESULT CreateCoreWebView2Controller(
        QWidget* parentWindow,
        ICoreWebView2CreateCoreWebView2ControllerCompletedHandler* handler) = 0;
    // A response for WebResourceRequested. Qt WebEngine's request interceptor
    // can only let a request through or block it, so a response set on a
    // request blocks it whatever its status; its content is not delivered.
    virtual HRESULT CreateWebResourceResponse(const QByteArray& content, int statusCode,
                                              const QString& reasonPhrase, const QString& headers,
                                              ICoreWebView2WebResourceResponse** response) = 0;
    virtual HRESULT get_BrowserVersionString(QString* versionInfo) = 0;
};

struct ICoreWebView2Environment6 : ICoreWebView2Environment {
    using Base = ICoreWebView2Environment;
    static constexpr Guid IID{
        0xA2F5B397, 0xDE95, 0x4A83, {0xB9, 0x86, 0x1C, 0xE9, 0xCC, 0x68, 0x6D, 0xFE}};
    virtual HRESULT CreatePrintSettings(ICoreWebView2PrintSettings** printSettings) = 0;
};

struct ICoreWebView2Environment7 : ICoreWebView2Environment6 {
    using Base = ICoreWebView2Environment6;
    static constexpr Guid IID{
        0x3147AC06, 0x4DFF, 0x48B6, {0xB7, 0xE4, 0xF5, 0xC1, 0x25, 0xA1, 0xC3, 0x43}};
    virtual HRESULT get_UserDataFolder(QString* value) = 0;
};

// ---------------------------------------------------------------- controller

struct ICoreWebView2Controller : IUnknown {
    static constexpr Guid IID{
        0xA299805C, 0x0715, 0x40A2, {0x99, 0xA3, 0x34, 0x69, 0xD1, 0x5E, 0xC8, 0x0C}};
    virtual HRESULT get_IsVisible(bool* isVisible) = 0;
    virtual HRESULT put_IsVisible(bool isVisible) = 0;
    // Bounds are pixels of the parent window's client area.
    virtual HRESULT get_Bounds(RECT* bounds) = 0;
    virtual HRESULT put_Bounds(RECT bounds) = 0;
    virtual HRESULT get_ZoomFactor(double* zoomFactor) = 0;
    virtual HRESULT put_ZoomFactor(double zoomFactor) = 0;
    virtual HRESULT add_ZoomFactorChanged(ICoreWebView2ZoomFactorChangedEventHandler* handler,
                                          EventRegistrationToken* token) = 0;
    virtual HRESULT remove_ZoomFactorChanged(EventRegistrationToken token) = 0;
    virtual HRESULT SetBoundsAndZoomFactor(RECT bounds, double zoomFactor) = 0;
    virtual HRESULT MoveFocus(COREWEBVIEW2_MOVE_FOCUS_REASON reason) = 0;
    // Qt WebEngine moves the focus out of a page by itself and tells nobody
    // first: the event is raised just after Tab or Shift+Tab took the focus out
    // of the view (reason NEXT or PREVIOUS); Handled changes nothing then.
    virtual HRESULT add_MoveFocusRequested(ICoreWebView2MoveFocusRequestedEventHandler* handler,
                                           EventRegistrationToken* token) = 0;
    virtual HRESULT remove_MoveFocusRequested(EventRegistrationToken token) = 0;
    virtual HRESULT add_GotFocus(ICoreWebView2FocusChangedEventHandler* handler,
                                 EventRegistrationToken* token) = 0;
    virtual HRESULT remove_GotFocus(EventRegistrationToken token) = 0;
    virtual HRESULT add_LostFocus(ICoreWebView2FocusChangedEventHandler* handler,
                                  EventRegistrationToken* token) = 0;
    virtual HRESULT remove_LostFocus(EventRegistrationToken token) = 0;
    // Raised for key presses with Ctrl or Alt, function keys and Escape before
    // the page sees them; Handled keeps them from the page.
    virtual HRESULT
    add_AcceleratorKeyPressed(ICoreWebView2AcceleratorKeyPressedEventHandler* handler,
                              EventRegistrationToken* token) = 0;
    virtual HRESULT remove_AcceleratorKeyPressed(EventRegistrationToken token) = 0;
    virtual HRESULT get_ParentWindow(QWidget** parentWindow) = 0;
    virtual HRESULT put_ParentWindow(QWidget* parentWindow) = 0;
    virtual HRESULT NotifyParentWindowPositionChanged() = 0;
    // Destroys the view and its page; later calls fail with 0x8007139F and
    // completions still outstanding are dropped.
    virtual HRESULT Close() = 0;
    virtual HRESULT get_CoreWebView2(ICoreWebView2** coreWebView2) = 0;
};

// ---------------------------------------------------------------- settings

struct ICoreWebView2Settings : IUnknown {
    static constexpr Guid IID{
        0xD411370B, 0x267A, 0x4545, {0x88, 0x81, 0x9F, 0x68, 0x08, 0xC9, 0xED, 0xB1}};
    virtual HRESULT get_IsScriptEnabled(bool* value) = 0;
    virtual HRESULT put_IsScriptEnabled(bool value) = 0;
    virtual HRESULT get_IsWebMessageEnabled(bool* value) = 0;
    virtual HRESULT put_IsWebMessageEnabled(bool value) = 0;
    virtual HRESULT get_AreDefaultScriptDialogsEnabled(bool* value) = 0;
    virtual HRESULT put_AreDefaultScriptDialogsEnabled(bool value) = 0;
    // Qt WebEngine draws no status bubble: the value is kept and reported, and
    // StatusBarText carries the hovered link either way.
    virtual HRESULT get_IsStatusBarEnabled(bool* value) = 0;
    virtual HRESULT put_IsStatusBarEnabled(bool value) = 0;
    virtual HRESULT get_AreDevToolsEnabled(bool* value) = 0;
    virtual HRESULT put_AreDevToolsEnabled(bool value) = 0;
    virtual HRESULT get_AreDefaultContextMenusEnabled(bool* value) = 0;
    virtual HRESULT put_AreDefaultContextMenusEnabled(bool value) = 0;
    virtual HRESULT get_AreHostObjectsAllowed(bool* value) = 0;
    virtual HRESULT put_AreHostObjectsAllowed(bool value) = 0;
    virtual HRESULT get_IsZoomControlEnabled(bool* value) = 0;
    virtual HRESULT put_IsZoomControlEnabled(bool value) = 0;
    virtual HRESULT get_IsBuiltInErrorPageEnabled(bool* value) = 0;
    virtual HRESULT put_IsBuiltInErrorPageEnabled(bool value) = 0;
};

struct ICoreWebView2Settings2 : ICoreWebView2Settings {
    using Base = ICoreWebView2Settings;
    static constexpr Guid IID{
        0xF00E7D35, 0x9176, 0x4BA1, {0xB2, 0xB6, 0x36, 0x44, 0x97, 0x6B, 0xB7, 0xBC}};
    // Qt WebEngine keeps the user agent per profile: writing it changes it for
    // every view of the same environment and user data folder.
    virtual HRESULT get_UserAgent(QString* userAgent) = 0;
    virtual HRESULT put_UserAgent(const QString& userAgent) = 0;
};

struct ICoreWebView2Settings3 : ICoreWebView2Settings2 {
    using Base = ICoreWebView2Settings2;
    static constexpr Guid IID{
        0xBB16BDB7, 0xD089, 0x4D6E, {0x83, 0x9B, 0xAC, 0x61, 0xD1, 0x09, 0x95, 0x0C}};
    // False keeps the accelerator keys (see AcceleratorKeyPressed) from the page.
    virtual HRESULT get_AreBrowserAcceleratorKeysEnabled(bool* value) = 0;
    virtual HRESULT put_AreBrowserAcceleratorKeysEnabled(bool value) = 0;
};

// ---------------------------------------------------------------- event args

struct ICoreWebView2NavigationStartingEventArgs : IUnknown {
    static constexpr Guid IID{
        0xAE97DCD7, 0xC2C5, 0x42C6, {0xB8, 0xCE, 0x5E, 0x70, 0xEB, 0xB3, 0x7D, 0x2D}};
    virtual HRESULT get_Uri(QString* uri) = 0;
    virtual HRESULT get_IsUserInitiated(bool* isUserInitiated) = 0;
    virtual HRESULT get_IsRedirected(bool* isRedirected) = 0;
    virtual HRESULT get_Cancel(bool* cancel) = 0;
    virtual HRESULT put_Cancel(bool cancel) = 0;
    virtual HRESULT get_NavigationId(std::uint64_t* navigationId) = 0;
};

struct ICoreWebView2ContentLoadingEventArgs : IUnknown {
    static constexpr Guid IID{
        0xE4207447, 0x0D29, 0x4501, {0x82, 0x38, 0x86, 0x71, 0x3D, 0x31, 0x42, 0x81}};
    virtual HRESULT get_IsErrorPage(bool* isErrorPage) = 0;
    virtual HRESULT get_NavigationId(std::uint64_t* navigationId) = 0;
};

struct ICoreWebView2SourceChangedEventArgs : IUnknown {
    static constexpr Guid IID{
        0x17693A5D, 0x6D08, 0x4030, {0xA0, 0x8F, 0x24, 0x23, 0x29, 0xAF, 0x2F, 0xF0}};
    virtual HRESULT get_IsNewDocument(bool* isNewDocument) = 0;
};

struct ICoreWebView2NavigationCompletedEventArgs : IUnknown {
    static constexpr Guid IID{
        0xFEE97F8B, 0xFE22, 0x43D3, {0xAA, 0xC9, 0x3D, 0x86, 0x45, 0x46, 0x3D, 0xFE}};
    virtual HRESULT get_IsSuccess(bool* isSuccess) = 0;
    virtual HRESULT get_WebErrorStatus(COREWEBVIEW2_WEB_ERROR_STATUS* webErrorStatus) = 0;
    virtual HRESULT get_NavigationId(std::uint64_t* navigationId) = 0;
};

struct ICoreWebView2DOMContentLoadedEventArgs : IUnknown {
    static constexpr Guid IID{
        0x21D3F491, 0x034D, 0x4309, {0x9D, 0xB7, 0xEA, 0x86, 0x20, 0x4B, 0x81, 0x8F}};
    virtual HRESULT get_NavigationId(std::uint64_t* navigationId) = 0;
};

// Raised only while AreDefaultScriptDialogsEnabled is false; a dialog that is
// not accepted is dismissed (alert closed, confirm and prompt answer false).
struct ICoreWebView2ScriptDialogOpeningEventArgs : IUnknown {
    static constexpr Guid IID{
        0xA1BF4081, 0xFD45, 0x4A92, {0xBF, 0x68, 0xE7, 0x9F, 0x23, 0x07, 0xB4, 0x3C}};
    virtual HRESULT get_Uri(QString* uri) = 0;
    virtual HRESULT get_Kind(COREWEBVIEW2_SCRIPT_DIALOG_KIND* kind) = 0;
    virtual HRESULT get_Message(QString* message) = 0;
    virtual HRESULT Accept() = 0;
    virtual HRESULT get_DefaultText(QString* defaultText) = 0;
    virtual HRESULT get_ResultText(QString* resultText) = 0;
    virtual HRESULT put_ResultText(const QString& resultText) = 0;
};

// Qt WebEngine shows no permission prompt: State DEFAULT refuses the request
// for now (the page may ask again).
struct ICoreWebView2PermissionRequestedEventArgs : IUnknown {
    static constexpr Guid IID{
        0x5CDFABE3, 0xF17C, 0x4E3E, {0x9F, 0xCE, 0x9E, 0x3A, 0xF6, 0xE3, 0x08, 0x18}};
    virtual HRESULT get_Uri(QString* uri) = 0;
    virtual HRESULT get_PermissionKind(COREWEBVIEW2_PERMISSION_KIND* kind) = 0;
    virtual HRESULT get_IsUserInitiated(bool* isUserInitiated) = 0;
    virtual HRESULT get_State(COREWEBVIEW2_PERMISSION_STATE* state) = 0;
    virtual HRESULT put_State(COREWEBVIEW2_PERMISSION_STATE state) = 0;
};

struct ICoreWebView2ProcessFailedEventArgs : IUnknown {
    static constexpr Guid IID{
        0xC5053512, 0xF14F, 0x4ED0, {0x98, 0xD9, 0xB5, 0xA7, 0x30, 0x64, 0x79, 0x1F}};
    virtual HRESULT get_ProcessFailedKind(COREWEBVIEW2_PROCESS_FAILED_KIND* kind) = 0;
};

struct ICoreWebView2WebMessageReceivedEventArgs : IUnknown {
    static constexpr Guid IID{
        0xD43CC776, 0x51D4, 0x4765, {0x82, 0x56, 0x7D, 0xB6, 0x31, 0x69, 0xF8, 0xD0}};
    virtual HRESULT get_Source(QString* source) = 0;
    virtual HRESULT get_WebMessageAsJson(QString* webMessageAsJson) = 0;
    // E_INVALIDARG when the message is not a string.
    virtual HRESULT TryGetWebMessageAsString(QString* webMessageAsString) = 0;
};

// Qt WebEngine reports only the requested geometry of a new window: the four
// ShouldDisplay values read true, as for a window.open without features.
struct ICoreWebView2WindowFeatures : IUnknown {
    static constexpr Guid IID{
        0xB520486A, 0x4CBF, 0x4DBC, {0x81, 0x2D, 0xFE, 0xAC, 0x4A, 0x03, 0xB5, 0x4D}};
    virtual HRESULT get_HasPosition(bool* value) = 0;
    virtual HRESULT get_HasSize(bool* value) = 0;
    virtual HRESULT get_Left(std::uint32_t* value) = 0;
    virtual HRESULT get_Top(std::uint32_t* value) = 0;
    virtual HRESULT get_Height(std::uint32_t* value) = 0;
    virtual HRESULT get_Width(std::uint32_t* value) = 0;
    virtual HRESULT get_ShouldDisplayMenuBar(bool* value) = 0;
    virtual HRESULT get_ShouldDisplayStatus(bool* value) = 0;
    virtual HRESULT get_ShouldDisplayToolbar(bool* value) = 0;
    virtual HRESULT get_ShouldDisplayScrollBars(bool* value) = 0;
};

// Unhandled requests open nowhere (no window is created for them); Handled
// true says the host took care of the URI.
struct ICoreWebView2NewWindowRequestedEventArgs : IUnknown {
    static constexpr Guid IID{
        0xF2B14495, 0xF66B, 0x4A2A, {0xB9, 0xF7, 0xE9, 0x24, 0x63, 0xC4, 0x72, 0xF9}};
    virtual HRESULT get_Uri(QString* uri) = 0;
    virtual HRESULT put_Handled(bool handled) = 0;
    virtual HRESULT get_Handled(bool* handled) = 0;
    virtual HRESULT get_IsUserInitiated(bool* isUserInitiated) = 0;
    virtual HRESULT get_WindowFeatures(ICoreWebView2WindowFeatures** value) = 0;
};

struct ICoreWebView2WebResourceRequest : IUnknown {
    static constexpr Guid IID{
        0xB33AB16C, 0x747F, 0x4454, {0x96, 0x25, 0xC8, 0xED, 0x9E, 0x90, 0x84, 0xDB}};
    virtual HRESULT get_Uri(QString* uri) = 0;
    virtual HRESULT get_Method(QString* method) = 0;
};

struct ICoreWebView2WebResourceResponse : IUnknown {
    static constexpr Guid IID{
        0x2331AFA1, 0x66E5, 0x4BC8, {0x81, 0x83, 0x91, 0x4C, 0x01, 0x53, 0xEB, 0x52}};
    virtual HRESULT get_StatusCode(int* statusCode) = 0;
    virtual HRESULT get_ReasonPhrase(QString* reasonPhrase) = 0;
    virtual HRESULT get_Content(QByteArray* content) = 0;
};

struct ICoreWebView2WebResourceRequestedEventArgs : IUnknown {
    static constexpr Guid IID{
        0x6A2D0008, 0xDCC9, 0x4969, {0x8E, 0x3A, 0x15, 0xA9, 0x60, 0xCC, 0x3D, 0x96}};
    virtual HRESULT get_Request(ICoreWebView2WebResourceRequest** request) = 0;
    virtual HRESULT get_Response(ICoreWebView2WebResourceResponse** response) = 0;
    // Setting a response blocks the request (see CreateWebResourceResponse).
    virtual HRESULT put_Response(ICoreWebView2WebResourceResponse* response) = 0;
    virtual HRESULT get_ResourceContext(COREWEBVIEW2_WEB_RESOURCE_CONTEXT* context) = 0;
};

struct ICoreWebView2DownloadOperation : IUnknown {
    static constexpr Guid IID{
        0x13CE59C7, 0x8530, 0x4BEC, {0x91, 0x4F, 0xB9, 0x85, 0x27, 0x71, 0x5A, 0x56}};
    virtual HRESULT get_Uri(QString* uri) = 0;
    virtual HRESULT get_MimeType(QString* mimeType) = 0;
    virtual HRESULT get_TotalBytesToReceive(std::int64_t* totalBytesToReceive) = 0;
    virtual HRESULT get_BytesReceived(std::int64_t* bytesReceived) = 0;
    virtual HRESULT get_ResultFilePath(QString* resultFilePath) = 0;
    virtual HRESULT get_State(COREWEBVIEW2_DOWNLOAD_STATE* downloadState) = 0;
    virtual HRESULT Cancel() = 0;
    virtual HRESULT Pause() = 0;
    virtual HRESULT Resume() = 0;
};

// Qt WebEngine shows no download dialog, so Handled is kept but changes nothing.
struct ICoreWebView2DownloadStartingEventArgs : IUnknown {
    static constexpr Guid IID{
        0x14B2B1D9, 0x9E2D, 0x411B, {0xBB, 0x39, 0xFA, 0x50, 0x35, 0xB5, 0x9E, 0x53}};
    virtual HRESULT get_DownloadOperation(ICoreWebView2DownloadOperation** downloadOperation) = 0;
    virtual HRESULT get_Cancel(bool* cancel) = 0;
    virtual HRESULT put_Cancel(bool cancel) = 0;
    virtual HRESULT get_ResultFilePath(QString* resultFilePath) = 0;
    virtual HRESULT put_ResultFilePath(const QString& resultFilePath) = 0;
    virtual HRESULT get_Handled(bool* handled) = 0;
    virtual HRESULT put_Handled(bool handled) = 0;
};

struct ICoreWebView2BasicAuthenticationResponse : IUnknown {
    static constexpr Guid IID{
        0xD7A3CBCC, 0xC406, 0x4531, {0x9D, 0xFB, 0x0C, 0xAC, 0xC2, 0x06, 0x0B, 0x10}};
    virtual HRESULT get_UserName(QString* userName) = 0;
    virtual HRESULT put_UserName(const QString& userName) = 0;
    virtual HRESULT get_Password(QString* password) = 0;
    virtual HRESULT put_Password(const QString& password) = 0;
};

struct ICoreWebView2BasicAuthenticationRequestedEventArgs : IUnknown {
    static constexpr Guid IID{
        0x19071448, 0x23C8, 0x4419, {0x90, 0x0B, 0xF1, 0x9F, 0x6B, 0xE4, 0x90, 0xCF}};
    virtual HRESULT get_Uri(QString* value) = 0;
    virtual HRESULT get_Challenge(QString* challenge) = 0;
    virtual HRESULT get_Response(ICoreWebView2BasicAuthenticationResponse** response) = 0;
    virtual HRESULT get_Cancel(bool* cancel) = 0;
    virtual HRESULT put_Cancel(bool cancel) = 0;
};

struct ICoreWebView2MoveFocusRequestedEventArgs : IUnknown {
    static constexpr Guid IID{
        0xB744C795, 0xFCB5, 0x4F45, {0xA9, 0x14, 0xC6, 0x12, 0xD2, 0x6E, 0xB4, 0x79}};
    virtual HRESULT get_Reason(COREWEBVIEW2_MOVE_FOCUS_REASON* reason) = 0;
    virtual HRESULT get_Handled(bool* value) = 0;
    virtual HRESULT put_Handled(bool value) = 0;
};

struct COREWEBVIEW2_PHYSICAL_KEY_STATUS {
    std::uint32_t RepeatCount = 0;
    std::uint32_t ScanCode = 0;
    bool IsExtendedKey = false;
    bool IsMenuKeyDown = false;
    bool WasKeyDown = false;
    bool IsKeyReleased = false;
};

// KeyEventLParam is composed as Windows does for WM_KEYDOWN: repeat count in
// bits 0-15, scan code 16-23, extended 24, Alt 29, previous state 30, release 31.
struct ICoreWebView2AcceleratorKeyPressedEventArgs : IUnknown {
    static constexpr Guid IID{
        0x004247D2, 0xFB4C, 0x4A65, {0xA9, 0x04, 0x88, 0x2C, 0x6E, 0xF8, 0x12, 0xB8}};
    virtual HRESULT get_KeyEventKind(COREWEBVIEW2_KEY_EVENT_KIND* keyEventKind) = 0;
    virtual HRESULT get_VirtualKey(std::uint32_t* virtualKey) = 0;
    virtual HRESULT get_KeyEventLParam(std::int32_t* lParam) = 0;
    virtual HRESULT get_PhysicalKeyStatus(COREWEBVIEW2_PHYSICAL_KEY_STATUS* physicalKeyStatus) = 0;
    virtual HRESULT get_Handled(bool* handled) = 0;
    virtual HRESULT put_Handled(bool handled) = 0;
};

// ---------------------------------------------------------------- cookies

struct ICoreWebView2Cookie : IUnknown {
    static constexpr Guid IID{
        0xE7CD699C, 0x9AB0, 0x4848, {0xA4, 0x8C, 0xF5, 0x02, 0xEA, 0xEE, 0x40, 0xE0}};
    virtual HRESULT get_Name(QString* name) = 0;
    virtual HRESULT get_Value(QString* value) = 0;
    virtual HRESULT put_Value(const QString& value) = 0;
    virtual HRESULT get_Domain(QString* domain) = 0;
    virtual HRESULT get_Path(QString* path) = 0;
    // Seconds since 1970-01-01 UTC; -1 for a session cookie.
    virtual HRESULT get_Expires(double* expires) = 0;
    virtual HRESULT put_Expires(double expires) = 0;
    virtual HRESULT get_IsHttpOnly(bool* isHttpOnly) = 0;
    virtual HRESULT put_IsHttpOnly(bool isHttpOnly) = 0;
    virtual HRESULT get_SameSite(COREWEBVIEW2_COOKIE_SAME_SITE_KIND* sameSite) = 0;
    virtual HRESULT put_SameSite(COREWEBVIEW2_COOKIE_SAME_SITE_KIND sameSite) = 0;
    virtual HRESULT get_IsSecure(bool* isSecure) = 0;
    virtual HRESULT put_IsSecure(bool isSecure) = 0;
    virtual HRESULT get_IsSession(bool* isSession) = 0;
};

struct ICoreWebView2CookieList : IUnknown {
    static constexpr Guid IID{
        0x144CBD34, 0xA7B2, 0x4856, {0x8B, 0xAB, 0xB1, 0xB7, 0x98, 0xCC, 0x13, 0x71}};
    virtual HRESULT get_Count(std::uint32_t* count) = 0;
    virtual HRESULT GetValueAtIndex(std::uint32_t index, ICoreWebView2Cookie** cookie) = 0;
};

// Over the profile's QWebEngineCookieStore. Qt WebEngine reports cookies as
// they are added and removed, so GetCookies answers from what the store has
// reported so far.
struct ICoreWebView2CookieManager : IUnknown {
    static constexpr Guid IID{
        0x67100EE8, 0xA2BB, 0x4780, {0x81, 0x11, 0x44, 0xCE, 0x1D, 0x22, 0x62, 0x00}};
    virtual HRESULT CreateCookie(const QString& name, const QString& value, const QString& domain,
                                 const QString& path, ICoreWebView2Cookie** cookie) = 0;
    // An empty uri lists every cookie of the profile.
    virtual HRESULT GetCookies(const QString& uri,
                               ICoreWebView2GetCookiesCompletedHandler* handler) = 0;
    virtual HRESULT AddOrUpdateCookie(ICoreWebView2Cookie* cookie) = 0;
    virtual HRESULT DeleteCookie(ICoreWebView2Cookie* cookie) = 0;
    virtual HRESULT DeleteCookies(const QString& name, const QString& uri) = 0;
    virtual HRESULT DeleteCookiesWithDomainAndPath(const QString& name, const QString& domain,
                                                   const QString& path) = 0;
    virtual HRESULT DeleteAllCookies() = 0;
};

// ---------------------------------------------------------------- printing

// Page size and margins in inches. Qt WebEngine prints with its own scale,
// background, selection and header choices: a ScaleFactor other than 1 or a
// true ShouldPrintSelectionOnly / ShouldPrintHeaderAndFooter makes PrintToPdf
// fail with E_NOTIMPL; ShouldPrintBackgrounds, HeaderTitle and FooterUri are
// kept without effect.
struct ICoreWebView2PrintSettings : IUnknown {
    static constexpr Guid IID{
        0x180203AD, 0x35A9, 0x4E58, {0x9A, 0x35, 0xF0, 0x1E, 0xC1, 0x76, 0x38, 0xA3}};
    virtual HRESULT get_Orientation(COREWEBVIEW2_PRINT_ORIENTATION* orientation) = 0;
    virtual HRESULT put_Orientation(COREWEBVIEW2_PRINT_ORIENTATION orientation) = 0;
    virtual HRESULT get_ScaleFactor(double* scaleFactor) = 0;
    virtual HRESULT put_ScaleFactor(double scaleFactor) = 0;
    virtual HRESULT get_PageWidth(double* pageWidth) = 0;
    virtual HRESULT put_PageWidth(double pageWidth) = 0;
    virtual HRESULT get_PageHeight(double* pageHeight) = 0;
    virtual HRESULT put_PageHeight(double pageHeight) = 0;
    virtual HRESULT get_MarginTop(double* marginTop) = 0;
    virtual HRESULT put_MarginTop(double marginTop) = 0;
    virtual HRESULT get_MarginBottom(double* marginBottom) = 0;
    virtual HRESULT put_MarginBottom(double marginBottom) = 0;
    virtual HRESULT get_MarginLeft(double* marginLeft) = 0;
    virtual HRESULT put_MarginLeft(double marginLeft) = 0;
    virtual HRESULT get_MarginRight(double* marginRight) = 0;
    virtual HRESULT put_MarginRight(double marginRight) = 0;
    virtual HRESULT get_ShouldPrintBackgrounds(bool* value) = 0;
    virtual HRESULT put_ShouldPrintBackgrounds(bool value) = 0;
    virtual HRESULT get_ShouldPrintSelectionOnly(bool* value) = 0;
    virtual HRESULT put_ShouldPrintSelectionOnly(bool value) = 0;
    virtual HRESULT get_ShouldPrintHeaderAndFooter(bool* value) = 0;
    virtual HRESULT put_ShouldPrintHeaderAndFooter(bool value) = 0;
    virtual HRESULT get_HeaderTitle(QString* headerTitle) = 0;
    virtual HRESULT put_HeaderTitle(const QString& headerTitle) = 0;
    virtual HRESULT get_FooterUri(QString* footerUri) = 0;
    virtual HRESULT put_FooterUri(const QString& footerUri) = 0;
};

// ---------------------------------------------------------------- profile

// One profile per user data folder; it is never InPrivate.
struct ICoreWebView2Profile : IUnknown {
    static constexpr Guid IID{
        0xF229B468, 0xE439, 0x4453, {0x9D, 0xDF, 0x34, 0x97, 0x6E, 0x8B, 0x86, 0xD6}};
    virtual HRESULT get_ProfileName(QString* value) = 0;
    virtual HRESULT get_IsInPrivateModeEnabled(bool* value) = 0;
    virtual HRESULT get_ProfilePath(QString* value) = 0;
    virtual HRESULT get_DefaultDownloadFolderPath(QString* value) = 0;
    virtual HRESULT put_DefaultDownloadFolderPath(const QString& value) = 0;
    // The scheme pages see in prefers-color-scheme. Chromium fixes it when the
    // browser processes start (dark with the switch "--force-dark-mode", light
    // otherwise), so a put that asks for another scheme fails with
    // ERROR_NOT_SUPPORTED; Auto stands for the light scheme of the desktop.
    virtual HRESULT get_PreferredColorScheme(COREWEBVIEW2_PREFERRED_COLOR_SCHEME* value) = 0;
    virtual HRESULT put_PreferredColorScheme(COREWEBVIEW2_PREFERRED_COLOR_SCHEME value) = 0;
};

// Qt WebEngine clears cookies, the HTTP cache and visited links; a request
// that names any other kind completes with E_NOTIMPL after clearing those.
struct ICoreWebView2Profile2 : ICoreWebView2Profile {
    using Base = ICoreWebView2Profile;
    static constexpr Guid IID{
        0x076B341C, 0xB1D3, 0x4981, {0x99, 0xBE, 0xD0, 0x94, 0x05, 0xC7, 0x1B, 0xFE}};
    virtual HRESULT ClearBrowsingData(COREWEBVIEW2_BROWSING_DATA_KINDS dataKinds,
                                      ICoreWebView2ClearBrowsingDataCompletedHandler* handler) = 0;
    virtual HRESULT
    ClearBrowsingDataAll(ICoreWebView2ClearBrowsingDataCompletedHandler* handler) = 0;
};

// ---------------------------------------------------------------- core webview

struct ICoreWebView2 : IUnknown {
    static constexpr Guid IID{
        0x6CB6DCB8, 0x14BF, 0x419F, {0x93, 0x65, 0xF7, 0x0F, 0x68, 0x4B, 0xA4, 0xA4}};
    virtual HRESULT get_Settings(ICoreWebView2Settings** settings) = 0;
    virtual HRESULT get_Source(QString* uri) = 0;
    virtual HRESULT Navigate(const QString& uri) = 0;
    virtual HRESULT NavigateToString(const QString& htmlContent) = 0;
    virtual HRESULT add_NavigationStarting(ICoreWebView2NavigationStartingEventHandler* handler,
                                           EventRegistrationToken* token) = 0;
    virtual HRESULT remove_NavigationStarting(EventRegistrationToken token) = 0;
    virtual HRESULT add_ContentLoading(ICoreWebView2ContentLoadingEventHandler* handler,
                                       EventRegistrationToken* token) = 0;
    virtual HRESULT remove_ContentLoading(EventRegistrationToken token) = 0;
    virtual HRESULT add_SourceChanged(ICoreWebView2SourceChangedEventHandler* handler,
                                      EventRegistrationToken* token) = 0;
    virtual HRESULT remove_SourceChanged(EventRegistrationToken token) = 0;
    virtual HRESULT add_HistoryChanged(ICoreWebView2HistoryChangedEventHandler* handler,
                                       EventRegistrationToken* token) = 0;
    virtual HRESULT remove_HistoryChanged(EventRegistrationToken token) = 0;
    virtual HRESULT add_NavigationCompleted(ICoreWebView2NavigationCompletedEventHandler* handler,
                                            EventRegistrationToken* token) = 0;
    virtual HRESULT remove_NavigationCompleted(EventRegistrationToken token) = 0;
    virtual HRESULT add_ScriptDialogOpening(ICoreWebView2ScriptDialogOpeningEventHandler* handler,
                                            EventRegistrationToken* token) = 0;
    virtual HRESULT remove_ScriptDialogOpening(EventRegistrationToken token) = 0;
    virtual HRESULT add_PermissionRequested(ICoreWebView2PermissionRequestedEventHandler* handler,
                                            EventRegistrationToken* token) = 0;
    virtual HRESULT remove_PermissionRequested(EventRegistrationToken token) = 0;
    virtual HRESULT add_ProcessFailed(ICoreWebView2ProcessFailedEventHandler* handler,
                                      EventRegistrationToken* token) = 0;
    virtual HRESULT remove_ProcessFailed(EventRegistrationToken token) = 0;
    // Runs at the creation of every later top-level document, after
    // window.chrome.webview exists and before the page's own scripts.
    virtual HRESULT AddScriptToExecuteOnDocumentCreated(
        const QString& javaScript,
        ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler* handler) = 0;
    virtual HRESULT RemoveScriptToExecuteOnDocumentCreated(const QString& id) = 0;
    // Runs in the current top-level document as a global script.
    virtual HRESULT ExecuteScript(const QString& javaScript,
                                  ICoreWebView2ExecuteScriptCompletedHandler* handler) = 0;
    // Writes a PNG or JPEG of the view's visible area into imageStream (open
    // for writing; the caller keeps it alive until the completion).
    virtual HRESULT CapturePreview(COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT imageFormat,
                                   QIODevice* imageStream,
                                   ICoreWebView2CapturePreviewCompletedHandler* handler) = 0;
    virtual HRESULT Reload() = 0;
    virtual HRESULT PostWebMessageAsJson(const QString& webMessageAsJson) = 0;
    virtual HRESULT PostWebMessageAsString(const QString& webMessageAsString) = 0;
    virtual HRESULT add_WebMessageReceived(ICoreWebView2WebMessageReceivedEventHandler* handler,
                                           EventRegistrationToken* token) = 0;
    virtual HRESULT remove_WebMessageReceived(EventRegistrationToken token) = 0;
    // The browser process is the application's own process with Qt WebEngine.
    virtual HRESULT get_BrowserProcessId(std::uint32_t* value) = 0;
    virtual HRESULT get_CanGoBack(bool* canGoBack) = 0;
    virtual HRESULT get_CanGoForward(bool* canGoForward) = 0;
    virtual HRESULT GoBack() = 0;
    virtual HRESULT GoForward() = 0;
    virtual HRESULT Stop() = 0;
    virtual HRESULT add_NewWindowRequested(ICoreWebView2NewWindowRequestedEventHandler* handler,
                                           EventRegistrationToken* token) = 0;
    virtual HRESULT remove_NewWindowRequested(EventRegistrationToken token) = 0;
    virtual HRESULT add_DocumentTitleChanged(ICoreWebView2DocumentTitleChangedEventHandler* handler,
                                             EventRegistrationToken* token) = 0;
    virtual HRESULT remove_DocumentTitleChanged(EventRegistrationToken token) = 0;
    virtual HRESULT get_DocumentTitle(QString* title) = 0;
    // object must hold a DispatchPtr. Pages reach it as
    // chrome.webview.hostObjects.sync.NAME (synchronous proxies): method calls,
    // property reads and writes run on the UI thread in call order.
    virtual HRESULT AddHostObjectToScript(const QString& name, Variant* object) = 0;
    virtual HRESULT RemoveHostObjectFromScript(const QString& name) = 0;
    virtual HRESULT OpenDevToolsWindow() = 0;
    virtual HRESULT add_ContainsFullScreenElementChanged(
        ICoreWebView2ContainsFullScreenElementChangedEventHandler* handler,
        EventRegistrationToken* token) = 0;
    virtual HRESULT remove_ContainsFullScreenElementChanged(EventRegistrationToken token) = 0;
    virtual HRESULT get_ContainsFullScreenElement(bool* containsFullScreenElement) = 0;
    virtual HRESULT add_WebResourceRequested(ICoreWebView2WebResourceRequestedEventHandler* handler,
                                             EventRegistrationToken* token) = 0;
    virtual HRESULT remove_WebResourceRequested(EventRegistrationToken token) = 0;
    // uri is a wildcard pattern: '*' matches any run of characters, '?' one.
    virtual HRESULT AddWebResourceRequestedFilter(const QString& uri,
                                                  COREWEBVIEW2_WEB_RESOURCE_CONTEXT context) = 0;
    virtual HRESULT RemoveWebResourceRequestedFilter(const QString& uri,
                                                     COREWEBVIEW2_WEB_RESOURCE_CONTEXT context) = 0;
    virtual HRESULT add_WindowCloseRequested(ICoreWebView2WindowCloseRequestedEventHandler* handler,
                                             EventRegistrationToken* token) = 0;
    virtual HRESULT remove_WindowCloseRequested(EventRegistrationToken token) = 0;
};

struct ICoreWebView2_2 : ICoreWebView2 {
    using Base = ICoreWebView2;
    static constexpr Guid IID{
        0xB3630465, 0xB745, 0x445A, {0xAA, 0xAB, 0xDF, 0xFA, 0x61, 0xD0, 0xB9, 0x8A}};
    virtual HRESULT add_DOMContentLoaded(ICoreWebView2DOMContentLoadedEventHandler* handler,
                                         EventRegistrationToken* token) = 0;
    virtual HRESULT remove_DOMContentLoaded(EventRegistrationToken token) = 0;
    virtual HRESULT get_CookieManager(ICoreWebView2CookieManager** cookieManager) = 0;
    virtual HRESULT get_Environment(ICoreWebView2Environment** environment) = 0;
    // Navigates with a request of its own: method "GET" or "POST" (others are
    // E_INVALIDARG), header lines separated by CRLF ("Name: value"), and a
    // body sent with a POST. The request is given as its parts rather than as
    // a request object.
    virtual HRESULT NavigateWithWebResourceRequest(const QString& uri, const QString& method,
                                                   const QString& headers,
                                                   const QByteArray& content) = 0;
};

// Suspension over the page's lifecycle states: TrySuspend freezes a hidden
// page (it fails with isSuccessful false while the view is visible).
struct ICoreWebView2_3 : ICoreWebView2_2 {
    using Base = ICoreWebView2_2;
    static constexpr Guid IID{
        0xC9062498, 0x4DA6, 0x4BEE, {0xB3, 0xDA, 0x68, 0xE4, 0x00, 0xAD, 0xDD, 0xA7}};
    virtual HRESULT TrySuspend(ICoreWebView2TrySuspendCompletedHandler* handler) = 0;
    virtual HRESULT Resume() = 0;
    virtual HRESULT get_IsSuspended(bool* isSuspended) = 0;
};

struct ICoreWebView2_4 : ICoreWebView2_3 {
    using Base = ICoreWebView2_3;
    static constexpr Guid IID{
        0x71D3CC1A, 0x28EA, 0x4786, {0xAB, 0xAD, 0x93, 0x39, 0x5F, 0xD8, 0xD7, 0xC9}};
    virtual HRESULT add_DownloadStarting(ICoreWebView2DownloadStartingEventHandler* handler,
                                         EventRegistrationToken* token) = 0;
    virtual HRESULT remove_DownloadStarting(EventRegistrationToken token) = 0;
};

struct ICoreWebView2_7 : ICoreWebView2_4 {
    using Base = ICoreWebView2_4;
    static constexpr Guid IID{
        0x56CD3396, 0xDC80, 0x4B9C, {0x91, 0xC6, 0x23, 0xCC, 0xF1, 0xB9, 0x7D, 0x8F}};
    // A null printSettings prints with the defaults (Letter, portrait, 0.4 inch margins).
    virtual HRESULT PrintToPdf(const QString& resultFilePath,
                               ICoreWebView2PrintSettings* printSettings,
                               ICoreWebView2PrintToPdfCompletedHandler* handler) = 0;
};

struct ICoreWebView2_8 : ICoreWebView2_7 {
    using Base = ICoreWebView2_7;
    static constexpr Guid IID{
        0x1F39C0A0, 0xAA60, 0x4E70, {0x8A, 0x77, 0x75, 0x03, 0xFB, 0x25, 0x02, 0x1B}};
    virtual HRESULT add_IsMutedChanged(ICoreWebView2IsMutedChangedEventHandler* handler,
                                       EventRegistrationToken* token) = 0;
    virtual HRESULT remove_IsMutedChanged(EventRegistrationToken token) = 0;
    virtual HRESULT get_IsMuted(bool* value) = 0;
    virtual HRESULT put_IsMuted(bool value) = 0;
    virtual HRESULT add_IsDocumentPlayingAudioChanged(
        ICoreWebView2IsDocumentPlayingAudioChangedEventHandler* handler,
        EventRegistrationToken* token) = 0;
    virtual HRESULT remove_IsDocumentPlayingAudioChanged(EventRegistrationToken token) = 0;
    virtual HRESULT get_IsDocumentPlayingAudio(bool* value) = 0;
};

struct ICoreWebView2_10 : ICoreWebView2_8 {
    using Base = ICoreWebView2_8;
    static constexpr Guid IID{
        0x18465CDD, 0xF45D, 0x46B9, {0x94, 0xEF, 0x6E, 0x41, 0xD5, 0xEC, 0xE7, 0x17}};
    virtual HRESULT
    add_BasicAuthenticationRequested(ICoreWebView2BasicAuthenticationRequestedEventHandler* handler,
                                     EventRegistrationToken* token) = 0;
    virtual HRESULT remove_BasicAuthenticationRequested(EventRegistrationToken token) = 0;
};

// The status text is the URL of the hovered link (empty when none).
struct ICoreWebView2_12 : ICoreWebView2_10 {
    using Base = ICoreWebView2_10;
    static constexpr Guid IID{
        0x3F170977, 0x9D90, 0x4E9D, {0xA1, 0x9B, 0xB6, 0x1C, 0x1E, 0xA4, 0x15, 0xB4}};
    virtual HRESULT add_StatusBarTextChanged(ICoreWebView2StatusBarTextChangedEventHandler* handler,
                                             EventRegistrationToken* token) = 0;
    virtual HRESULT remove_StatusBarTextChanged(EventRegistrationToken token) = 0;
    virtual HRESULT get_StatusBarText(QString* value) = 0;
};

struct ICoreWebView2_13 : ICoreWebView2_12 {
    using Base = ICoreWebView2_12;
    static constexpr Guid IID{
        0x454C641E, 0xFB66, 0x4FA8, {0x9B, 0x39, 0x32, 0xD1, 0x62, 0xD8, 0xA0, 0x95}};
    virtual HRESULT get_Profile(ICoreWebView2Profile** value) = 0;
};

struct ICoreWebView2_16 : ICoreWebView2_13 {
    using Base = ICoreWebView2_13;
    static constexpr Guid IID{
        0x0F22ED4B, 0xB283, 0x42B2, {0x9B, 0x4B, 0x9D, 0x44, 0xC0, 0xB8, 0xD4, 0x18}};
    virtual HRESULT PrintToPdfStream(ICoreWebView2PrintSettings* printSettings,
                                     ICoreWebView2PrintToPdfStreamCompletedHandler* handler) = 0;
    // Both kinds open the one print dialog of the platform on the current
    // printer (unattended runs take its defaults); the page then prints on the
    // printer chosen, asynchronously. E_ABORT while an earlier job still prints.
    virtual HRESULT ShowPrintUI(COREWEBVIEW2_PRINT_DIALOG_KIND printDialogKind) = 0;
};

// ---------------------------------------------------------------- loader

extern "C" {

// Creates an environment. browserExecutableFolder names a runtime folder (one
// holding QtWebEngineProcess); empty means the system's Qt WebEngine. The
// first environment of a process fixes the runtime folder and the browser
// switches for the process. userDataFolder holds the profile's storage and
// cache; empty means the runtime's default folder. Fails with 0x80070002 when
// the runtime folder lacks QtWebEngineProcess; otherwise the handler gets the
// result later, through the event loop. Needs a QApplication.
__attribute__((visibility("default"))) HRESULT CreateCoreWebView2EnvironmentWithOptions(
    const QString& browserExecutableFolder, const QString& userDataFolder,
    ICoreWebView2EnvironmentOptions* environmentOptions,
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* environmentCreatedHandler);

// The Chromium version of the runtime in browserExecutableFolder (empty: the
// system's); 0x80070002 when the folder holds no runtime.
__attribute__((visibility("default"))) HRESULT
GetAvailableCoreWebView2BrowserVersionString(const QString& browserExecutableFolder,
                                             QString* versionInfo);

// The facilities of the WebView2 surface that Qt WebEngine 6.4 lacks, by
// their WebView2 names: environment options the runtime does not read and
// members whose interface it does not offer (see the list in Loader.cpp).
__attribute__((visibility("default"))) HRESULT GetCoreWebView2AbsentFacilities(QStringList* names);
}

// Function types for a caller that loads the library with dlopen.
using CreateCoreWebView2EnvironmentWithOptionsFn =
    HRESULT (*)(const QString&, const QString&, ICoreWebView2EnvironmentOptions*,
                ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler*);
using GetAvailableCoreWebView2BrowserVersionStringFn = HRESULT (*)(const QString&, QString*);
using GetCoreWebView2AbsentFacilitiesFn = HRESULT (*)(QStringList*);
