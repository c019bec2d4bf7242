#pragma once

#include "platform/automation/Variant.h"

#include <QString>

// The automation values the viewer hands to its host and its browser hosts.
namespace viewervalues {

inline Variant text(const QString& value) {
    return Variant(value);
}

// A Boolean for automation: -1 or 0.
inline Variant flag(bool value) {
    return Variant(value);
}

} // namespace viewervalues
