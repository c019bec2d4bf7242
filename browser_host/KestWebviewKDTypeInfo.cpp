#include "KestWebviewKDTypeInfo.h"

#include "PersistedProperties.h"

namespace {

using V = VarType;

ParamInfo in(const char* name, VarType type) {
    return ParamInfo(QLatin1String(name), type);
}
ParamInfo ref(const char* name, VarType type) {
    return ParamInfo(QLatin1String(name), type, true);
}
ParamInfo opt(const char* name, VarType type, Variant value) {
    return ParamInfo(QLatin1String(name), type, true, true, std::move(value));
}

struct Method {
    const char* name;
    VarType result;
    QList<ParamInfo> params;
    const char* help = "";
};

// Run-time properties: read-only unless they have a let part.
struct RuntimeProperty {
    const char* name;
    VarType type;
    bool writable;
    QList<ParamInfo> params = {};
};

QList<ParamInfo> runJsParams() {
    QList<ParamInfo> params{in("FunctionName", V::String)};
    for (int i = 0; i < RunJsArgumentSlots; ++i)
        params << ParamInfo(QStringLiteral("Param_Array"), V::Variant, false, true);
    return params;
}

// The PDF settings, with the file path first when the PDF goes to a file.
QList<ParamInfo> printToPdfParams(bool toFile) {
    QList<ParamInfo> params;
    if (toFile)
        params << in("ResultFilePath", V::String);
    const auto number = [](const char* name, double value) {
        return opt(name, V::Double, Variant(value));
    };
    const auto flag = [](const char* name) {
        return opt(name, V::Boolean, Variant(false));
    };
    params << number("SecondsToWaitForPrintComplete", 30) << flag("Landscape")
           << number("ScaleFactor", 1) << number("PageWidth", 8.5) << number("PageHeight", 11)
           << number("MarginTop", 0.4) << number("MarginBottom", 0.4) << number("MarginLeft", 0.4)
           << number("MarginRight", 0.4) << flag("ShouldPrintBackgrounds")
           << flag("ShouldPrintSelectionOnly") << flag("ShouldPrintHeaderAndFooter")
           << opt("HeaderTitle", V::String, Variant(QString()))
           << opt("FooterUri", V::String, Variant(QString()));
    return params;
}

QList<Method> downloadMethods() {
    const auto s = V::String;
    return {
        {"DownloadFile",
         V::Empty,
         {in("URI", s), in("DestFileNameAndPath", s)},
         "Download asynchronously a file from a URL"},
        {"DownloadFileEx",
         V::String,
         {in("URI", s), in("DestFileNameAndPath", s),
          opt("SynchronousDownload", V::Boolean, Variant(false))},
         "Download a file from a URL, asynchronously or not; returns the download key"},
        {"DownloadCancel", V::Empty, {in("Key", s)}, "Cancels a download, or all with no key"},
        {"OpenDefaultDownloadDialog", V::Empty, {}},
        {"CloseDefaultDownloadDialog", V::Empty, {}},
        {"GetUserDefaultDownloadsPath",
         V::String,
         {},
         "Returns the path to the user's Downloads folder."},
        {"MakeAllDirectorys",
         V::Empty,
         {in("DirPath", s)},
         "Recursively create a directory and all its subdirectories"},
    };
}

// Extensions cannot be installed into this runtime: the members that need an
// installed extension say so in their help.
QList<Method> extensionMethods() {
    const auto s = V::String;
    const auto wait = [] {
        return opt("SecondsToWaitForComplete", V::Double, Variant(8.0));
    };
    return {
        {"AddBrowserExtension",
         V::String,
         {in("ExtensionFolderPath", s), wait()},
         "Adds an Edge extension from its unzipped directory. Extensions cannot be installed "
         "into this runtime (Qt WebEngine): the call ends with ExtensionInstallationFailed."},
        {"GetBrowserExtensions",
         V::Variant,
         {wait()},
         "Returns the installed extensions; always empty on this runtime."},
        {"GetBrowserExtensionName", s, {in("ID", s)}},
        {"GetBrowserExtensionState", V::Long, {in("ExtensionIdOrName", s), wait()}},
        {"IsBrowserExtensionEnabled", V::Boolean, {in("ExtensionIdOrName", s), wait()}},
        {"BrowserExtensionExists", V::Boolean, {in("ExtensionIdOrName", s), wait()}},
        {"EnableBrowserExtension", V::Boolean, {in("ExtensionIdOrName", s), wait()}},
        {"DisableBrowserExtension", V::Boolean, {in("ExtensionIdOrName", s), wait()}},
        {"RemoveBrowserExtension", V::Boolean, {in("ID", s), wait()}},
        {"GetBrowserExtensionFolderPath", s, {in("ID", s)}},
        {"GetBrowserExtensionIconPath", s, {in("ID", s)}},
        {"LoadBrowserExtensionIconPicture",
         V::Object,
         {in("ID", s), opt("oBackColor", V::Long, Variant(std::int32_t(0xFFFFFF)))}},
        {"ShowBrowserExtensionPopup", V::Boolean, {in("ExtensionID", s)}},
        {"ShowBrowserExtensionOption", V::Empty, {in("ExtensionID", s)}},
        {"ExploreBrowserExtension", V::Empty, {in("ExtensionID", s)}},
        {"GoExtensions", V::Boolean, {}, "Opens the extension store"},
        {"DownloadCrx", V::Boolean, {in("sURL", s), in("sFile", s)}},
        {"CrxToZip", V::Empty, {in("sCrx", s), in("sZip", s)}},
        {"DecompressZip",
         V::Boolean,
         {in("ZipFile", s), in("PathToExtract", s), opt("Password", s, Variant(QString())),
          opt("Flags", V::Long, Variant(std::int32_t(0)))}},
    };
}

QList<Method> methods() {
    return {
        {"Init", V::Empty, {in("Lang", V::String)}, "Initializes the control"},
        {"InitEx",
         V::Empty,
         {ref("Lang", V::String), ref("IsPrivateNavigation", V::Boolean),
          ref("browserInstallPath", V::String), ref("userDataFolder", V::String),
          opt("AdditionalBrowserArguments", V::String, Variant(QString())),
          opt("AllowSingleSignOnUsingOSPrimaryAccount", V::Boolean, Variant(false))},
         "Extended version of the Init method"},
        {"Shutdown", V::Empty, {}},
        {"GetMostRecentInstallPath",
         V::String,
         {},
         "Returns the path of the most recent version of the WebView2 component present on the "
         "system."},
        {"GetWebView2Version", V::String, {}},
        {"GetKestWebView2DataPath",
         V::Variant,
         {},
         "Returns the data path of the WebView2 component embedded in the KestWebView2 control."},
        {"GetLocaleID", V::Long, {}},
        {"RunJs", V::Variant, runJsParams(),
         "Runs JavaScript code from the javaScript parameter in the current top-level document "
         "rendered in the Control"},
        {"RunJsAsync", V::Currency, runJsParams(),
         "Asynchronously runs JavaScript code from the javaScript parameter in the current "
         "top-level document rendered in the Control"},
        {"ExecuteScript",
         V::Empty,
         {in("jsCode", V::String)},
         "Run JavaScript code from the javascript parameter in the current top-level document "
         "rendered in the WebView2."},
        {"AddScriptToExecuteOnDocumentCreated",
         V::Empty,
         {in("jsCode", V::String)},
         "Add the provided JavaScript to a list of scripts that should be run after the global "
         "object has been created, but before the HTML document has been parsed and before any "
         "other script included by the HTML document is run."},
        {"AddObject",
         V::Empty,
         {in("ObjName", V::String), in("Object", V::Object)},
         "Adds the provided host object to script running in the Control with the specified "
         "name"},
        {"RemoveObject",
         V::Empty,
         {in("ObjName", V::String)},
         "Removes the host object specified by the name so that it is no longer accessible from "
         "JavaScript code in the Control. "},
        {"OpenDevToolsWindow", V::Empty, {}},
        {"GetInnerText",
         V::String,
         {in("Documentobject", V::Integer)},
         "Return the Text content of the top level document."},
        {"GetInnerHTML",
         V::String,
         {in("Documentobject", V::Integer)},
         "Return the HTML code of the top level document."},
        {"GetDocumentBodyText", V::String, {}},
        {"ExtractJsonValue", V::Variant, {in("json", V::String), in("key", V::String)}},
        {"Base64Encode", V::String, {in("Text", V::String)}},
        {"Base64Decode", V::String, {in("Text", V::String)}},
        {"UTF8ToVBString", V::String, {in("Utf8Bytes", V::Variant)}},
        {"VBStringToUTF8", V::Variant, {in("Text", V::String)}},
        {"SetSecurityProperties",
         V::Boolean,
         {in("IsScriptEnabled", V::Boolean), in("AreDefaultScriptDialogsEnabled", V::Boolean),
          in("IsWebMessageEnabled", V::Boolean), in("AreHostObjectsAllowed", V::Boolean)},
         "Set security options (IsScriptEnabled, AreDefaultScriptDialogsEnabled, "
         "IsWebMessageEnabled, AreHostObjectsAllowed) in a single function call."},
        {"SetZoomFactor",
         V::Empty,
         {ref("ZoomPercent", V::Integer)},
         "Sets the zoom factor for the page displayed in the control."},
        {"WebViewSetFocus",
         V::Empty,
         {},
         "Gives focus to the Webview2 component embedded in the KestWebView2 control."},
        {"Navigate",
         V::Variant,
         {ref("URL", V::String)},
         "Cause a navigation of the top-level document to run to the specified URI."},
        {"GoHome", V::Boolean, {}, "Navigate to the home page"},
        {"GoSearch",
         V::Boolean,
         {in("ToSearch", V::String)},
         "Sends a search string to the default search engine of the KestWebView2 control."},
        {"GoHystory", V::Boolean, {}, "Navigates the KestWebView2 to the Hystory page."},
        {"GoDownloads", V::Boolean, {}, "Navigates the KestWebView2 to the Downloads page."},
        {"GoOptions",
         V::Boolean,
         {},
         "Displays the list of KestWebView2 optional flags. These flags allow to activate "
         "experimental functions of WebView2."},
        {"GoListEdgeUrls", V::Boolean, {}, "Displays the list of Control reserved URLs."},
        {"GoViewSystemVersion", V::Boolean, {}, "Displays the system configuration."},
        {"GoWallet", V::Boolean, {}, "Navigates the KestWebView2 to the Wallet page."},
        {"GoBack", V::Empty, {}, "Navigates to the previous item in the history list."},
        {"GoForward", V::Empty, {}, "Navigates to the next item in the history list."},
        {"Reload", V::Empty, {}, "Reload the current page."},
        {"NavigateToString",
         V::Empty,
         {in("HTMLcontent", V::String),
          opt("SecondToWaitForDocumentComplete", V::Double, Variant(0.0))},
         "Initiates a navigation to htmlContent as source HTML of a new document."},
        {"NavigateToFile",
         V::Empty,
         {in("FilePathAndName", V::String)},
         "Load a file on disk and display it in the KestWebView2 browser. "},
        {"FileExist",
         V::Boolean,
         {in("FilePathAndName", V::String)},
         "Returns True if the file entered as parameter is present on disk."},
        {"FileSelect",
         V::String,
         {opt("MustNavigate", V::Boolean, Variant(true)),
          opt("UseDefault", V::Boolean, Variant(true)),
          opt("DialogTitle", V::String, Variant(QString())),
          opt("FilterWithPipes", V::String, Variant(QString())),
          opt("DefaultFolder", V::String, Variant(QString())),
          opt("FileNameDefault", V::String, Variant(QString())),
          opt("ExtDefault", V::String, Variant(QString()))},
         "Displays a file selector and loads the selected file from disk and displays it in the "
         "KestWebView2 browser"},
        {"NavigateWithWebResourceRequest",
         V::Variant,
         {in("URI", V::String), ref("Method", V::String),
          opt("PostData", V::String, Variant(QString())),
          opt("Headers_CrLf_Separated", V::String, Variant(QString())),
          opt("postDataAsUTF8", V::Boolean, Variant(true)),
          opt("SecondsToWaitForRequestComplete", V::Double, Variant(8.0))}},
        {"GetURLString",
         V::String,
         {},
         "Returns the decoded URL for the current top-level document."},
        {"URLEncode",
         V::String,
         {in("StringToEncode", V::String),
          opt("UsePlusRatherThanHexForSpace", V::Boolean, Variant(false))}},
        {"URLEncode_UTF8", V::String, {in("Text", V::String)}},
        {"DecodeURI",
         V::String,
         {in("EncodedURI", V::String)},
         "Decodes a URL to correctly display special characters"},
        {"CapturePreview",
         V::Boolean,
         {ref("FilePathAndName", V::String), opt("ImageFormat", V::Long, Variant(std::int32_t(0))),
          opt("Toview", V::Boolean, Variant(false))}},
        {"CapturePreviewToClipBoard", V::Empty, {}},
        {"ShowPrintDialog",
         V::Empty,
         {opt("DialogKind", V::Long, Variant(std::int32_t(0)))},
         "Displays the WebView2 print dialog."},
        {"OpenKestWebView2CaptureDirectory", V::Empty, {}},
        {"PrintToPdf", V::Variant, printToPdfParams(true)},
        {"PrintToPdfStream", V::Variant, printToPdfParams(false)},
        {"ClearBrowsingData",
         V::Variant,
         {in("DataKinds", V::Long), opt("SecondsToWaitForComplete", V::Double, Variant(8.0))}},
        {"GetUserAgent", V::String, {}, "Returns the WebView2 User Agent."},
        {"SetUserAgent",
         V::Empty,
         {in("NewAgent", V::String)},
         "Determines KestWebView's User Agent. "},
        {"RestoreUserAgent",
         V::Empty,
         {},
         "Restores the user agent, if modified. Default value is the default User Agent of the "
         "Microsoft Edge browser."},
        {"SetVirtualHostNameToFolderMapping",
         V::Empty,
         {in("HostName", V::String), in("FolderPath", V::String), in("AccessKind", V::Long)}},
        {"ClearVirtualHostNameToFolderMapping", V::Empty, {in("HostName", V::String)}},
        {"OpenTaskManagerWindow", V::Empty, {}},
        {"GetCookies", V::String, {}},
        {"GetCookiesCollection", V::Variant, {in("sURL", V::String)}},
        {"DeleteAllCookies", V::Empty, {opt("sURL", V::String, Variant(QString()))}},
        {"DeleteCookies",
         V::Empty,
         {in("Name", V::String), opt("URI", V::String, Variant(QString()))}},
        {"SetShieldLevel",
         V::Empty,
         {in("ShieldLevel", V::Long), opt("ShieldException", V::Long, Variant(std::int32_t(0))),
          opt("DoRedraw", V::Boolean, Variant(false))},
         "Defines a filtering level of the displayed page. Eliminates the loading of parts of "
         "documents not coming from the domain of the page being loaded. Partly works as an "
         "AdBlocker"},
        {"GetShieldLevel", V::Long, {}},
        {"GetShieldException", V::Long, {}},
        {"Add_WebResourceRequestedFilter",
         V::Empty,
         {in("strFilter", V::String), in("FilterContext", V::Long)},
         "Adds a URI filter and resource context filter for the WebResourceRequested event."},
        {"Remove_WebResourceRequestedFilter",
         V::Empty,
         {in("strFilter", V::String), in("FilterContext", V::Long)},
         "Removes a matching WebResource filter that was previously added for the "
         "WebResourceRequested event."},
        {"Remove_All_WebResourceRequestedFilter",
         V::Empty,
         {},
         "Removes all WebResource filters that was previously added for the WebResourceRequested "
         "event."},
        {"GetWebResourceRequestedFilter",
         V::String,
         {},
         "Returns the list of defined Web Resource Requested Filters."},
        {"RemoveWebResourceRequestedFilter",
         V::Empty,
         {in("sFilter", V::String), in("FilterContext", V::Long)}},
        {"ZOrder", V::Empty, {opt("Position", V::Integer, Variant(std::int16_t(0)))}},
        {"SetFocus", V::Empty, {}},
    };
}

QList<RuntimeProperty> runtimeProperties() {
    return {
        {"IsWebViewInit", V::Boolean, false},
        {"ZoomFactor", V::Integer, false},
        {"CanGoBack", V::Boolean, false},
        {"CanGoForward", V::Boolean, false},
        {"DocumentTitle", V::String, false},
        {"DocumentURL", V::String, false},
        {"HosthWnd", V::Long, false},
        {"BrowserProcessId", V::Long, false},
        {"IsDocumentPlayingAudio", V::Boolean, false},
        {"PreferredTrackingPreventionLevel", V::Long, true},
        {"jsProp", V::String, false, {in("PropName", V::Variant)}},
        {"jsLastError", V::String, false},
        {"IsDefaultDownloadDialogOpen", V::Boolean, false},
        {"DefaultDownloadFolderPath", V::String, true},
        {"Left", V::Single, true},
        {"Top", V::Single, true},
        {"Width", V::Single, true},
        {"Height", V::Single, true},
    };
}

// Qt WebEngine 6.4 reports no response headers: the two events are never
// raised and no Set-Cookie value is collected.
const QString ResponseHeadersAbsent =
    QStringLiteral("Never raised on this platform: the browser engine reports no response "
                   "headers.");

QList<EventInfo> events() {
    const auto b = V::Boolean;
    const auto l = V::Long;
    const auto s = V::String;
    return {
        {1, "InitComplete"},
        {2, "BeforeNavigate", {in("URL", s), ref("Cancel", b)}},
        {3,
         "NavigationStarting",
         {in("IsUserInitiated", b), in("IsRedirected", b), in("URI", s), ref("Cancel", b)}},
        {4,
         "AcceleratorKeyPressed",
         {in("KeyState", l), in("IsExtendedKey", l), in("WasKeyDown", l), in("IsKeyReleased", l),
          in("IsMenuKeyDown", l), in("RepeatCount", l), in("ScanCode", l), ref("IsHandled", l)}},
        {5, "DocumentComplete"},
        {6, "BrowserGotFocus", {in("Reason", l)}},
        {7, "BrowserLostFocus", {in("Reason", l)}},
        {8,
         "JSAsyncResult",
         {ref("Result", V::Variant), in("token", V::Currency), in("ErrString", s)}},
        {9, "JSMessage", {in("sMsg", s), in("sMsgContent", s), ref("oJSONContent", s)}},
        {10, "NavigationCompleted", {in("IsSuccess", l), in("WebErrorStatus", l)}},
        {11,
         "NewWindowRequested",
         {in("IsUserInitiated", l), ref("IsHandled", l), in("URI", s),
          ref("NewWindowFeaturesJSON", s)}},
        {12, "ProcessFailed"},
        {13, "SourceChanged"},
        {14, "UserContextMenu", {in("screenX", l), in("screenY", l)}},
        {15,
         "DownloadStarting",
         {ref("URI", s), ref("MimeType", s), ref("LocalSuggestedPath", s),
          ref("LocalSuggestedFile", s), ref("CancelBrowserDialog", b), ref("CancelDownloadOp", b),
          ref("NewLocalFilePath", s)}},
        {16, "FrameCreated", {ref("frameName", s)}},
        {17, "ZoomChanged", {ref("Zoom", V::Integer)}},
        {18,
         "ShieldChanged",
         {in("ShieldPower", l), in("ShiedException", l), in("RedrawNeeded", b)}},
        {19, "WebResourceRequested", {in("URI", s), in("FilterType", l), ref("Permit", l)}},
        {20,
         "WebResourceResponseReceived",
         {in("ReqURI", s), in("ReqMethod", s), in("RespStatus", l), in("RespReasonPhrase", s),
          in("RespHeadersJson", s)},
         ResponseHeadersAbsent},
        {21,
         "WebResourceResponseReceivedEx",
         {in("ReqURI", s), in("ReqMethod", s), in("RespStatus", l), in("RespReasonPhrase", s),
          ref("RespHeaders", V::Object), ref("RespHeadersIdx", V::Object),
          ref("RespHeadersJson", s)},
         ResponseHeadersAbsent},
        {22,
         "PermissionRequested",
         {ref("IsUserInitiated", b), ref("PermissionKind", l), ref("URI", s), ref("State", l)}},
        {23, "DownloadCompleted", {in("DestinationPath", s), in("FileName", s)}},
        {24,
         "DownLoadInProgress",
         {in("DestinationPath", s), in("FileName", s), in("Percent", V::Integer),
          in("BytesRead", l), in("BytesMax", l)}},
        {25,
         "DownloadChecking",
         {in("DestinationPath", s), in("FileName", s), in("Percent", V::Integer),
          in("BytesRead", l), in("BytesMax", l), ref("CancelDownload", b)}},
        {26, "DownloadError", {in("ErrNumber", l), in("ErrDescription", s)}},
        {27,
         "DownloadDialogStatusChanged",
         {in("DownloadDialogVisible", b)},
         QStringLiteral("Never raised on this platform: the browser engine has no download "
                        "dialog of its own.")},
        {28,
         "ExtensionDownloaded",
         {in("ExtensionID", s), in("ExtensionName", s), in("Folder", s)}},
        {29, "ExtensionDownLoadFailed", {in("Message", s)}},
        {30, "ExtensionInstallationFailed", {in("ErrMsg", s)}},
        {31, "ExtensionInstalled", {in("ExtensionID", s), in("ExtensionName", s)}},
        {32, "StatusBarTextChanged", {in("sText", s)}},
        {33, "DOMContentLoaded"},
        {34, "HistoryChanged"},
        {35, "ContentLoading", {in("IsErrorPage", b)}},
    };
}

constexpr DispId MethodBase = 0x60030000;
constexpr DispId PropertyBase = 0x68030000;

} // namespace

const TypeInfo& kestWebviewKDTypeInfo() {
    static const TypeInfo info = [] {
        TypeInfo t;
        t.interfaceName = QStringLiteral("_KestWebviewKD");
        t.eventInterfaceName = QStringLiteral("__KestWebviewKD");
        DispId next = 1;
        for (const Method& m : methods() + downloadMethods() + extensionMethods())
            t.members.append(MemberInfo(MethodBase + next++, QLatin1String(m.name),
                                        InvokeFlags::Method, m.result, m.params,
                                        QString::fromUtf8(m.help)));
        const auto addProperty = [&t, &next](const QString& name, VarType type, bool writable,
                                             const QList<ParamInfo>& params) {
            const DispId id = PropertyBase + next++;
            t.members.append(MemberInfo(id, name, InvokeFlags::PropertyGet, type, params));
            if (writable)
                t.members.append(MemberInfo(id, name, InvokeFlags::PropertyPut, V::Empty,
                                            params + QList<ParamInfo>{in("Value", type)}));
        };
        for (const auto& p : PersistedProperties::definitions())
            addProperty(QLatin1String(p.key), p.type, true, {});
        for (const RuntimeProperty& p : runtimeProperties())
            addProperty(QLatin1String(p.name), p.type, p.writable, p.params);
        t.events = events();
        return t;
    }();
    return info;
}
