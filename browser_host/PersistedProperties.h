#pragma once

#include "platform/automation/Variant.h"

#include <QString>

#include <array>
#include <cstddef>

class PropertyBag;

// The browser host's properties that a container saves in its property bag,
// in the order they are written, each with its value for a newly placed
// control and its value for a missing key (which is also never written).
class PersistedProperties {
public:
    enum Id : std::size_t {
        Anchor,
        HomeURL,
        Search_URL,
        SearchEngine,
        SearchAuto,
        AreDefaultContextMenusEnabled,
        AreDefaultScriptDialogsEnabled,
        AreHostObjectsAllowed,
        IsScriptEnabled,
        UseEdgeFixedVersion,
        EdgeFixedPath,
        AlwaysAskForDownloadPath,
        IsGeneralAutofillEnabled,
        IsPasswordAutosaveEnabled,
        AreBrowserAcceleratorKeysEnabled,
        AreDevToolsEnabled,
        IsStatusBarEnabled,
        InitTimeOut,
        BorderStyle,
        UseTarnwellWebView2,
        BackColor,
        AllowInteractiveContentLocally,
        AreBrowserExtensionsEnabled,
        IsMuted,
        PreferredColorScheme,
        EnableTrackingPrevention,
        Count
    };

    struct Definition {
        Id id;
        const char* key;
        VarType type;
        Variant newValue;
        Variant missingValue;
    };
    static const std::array<Definition, Count>& definitions();
    static constexpr double MinimumInitTimeOut = 8;
    static constexpr std::int32_t ButtonFaceColour = static_cast<std::int32_t>(0x8000000F);

    PersistedProperties();

    void initNew();
    // Reads every key; a missing one gives its missing value. Anchor is read
    // only when anchoring is available.
    void load(const PropertyBag& bag, bool anchoringAvailable);
    void save(PropertyBag& bag) const;

    const Variant& value(Id id) const { return m_values[id]; }
    // Stores the value converted to the property's type (InitTimeOut at least 8).
    void set(Id id, const Variant& value);
    bool flag(Id id) const { return m_values[id].toBool(); }
    QString text(Id id) const { return m_values[id].toString(); }

private:
    std::array<Variant, Count> m_values;
};
