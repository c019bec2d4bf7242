#include "ExtensionManifest.h"

#include "modKWVJson.h"

#include "platform/automation/AutomationError.h"

namespace {

// A field's value without its quotes, trimmed; empty when absent or unterminated.
QString field(const QString& json, const char* key) {
    try {
        return kwvjson::extractJsonValue(json, QLatin1String(key))
            .toString()
            .remove(QLatin1Char('"'))
            .trimmed();
    } catch (const AutomationError&) {
        return {};
    }
}

} // namespace

ExtensionManifest ExtensionManifest::parse(const QString& json) {
    ExtensionManifest manifest;
    manifest.optionsPage = field(json, "options_page");
    const qsizetype optionsUi = json.indexOf(QLatin1String("options_ui"));
    if (manifest.optionsPage.isEmpty() && optionsUi >= 0)
        manifest.optionsPage = field(json.mid(optionsUi), "page");
    manifest.popupPage = field(json, "default_popup");
    for (const char* size : {"32", "16", "48", "64", "128"}) {
        manifest.icon = field(json, size);
        if (!manifest.icon.isEmpty())
            break;
    }
    return manifest;
}
