#pragma once

#include <QString>

// The only access to the library's INI files.
namespace ini {

// The value of the key, or the default when the file, section or key is
// missing; at most 254 characters, as read into a 255-character buffer.
QString readValue(const QString& section, const QString& key, const QString& defaultValue,
                  const QString& path);
// Writes the key, creating the file and the section when needed; errors are
// not reported (a missing folder is not created).
void writeValue(const QString& section, const QString& key, const QString& value,
                const QString& path);

} // namespace ini
