#pragma once

#include <QString>

namespace registry {

// Reads a value from the registration store: the key path starts with a root
// key name ("HKEY_CLASSES_ROOT\..."); an empty value name reads the key's
// default value. A path that does not start with "HKEY_" gives
// "Incorrect Format:"; an unknown root key or a missing value gives "".
QString readValue(const QString& keyPath, const QString& valueName);

} // namespace registry
