#include "modSHFileOperation.h"

#include <QFile>

#include <filesystem>
#include <system_error>

namespace shellfiles {

// The silent flag chooses whether progress is shown; these operations never
// show any, so it only keeps the callers' signature.

namespace {

std::filesystem::path fsPath(const QString& path) {
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

} // namespace

bool deletePath(const QString& path, bool) {
    if (path.isEmpty())
        return false;
    std::error_code error;
    const auto removed = std::filesystem::remove_all(fsPath(path), error);
    return !error && removed > 0;
}

bool movePath(const QString& from, const QString& to, bool) {
    std::error_code error;
    std::filesystem::rename(fsPath(from), fsPath(to), error);
    if (!error)
        return true;
    // Across file systems: copy, then delete the source.
    error.clear();
    std::filesystem::copy(fsPath(from), fsPath(to), std::filesystem::copy_options::recursive,
                          error);
    return !error && deletePath(from);
}

bool recyclePath(const QString& path, bool) {
    return !path.isEmpty() && QFile::moveToTrash(path);
}

} // namespace shellfiles
