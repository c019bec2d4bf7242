#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// INI files with the private-profile semantics of Windows: section and key
// names compare without regard to case, the first of duplicate sections or
// keys wins, values are trimmed and lose one pair of enclosing quotes, a
// write creates the file (but not its folder) and keeps every other line.
// Files are UTF-8; "\r\n" and "\n" line ends are both read, and a write keeps
// the file's own.
namespace profile {

// The value, or the default when the file, section or key is missing; at most
// bufferSize - 1 characters are returned, as with a buffer of that size.
QString readString(const QString& section, const QString& key, const QString& defaultValue,
                   const QString& path, int bufferSize = 32767);

// Writes key=value; a missing value deletes the key and a missing key deletes
// the whole section. Returns false when the file cannot be written.
bool writeString(const QString& section, const std::optional<QString>& key,
                 const std::optional<QString>& value, const QString& path);

QStringList sectionNames(const QString& path);
QStringList keyNames(const QString& section, const QString& path);

} // namespace profile
