#include "ExtensionRegister.h"

#include "ExtensionManifest.h"

#include "support/modIni.h"
#include "support/modOperationFichierSimple.h"

#include <QFile>

#include <array>
#include <utility>

namespace {

using Field = QString ExtensionRegister::Entry::*;
const std::array<std::pair<const char*, Field>, 5> Sections = {{
    {"Extensions", &ExtensionRegister::Entry::folder},
    {"OptionsPage", &ExtensionRegister::Entry::optionsPage},
    {"IconPath", &ExtensionRegister::Entry::iconPath},
    {"PopupPage", &ExtensionRegister::Entry::popupPage},
    {"Name", &ExtensionRegister::Entry::name},
}};

// Manifests are small; a larger file is not read.
constexpr qint64 MaxManifestBytes = 1024 * 1024;

QString manifestText(const QString& folder) {
    QFile file(folder + QStringLiteral("/manifest.json"));
    if (!file.open(QIODevice::ReadOnly) || file.size() > MaxManifestBytes)
        return {};
    return QString::fromUtf8(file.readAll());
}

} // namespace

ExtensionRegister::ExtensionRegister(QString root)
    : m_root(std::move(root)) {
}

QString ExtensionRegister::path() const {
    return m_root + QStringLiteral("Extensions.ini");
}

ExtensionRegister::Entry ExtensionRegister::fromFolder(const QString& folder, const QString& name) {
    const ExtensionManifest manifest = ExtensionManifest::parse(manifestText(folder));
    Entry entry;
    entry.folder = folder;
    entry.optionsPage = manifest.optionsPage;
    entry.popupPage = manifest.popupPage;
    entry.iconPath =
        manifest.icon.isEmpty() ? QString() : folder + QLatin1Char('/') + manifest.icon;
    entry.name = name;
    return entry;
}

void ExtensionRegister::write(const QString& id, const Entry& entry) const {
    files::createFolderTree(m_root);
    for (const auto& [section, field] : Sections)
        ini::writeValue(QLatin1String(section), id, entry.*field, path());
}

ExtensionRegister::Entry ExtensionRegister::read(const QString& id) const {
    Entry entry;
    for (const auto& [section, field] : Sections)
        entry.*field = ini::readValue(QLatin1String(section), id, {}, path());
    return entry;
}

void ExtensionRegister::clear(const QString& id) const {
    write(id, Entry{});
}
