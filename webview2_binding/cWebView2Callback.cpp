#include "cWebView2Callback.h"

#include "cWebView2.h"

namespace {

const TypeInfo& hostObjectType() {
    static const TypeInfo info{
        QStringLiteral("_cWebView2Callback"),
        {},
        {
            {0x60030001,
             "RaiseContextMenuEvent",
             InvokeFlags::Method,
             VarType::Empty,
             {{"screenX", VarType::Long}, {"screenY", VarType::Long}}},
            {0x60030002,
             "RaiseMessageEvent",
             InvokeFlags::Method,
             VarType::Empty,
             {{"sMsg", VarType::String}, {"sMsgContent", VarType::Variant, false, true}}},
            {0x60030003,
             "RaiseResultEvent",
             InvokeFlags::Method,
             VarType::Empty,
             {{"Result"}, {"Token"}, {"ErrString", VarType::Variant, false, true}}},
            {0x60030004, "SetFuncObj", InvokeFlags::Method, VarType::Empty, {{"FuncObj"}}},
        },
        {},
    };
    return info;
}

// A page may pass null or undefined for a text; both read as empty.
QString textOf(const Variant& value) {
    return value.isMissing() || value.isNull() ? QString() : value.toString();
}

} // namespace

// The host object's entry points forward to the owner while the callback is
// attached; errors stay here (a page must not see the host's failures).
class cWebView2Callback::HostObject : public DispatchObject {
public:
    explicit HostObject(std::shared_ptr<QPointer<cWebView2>> ownerCell)
        : DispatchObject(hostObjectType())
        , m_ownerCell(std::move(ownerCell)) {
        const QPointer<cWebView2>& owner = *m_ownerCell;
        bind("RaiseContextMenuEvent", InvokeFlags::Method, [&owner](QList<Variant>& a) {
            if (owner)
                owner->RaiseContextMenuEvent(a[0].toLong(), a[1].toLong());
            return Variant();
        });
        bind("RaiseMessageEvent", InvokeFlags::Method, [&owner](QList<Variant>& a) {
            if (owner)
                owner->RaiseMessageEvent(a[0].toString(), textOf(a[1]));
            return Variant();
        });
        bind("RaiseResultEvent", InvokeFlags::Method, [&owner](QList<Variant>& a) {
            if (owner)
                owner->RaiseResultEvent(a[0], a[1], textOf(a[2]));
            return Variant();
        });
        bind("SetFuncObj", InvokeFlags::Method, [&owner](QList<Variant>& a) {
            if (owner)
                owner->SetFuncObj(a[0]);
            return Variant();
        });
    }

private:
    std::shared_ptr<QPointer<cWebView2>> m_ownerCell;
};

cWebView2Callback::cWebView2Callback(cWebView2* owner, Currency token)
    : m_owner(std::make_shared<QPointer<cWebView2>>(owner))
    , m_token(token) {
}

void cWebView2Callback::attach(cWebView2* owner, Currency token) {
    *m_owner = owner;
    m_token = token;
}

void cWebView2Callback::detach() {
    *m_owner = nullptr;
}

void cWebView2Callback::completed() {
    if (cWebView2* owner = *m_owner)
        owner->pvForgetCallback(this);
}

DispatchPtr cWebView2Callback::hostObject() {
    if (!m_hostObject)
        m_hostObject = std::make_shared<HostObject>(m_owner);
    return m_hostObject;
}

HRESULT cWebView2Callback::get_AdditionalBrowserArguments(QString* value) {
    *value = m_additionalBrowserArguments;
    return hr::S_OK;
}

HRESULT cWebView2Callback::put_AdditionalBrowserArguments(const QString& value) {
    m_additionalBrowserArguments = value;
    return hr::S_OK;
}

HRESULT cWebView2Callback::get_Language(QString* value) {
    *value = m_language;
    return hr::S_OK;
}

HRESULT cWebView2Callback::put_Language(const QString& value) {
    m_language = value;
    return hr::S_OK;
}

HRESULT cWebView2Callback::get_TargetCompatibleBrowserVersion(QString* value) {
    *value = m_targetCompatibleBrowserVersion.isEmpty() && m_installedVersion
                 ? m_installedVersion()
                 : m_targetCompatibleBrowserVersion;
    return hr::S_OK;
}

HRESULT cWebView2Callback::put_TargetCompatibleBrowserVersion(const QString& value) {
    m_targetCompatibleBrowserVersion = value;
    return hr::S_OK;
}

HRESULT cWebView2Callback::get_AllowSingleSignOnUsingOSPrimaryAccount(bool* allow) {
    *allow = m_allowSingleSignOn;
    return hr::S_OK;
}

HRESULT cWebView2Callback::put_AllowSingleSignOnUsingOSPrimaryAccount(bool allow) {
    m_allowSingleSignOn = allow;
    return hr::S_OK;
}

HRESULT cWebView2Callback::get_ExclusiveUserDataFolderAccess(bool* value) {
    *value = m_exclusiveUserDataFolderAccess;
    return hr::S_OK;
}

HRESULT cWebView2Callback::put_ExclusiveUserDataFolderAccess(bool value) {
    m_exclusiveUserDataFolderAccess = value;
    return hr::S_OK;
}

HRESULT cWebView2Callback::get_IsCustomCrashReportingEnabled(bool* value) {
    *value = m_customCrashReporting;
    return hr::S_OK;
}

HRESULT cWebView2Callback::put_IsCustomCrashReportingEnabled(bool value) {
    m_customCrashReporting = value;
    return hr::S_OK;
}

HRESULT cWebView2Callback::get_EnableTrackingPrevention(bool* value) {
    *value = m_enableTrackingPrevention;
    return hr::S_OK;
}

HRESULT cWebView2Callback::put_EnableTrackingPrevention(bool value) {
    m_enableTrackingPrevention = value;
    return hr::S_OK;
}

HRESULT cWebView2Callback::get_AreBrowserExtensionsEnabled(bool* value) {
    *value = m_browserExtensions;
    return hr::S_OK;
}

HRESULT cWebView2Callback::put_AreBrowserExtensionsEnabled(bool value) {
    m_browserExtensions = value;
    return hr::S_OK;
}
