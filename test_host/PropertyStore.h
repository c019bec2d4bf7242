#pragma once

#include "platform/automation/ControlSite.h"

#include <QString>

// A control's saved property set kept in an INI file, in a section named after the control.
// Each property is written with its automation type beside its text, so a Boolean or an
// Integer comes back as the type it was saved with.
class PropertyStore {
public:
    PropertyStore(QString path, QString section);

    const QString& path() const { return m_path; }
    // True when a property set was saved before (a section exists, even an empty one).
    bool exists() const;
    PropertyBag read() const;
    // Replaces the whole section with the bag.
    void write(const PropertyBag& bag) const;

private:
    QString m_path;
    QString m_section;
};
