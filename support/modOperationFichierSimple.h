#pragma once

#include <QString>

// Path text, file and folder tests, folder trees and whole-file text. "/" is
// the only separator recognised.
namespace files {

// Trailing spaces removed, then "/" appended unless the path already ends with one.
QString withTrailingSeparator(const QString& path);
// Trailing spaces removed, then one final "/" removed if present.
QString withoutTrailingSeparator(const QString& path);
// The text after the last "/", the whole text when there is none.
QString fileNamePart(const QString& path);
// The text before the last "/", empty when there is none.
QString folderPart(const QString& path);
// The text after the last "." of the file name part, empty when there is none.
QString extension(const QString& path);

bool fileExists(const QString& path);
bool folderExists(const QString& path);
// Creates every folder along the path up to its last "/"; the part after it
// is not created. A path without "/" is created as one folder. Errors are ignored.
void createFolderTree(const QString& path);
// Deletes a file, ignoring every error.
void deleteFile(const QString& path);

// The whole file as UTF-8 text. A missing file is looked for again after a
// 3-second wait with the hourglass; still missing raises error 53.
QString readTextFile(const QString& path);
// Replaces the file with exactly the text, as UTF-8. With askUser, a bad file
// name asks the user for another one (an empty answer gives up) and other
// errors are shown in a warning box; without it failures are silent.
// Returns true when the file was written.
bool writeTextFile(const QString& text, const QString& path, bool askUser);

} // namespace files
