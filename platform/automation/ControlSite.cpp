#include "ControlSite.h"

#include "platform/Environment.h"

#include <QApplication>

Variant PropertyBag::read(const QString& key, const Variant& defaultValue) const {
    const qsizetype index = indexOf(key);
    return index < 0 ? defaultValue : m_items[index].second;
}

void PropertyBag::write(const QString& key, const Variant& value) {
    const qsizetype index = indexOf(key);
    if (index < 0)
        m_items.append({key, value});
    else
        m_items[index].second = value;
}

bool PropertyBag::contains(const QString& key) const {
    return indexOf(key) >= 0;
}

void PropertyBag::remove(const QString& key) {
    const qsizetype index = indexOf(key);
    if (index >= 0)
        m_items.removeAt(index);
}

QStringList PropertyBag::keys() const {
    QStringList keys;
    for (const auto& item : m_items)
        keys.append(item.first);
    return keys;
}

qsizetype PropertyBag::indexOf(const QString& key) const {
    for (qsizetype i = 0; i < m_items.size(); ++i) {
        if (m_items[i].first.compare(key, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

ControlSite::~ControlSite() = default;

AmbientProperties ControlSite::ambientProperties() const {
    AmbientProperties ambient;
    ambient.font = QApplication::font();
    ambient.localeId = env::userDefaultLcid();
    return ambient;
}

void ControlSite::propertyChanged(const QString&) {
}

Control::~Control() = default;
