#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

// Extension packages (CRX, versions 2 and 3): a header before a ZIP archive.
namespace crx {

// Raised for a file that is no package, or whose header runs past its end.
constexpr std::int32_t NotAPackage = static_cast<std::int32_t>(0x80040000u);
// Bytes a header needs to tell where the archive starts.
constexpr int HeadBytes = 16;

// Where the archive starts in a package of `size` bytes that begins with
// `head` (its first HeadBytes bytes, or fewer when the file is shorter).
// Raises NotAPackage when the magic is wrong or the lengths point at or past
// the end of the file.
std::int64_t archiveOffset(const QByteArray& head, std::int64_t size);

// Writes the archive part of the package file into zipPath, streamed. Raises
// NotAPackage as above, and 75 when a file cannot be read or written.
void convertFile(const QString& crxPath, const QString& zipPath);

} // namespace crx
