#include "ExtensionManifest.h"

#include <QRegularExpression>

namespace {

// The first string value of the key anywhere in the text, trimmed. Spaces and
// line breaks around the colon are allowed, as manifests are written that way.
QString field(const QString& json, const char* key) {
    const QRegularExpression pattern(QStringLiteral("\"%1\"\\s*:\\s*\"([^\"]*)\"")
                                         .arg(QRegularExpression::escape(QLatin1String(key))));
    return pattern.match(json).captured(1).trimmed();
}

} // namespace

ExtensionManifest ExtensionManifest::parse(const QString& json) {
    ExtensionManifest manifest;
    manifest.optionsPage = field(json, "options_page");
    const qsizetype optionsUi = json.indexOf(QLatin1String("\"options_ui\""));
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
