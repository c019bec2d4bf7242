#pragma once

#include <QString>

// What the host keeps of an extension's manifest.json: its options page, its
// popup page and one icon, each the first string value of its key in the text.
struct ExtensionManifest {
    QString optionsPage;
    QString popupPage;
    // The icon path as the manifest writes it, the 32-pixel one first.
    QString icon;

    static ExtensionManifest parse(const QString& json);
};
