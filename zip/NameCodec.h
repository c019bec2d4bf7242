#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

// Text of entry names and comments in a Windows code page number: 1 (the OEM code page) and
// 437 use IBM PC code page 437, 0 (the ANSI code page) and 65001 UTF-8, 28591 Latin-1; other
// numbers use the system's converter named "cpNNNN" when it has one, else code page 437.
namespace NameCodec {

constexpr int OemCodePage = 1;
constexpr int Utf8CodePage = 65001;

QString decode(QByteArrayView bytes, int codePage);
QByteArray encode(const QString& text, int codePage);
// True when every character of `text` is ASCII, which reads the same in every code page.
bool isAscii(const QString& text);

// The bytes as UTF-8, or nothing when they are not well-formed UTF-8.
std::optional<QString> strictUtf8(QByteArrayView bytes);

// True for the host systems of "version made by" (its high byte) whose archivers write names in
// the OEM code page: MS-DOS and Windows FAT (0), OS/2 HPFS (6), NTFS (11) and VFAT (14).
bool hostWritesOemNames(int host);

// Text of an entry name or comment. The UTF-8 flag wins. Without it, archives from DOS and
// Windows hosts hold `codePage` text; other hosts (Unix, macOS) write the bytes of the user's
// locale, which is UTF-8 wherever the bytes are well-formed UTF-8, so those are read as UTF-8
// and anything else with `codePage`. An unknown host (an entry found by scanning local
// headers, which carry no "version made by") is treated as a non-DOS host.
QString decodeEntryText(QByteArrayView bytes, bool utf8Flag, std::optional<int> host, int codePage);

} // namespace NameCodec
