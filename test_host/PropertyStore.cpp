#include "PropertyStore.h"

#include "platform/automation/AutomationError.h"

#include <QSettings>

#include <optional>

namespace {

// "Saved" marks a section that was written, so an empty property set still counts as saved.
const QString SavedKey = QStringLiteral("Saved");

// "<type code>:<text>": the text converted back to the type gives the value.
QString encode(const Variant& value) {
    return QString::number(static_cast<int>(value.type())) + QLatin1Char(':') + value.toString();
}

// A stored entry that does not decode is left out: the control then takes its default.
std::optional<Variant> decode(const QString& stored) {
    const qsizetype colon = stored.indexOf(QLatin1Char(':'));
    bool ok = false;
    const int type = stored.left(colon).toInt(&ok);
    if (colon < 0 || !ok)
        return std::nullopt;
    try {
        return Variant(stored.mid(colon + 1)).convertTo(static_cast<VarType>(type));
    } catch (const AutomationError&) {
        return std::nullopt;
    }
}

} // namespace

PropertyStore::PropertyStore(QString path, QString section)
    : m_path(std::move(path))
    , m_section(std::move(section)) {
}

bool PropertyStore::exists() const {
    QSettings settings(m_path, QSettings::IniFormat);
    return settings.contains(m_section + QLatin1Char('/') + SavedKey);
}

PropertyBag PropertyStore::read() const {
    QSettings settings(m_path, QSettings::IniFormat);
    settings.beginGroup(m_section);
    PropertyBag bag;
    for (const QString& key : settings.childKeys()) {
        if (key == SavedKey)
            continue;
        if (const std::optional<Variant> value = decode(settings.value(key).toString()))
            bag.write(key, *value);
    }
    return bag;
}

void PropertyStore::write(const PropertyBag& bag) const {
    QSettings settings(m_path, QSettings::IniFormat);
    settings.remove(m_section);
    settings.beginGroup(m_section);
    settings.setValue(SavedKey, true);
    for (const QString& key : bag.keys())
        settings.setValue(key, encode(bag.read(key)));
}
