#include "PersistedProperties.h"

#include "modKWVUrl.h"

#include "platform/automation/ControlSite.h"

#include <algorithm>

namespace {

Variant vFlag(bool value) {
    return Variant(value);
}
Variant vText(const char* value = "") {
    return Variant(QString::fromUtf8(value));
}
Variant vLong(std::int32_t value) {
    return Variant(value);
}
Variant vInt(std::int16_t value) {
    return Variant(value);
}

} // namespace

const std::array<PersistedProperties::Definition, PersistedProperties::Count>&
PersistedProperties::definitions() {
    static const std::array<Definition, Count> table{{
        {Anchor, "Anchor", VarType::Boolean, vFlag(false), vFlag(false)},
        {HomeURL, "HomeURL", VarType::String, vText(), vText()},
        {Search_URL, "Search_URL", VarType::String, vText(),
         Variant(kwvurl::searchTemplate(kwvurl::DefaultEngine, {}))},
        {SearchEngine, "SearchEngine", VarType::Long, vLong(1), vLong(1)},
        {SearchAuto, "SearchAuto", VarType::Boolean, vFlag(true), vFlag(true)},
        {AreDefaultContextMenusEnabled, "AreDefaultContextMenusEnabled", VarType::Boolean,
         vFlag(true), vFlag(true)},
        {AreDefaultScriptDialogsEnabled, "AreDefaultScriptDialogsEnabled", VarType::Boolean,
         vFlag(true), vFlag(true)},
        {AreHostObjectsAllowed, "AreHostObjectsAllowed", VarType::Boolean, vFlag(true),
         vFlag(true)},
        {IsScriptEnabled, "IsScriptEnabled", VarType::Boolean, vFlag(false), vFlag(true)},
        {UseEdgeFixedVersion, "UseEdgeFixedVersion", VarType::Boolean, vFlag(true), vFlag(false)},
        {EdgeFixedPath, "EdgeFixedPath", VarType::String, vText(), vText()},
        {AlwaysAskForDownloadPath, "AlwaysAskForDownloadPath", VarType::Boolean, vFlag(false),
         vFlag(false)},
        {IsGeneralAutofillEnabled, "IsGeneralAutofillEnabled", VarType::Boolean, vFlag(true),
         vFlag(true)},
        {IsPasswordAutosaveEnabled, "IsPasswordAutosaveEnabled", VarType::Boolean, vFlag(true),
         vFlag(true)},
        {AreBrowserAcceleratorKeysEnabled, "AreBrowserAcceleratorKeysEnabled", VarType::Boolean,
         vFlag(true), vFlag(true)},
        {AreDevToolsEnabled, "AreDevToolsEnabled", VarType::Boolean, vFlag(true), vFlag(true)},
        {IsStatusBarEnabled, "IsStatusBarEnabled", VarType::Boolean, vFlag(true), vFlag(true)},
        {InitTimeOut, "InitTimeOut", VarType::Double, Variant(8.0), Variant(8.0)},
        {BorderStyle, "BorderStyle", VarType::Integer, vInt(0), vInt(0)},
        {UseTarnwellWebView2, "UseTarnwellWebView2", VarType::Boolean, vFlag(false), vFlag(false)},
        {BackColor, "BackColor", VarType::Long, vLong(ButtonFaceColour), vLong(ButtonFaceColour)},
        {AllowInteractiveContentLocally, "AllowInteractiveContentLocally", VarType::Boolean,
         vFlag(false), vFlag(false)},
        {AreBrowserExtensionsEnabled, "AreBrowserExtensionsEnabled", VarType::Boolean, vFlag(false),
         vFlag(false)},
        {IsMuted, "IsMuted", VarType::Boolean, vFlag(false), vFlag(false)},
        {PreferredColorScheme, "PreferredColorScheme", VarType::Integer, vInt(0), vInt(0)},
        {EnableTrackingPrevention, "EnableTrackingPrevention", VarType::Boolean, vFlag(true),
         vFlag(true)},
    }};
    return table;
}

PersistedProperties::PersistedProperties() {
    initNew();
}

void PersistedProperties::initNew() {
    for (const Definition& definition : definitions())
        m_values[definition.id] = definition.newValue;
}

void PersistedProperties::load(const PropertyBag& bag, bool anchoringAvailable) {
    for (const Definition& definition : definitions()) {
        if (definition.id == Anchor && !anchoringAvailable) {
            m_values[Anchor] = vFlag(false);
            continue;
        }
        const QString key = QLatin1String(definition.key);
        // A stored value of the wrong type (a crafted bag) counts as missing.
        try {
            set(definition.id, bag.read(key, definition.missingValue));
        } catch (const std::exception&) {
            m_values[definition.id] = definition.missingValue;
        }
    }
}

void PersistedProperties::save(PropertyBag& bag) const {
    for (const Definition& definition : definitions()) {
        if (!(m_values[definition.id] == definition.missingValue))
            bag.write(QLatin1String(definition.key), m_values[definition.id]);
    }
}

void PersistedProperties::set(Id id, const Variant& value) {
    Variant converted = value.convertTo(definitions()[id].type);
    if (id == InitTimeOut)
        converted = Variant(std::max(converted.toDouble(), MinimumInitTimeOut));
    m_values[id] = converted;
}
