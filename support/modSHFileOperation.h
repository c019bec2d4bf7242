#pragma once

#include <QString>

// Shell file operations without confirmation.
namespace shellfiles {

// Deletes a file or a whole folder tree; true on success.
bool deletePath(const QString& path, bool silent = true);
// Moves a file or folder; true on success.
bool movePath(const QString& from, const QString& to, bool silent = true);
// Moves a file or folder to the user's trash; true on success.
bool recyclePath(const QString& path, bool silent = true);

} // namespace shellfiles
