#pragma once

#include "Variant.h"

#include <QFont>
#include <QList>
#include <QString>

#include <cstdint>

class QWidget;

// A container's saved property set: keys compare without regard to case and
// keep the order in which they were first written.
class PropertyBag {
public:
    // The stored value, or the default when the key is absent.
    Variant read(const QString& key, const Variant& defaultValue = {}) const;
    void write(const QString& key, const Variant& value);
    bool contains(const QString& key) const;
    void remove(const QString& key);
    QStringList keys() const;
    int count() const { return static_cast<int>(m_items.size()); }

private:
    qsizetype indexOf(const QString& key) const;

    QList<std::pair<QString, Variant>> m_items;
};

// What a container tells its controls about itself.
struct AmbientProperties {
    QFont font;
    std::uint32_t localeId = 1033;
    bool userMode = true;
};

// The container side of an embedded control.
class ControlSite {
public:
    virtual ~ControlSite();
    virtual AmbientProperties ambientProperties() const;
    // A persisted property changed: the container should save the property set again.
    virtual void propertyChanged(const QString& name);
    // The container's widget, which becomes the control widget's parent.
    virtual QWidget* containerWidget() const { return nullptr; }
};

// The control side: persistence through a property bag and the widget to embed.
class Control {
public:
    virtual ~Control();
    // The site is not owned; a container clears it before it goes away.
    virtual void setControlSite(ControlSite* site) = 0;
    // First placement on a container, no saved properties.
    virtual void initNew() = 0;
    virtual void load(const PropertyBag& bag) = 0;
    virtual void save(PropertyBag& bag) = 0;
    virtual QWidget* widget() = 0;
};
