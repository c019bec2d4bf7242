#pragma once

#include <QString>

namespace workingcopy {

// Puts the file the viewer shows into its instance folder without reading
// it: a second name for the same file where the file system allows it (the
// viewer only ever reads its working copy and deletes that name), otherwise
// a copy, which Qt clones where the file system can. False when neither works.
bool place(const QString& source, const QString& target);

} // namespace workingcopy
