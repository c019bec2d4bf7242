#pragma once

#include "zip/ZipEntry.h"

#include <QList>
#include <QVariant>

// Which entries of an opened archive a caller's value names.
namespace EntrySelection {

// The entry `file` names: a 0-based index or a name (the first match without regard to case);
// -1 when there is none.
qsizetype indexOf(const QList<ZipEntry>& entries, const QVariant& file);

// The entries `filter` selects, in archive order: a name pattern ("folder/*.txt" matches the
// folder's own files, not those of its subfolders), an index, or a list of indexes and names.
// An invalid or null filter selects every entry.
QList<int> select(const QList<ZipEntry>& entries, const QVariant& filter);

} // namespace EntrySelection
