#pragma once

#include <QString>

// What the host keeps of an extension's manifest.json: its options page, its
// popup page and one icon, read by field search as the page messages are.
struct ExtensionManifest {
    QString optionsPage;
    QString popupPage;
    // The icon path as the manifest writes it, the 32-pixel one first.
    QString icon;

    static ExtensionManifest parse(const QString& json);
};
