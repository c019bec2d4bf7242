#include "cWebView2.h"

#include "RuntimeLoader.h"
#include "cWebView2Private.h"

#include "platform/automation/AutomationError.h"

#include <QHash>

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
        return readProperty(d->settings3,
                            &ICoreWebView2Settings3::get_AreBrowserAcceleratorKeysEnabled);
    if (isAbsentSetting(name))
        return false;
    const auto entry = settingsTable().constFind(name.toLower());
    if (entry == settingsTable().constEnd())
        throw unknownSetting();
    return readProperty(d->settings, entry->first);
}

void cWebView2::setSetting(const QString& name, bool value) {
    if (isAcceleratorSetting(name)) {
        writeProperty(d->settings3, &ICoreWebView2Settings3::put_AreBrowserAcceleratorKeysEnabled,
                      value);
        return;
    }
    if (isAbsentSetting(name))
        return;
    const auto entry = settingsTable().constFind(name.toLower());
    if (entry == settingsTable().constEnd())
        throw unknownSetting();
    writeProperty(d->settings, entry->second, value);
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
    if (runtimeloader::load() && runtimeloader::loader().absent)
        runtimeloader::loader().absent(&names);
    return names;
}

bool cWebView2::IsFacilityAbsent(const QString& name) {
    return AbsentFacilities().contains(name, Qt::CaseInsensitive);
}

bool cWebView2::EnableTrackingPrevention() const {
    return d->trackingPreventionAsked &&
           !IsFacilityAbsent(QStringLiteral("EnableTrackingPrevention"));
}

bool cWebView2::AreBrowserExtensionsEnabled() const {
    return d->browserExtensionsAsked &&
           !IsFacilityAbsent(QStringLiteral("AreBrowserExtensionsEnabled"));
}

bool cWebView2::CanGoBack() const {
    return readProperty(d->core, &ICoreWebView2::get_CanGoBack);
}

bool cWebView2::CanGoForward() const {
    return readProperty(d->core, &ICoreWebView2::get_CanGoForward);
}

QString cWebView2::DocumentURL() const {
    return readProperty(d->core, &ICoreWebView2::get_Source);
}

QString cWebView2::DocumentTitle() const {
    return readProperty(d->core, &ICoreWebView2::get_DocumentTitle);
}

std::int32_t cWebView2::BrowserProcessId() const {
    return static_cast<std::int32_t>(readProperty(d->core, &ICoreWebView2::get_BrowserProcessId));
}

bool cWebView2::ContainsFullScreenElement() const {
    return readProperty(d->core, &ICoreWebView2::get_ContainsFullScreenElement);
}

QString cWebView2::BrowserVersion() const {
    return readProperty(d->environment, &ICoreWebView2Environment::get_BrowserVersionString);
}

QString cWebView2::StatusBarText() const {
    return readProperty(d->core12, &ICoreWebView2_12::get_StatusBarText);
}

bool cWebView2::IsMuted() const {
    return readProperty(d->core8, &ICoreWebView2_8::get_IsMuted);
}

void cWebView2::setIsMuted(bool value) {
    writeProperty(d->core8, &ICoreWebView2_8::put_IsMuted, value);
}

bool cWebView2::IsDocumentPlayingAudio() const {
    return readProperty(d->core8, &ICoreWebView2_8::get_IsDocumentPlayingAudio);
}

ComPtr<ICoreWebView2Profile> cWebView2::pvProfile() const {
    ComPtr<ICoreWebView2Profile> profile;
    if (d->core13)
        d->core13->get_Profile(profile.put());
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
    return readProperty(d->settings2, &ICoreWebView2Settings2::get_UserAgent);
}

void cWebView2::setUserAgent(const QString& value) {
    writeProperty<ICoreWebView2Settings2, const QString&>(
        d->settings2, &ICoreWebView2Settings2::put_UserAgent, value);
}
