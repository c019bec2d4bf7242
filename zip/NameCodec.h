#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Text of entry names and comments in a Windows code page number: 1 (the OEM code page) and
// 437 use IBM PC code page 437, 0 (the ANSI code page) and 65001 UTF-8, 28591 Latin-1; other
// numbers use the system's converter named "cpNNNN" when it has one, else code page 437.
namespace NameCodec {

constexpr int OemCodePage = 1;
constexpr int Utf8CodePage = 65001;

QString decode(QByteArrayView bytes, int codePage);
QByteArray encode(const QString& text, int codePage);
// True when `text` survives encoding in `codePage` and decoding back unchanged.
bool roundTrips(const QString& text, int codePage);

} // namespace NameCodec
