#pragma once

#include <QString>

// Entry names as paths: checking that a name stays inside the output folder, and the
// wildcard patterns used to select entries and files.
namespace EntryPath {

// The relative path an entry may be written to ("/" separated; a folder keeps its trailing
// "/"), or an empty string with `reason` set when the name is absolute, has a drive letter or
// climbs out with "..".
QString safeRelativePath(const QString& name, QString& reason);

// Replaces the characters a portable file name cannot hold (control characters and
// " < > | : * ?) with "_" in each part of a "/" separated path.
QString withPortableCharacters(const QString& path);

// Whole-text wildcard match without regard to case: "*" any run, "?" one character.
bool matchesWildcard(const QString& text, const QString& pattern);
// File-name pattern rules of the shell: ";" separated patterns, and "*.*" matches every name.
bool matchesFileSpec(const QString& fileName, const QString& spec);

// True when `path` (existing or not) resolves inside the existing folder `root`, following
// whatever symbolic links already exist on the way.
bool resolvesInside(const QString& root, const QString& path);

} // namespace EntryPath
