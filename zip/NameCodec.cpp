#include "zip/NameCodec.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <array>

namespace NameCodec {

namespace {

// Characters 0x80 to 0xFF of code page 437; the lower half is ASCII.
constexpr std::array<char16_t, 128> cp437High = {
    u'\u00C7', u'\u00FC', u'\u00E9', u'\u00E2', u'\u00E4', u'\u00E0', u'\u00E5', u'\u00E7',
    u'\u00EA', u'\u00EB', u'\u00E8', u'\u00EF', u'\u00EE', u'\u00EC', u'\u00C4', u'\u00C5',
    u'\u00C9', u'\u00E6', u'\u00C6', u'\u00F4', u'\u00F6', u'\u00F2', u'\u00FB', u'\u00F9',
    u'\u00FF', u'\u00D6', u'\u00DC', u'\u00A2', u'\u00A3', u'\u00A5', u'\u20A7', u'\u0192',
    u'\u00E1', u'\u00ED', u'\u00F3', u'\u00FA', u'\u00F1', u'\u00D1', u'\u00AA', u'\u00BA',
    u'\u00BF', u'\u2310', u'\u00AC', u'\u00BD', u'\u00BC', u'\u00A1', u'\u00AB', u'\u00BB',
    u'\u2591', u'\u2592', u'\u2593', u'\u2502', u'\u2524', u'\u2561', u'\u2562', u'\u2556',
    u'\u2555', u'\u2563', u'\u2551', u'\u2557', u'\u255D', u'\u255C', u'\u255B', u'\u2510',
    u'\u2514', u'\u2534', u'\u252C', u'\u251C', u'\u2500', u'\u253C', u'\u255E', u'\u255F',
    u'\u255A', u'\u2554', u'\u2569', u'\u2566', u'\u2560', u'\u2550', u'\u256C', u'\u2567',
    u'\u2568', u'\u2564', u'\u2565', u'\u2559', u'\u2558', u'\u2552', u'\u2553', u'\u256B',
    u'\u256A', u'\u2518', u'\u250C', u'\u2588', u'\u2584', u'\u258C', u'\u2590', u'\u2580',
    u'\u03B1', u'\u00DF', u'\u0393', u'\u03C0', u'\u03A3', u'\u03C3', u'\u00B5', u'\u03C4',
    u'\u03A6', u'\u0398', u'\u03A9', u'\u03B4', u'\u221E', u'\u03C6', u'\u03B5', u'\u2229',
    u'\u2261', u'\u00B1', u'\u2265', u'\u2264', u'\u2320', u'\u2321', u'\u00F7', u'\u2248',
    u'\u00B0', u'\u2219', u'\u00B7', u'\u221A', u'\u207F', u'\u00B2', u'\u25A0', u'\u00A0'};

QString decodeCp437(QByteArrayView bytes) {
    QString text;
    text.reserve(bytes.size());
    for (char c : bytes) {
        const auto byte = static_cast<quint8>(c);
        text.append(byte < 0x80 ? QChar(byte) : QChar(cp437High[byte - 0x80]));
    }
    return text;
}

QByteArray encodeCp437(const QString& text) {
    QByteArray bytes;
    bytes.reserve(text.size());
    for (QChar ch : text) {
        if (ch.unicode() < 0x80) {
            bytes.append(static_cast<char>(ch.unicode()));
            continue;
        }
        const auto* found = std::find(cp437High.begin(), cp437High.end(), ch.unicode());
        bytes.append(
            found == cp437High.end() ? '?' : static_cast<char>(0x80 + (found - cp437High.begin())));
    }
    return bytes;
}

QByteArray converterName(int codePage) {
    return "cp" + QByteArray::number(codePage);
}

enum class Kind { Cp437, Utf8, Latin1, Named };

Kind kindOf(int codePage) {
    switch (codePage) {
    case OemCodePage:
    case 437:
        return Kind::Cp437;
    case 0:
    case Utf8CodePage:
        return Kind::Utf8;
    case 28591:
        return Kind::Latin1;
    default:
        return QStringDecoder(converterName(codePage).constData()).isValid() ? Kind::Named
                                                                             : Kind::Cp437;
    }
}

} // namespace

QString decode(QByteArrayView bytes, int codePage) {
    switch (kindOf(codePage)) {
    case Kind::Cp437:
        return decodeCp437(bytes);
    case Kind::Utf8:
        return QString::fromUtf8(bytes);
    case Kind::Latin1:
        return QString::fromLatin1(bytes);
    case Kind::Named:
        break;
    }
    QStringDecoder decoder(converterName(codePage).constData());
    return decoder(bytes);
}

QByteArray encode(const QString& text, int codePage) {
    switch (kindOf(codePage)) {
    case Kind::Cp437:
        return encodeCp437(text);
    case Kind::Utf8:
        return text.toUtf8();
    case Kind::Latin1:
        return text.toLatin1();
    case Kind::Named:
        break;
    }
    QStringEncoder encoder(converterName(codePage).constData());
    return encoder(text);
}

bool isAscii(const QString& text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

std::optional<QString> strictUtf8(QByteArrayView bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

bool hostWritesOemNames(int host) {
    constexpr int Fat = 0, Hpfs = 6, Ntfs = 11, Vfat = 14;
    return host == Fat || host == Hpfs || host == Ntfs || host == Vfat;
}

QString decodeEntryText(QByteArrayView bytes, bool utf8Flag, std::optional<int> host,
                        int codePage) {
    if (utf8Flag)
        return QString::fromUtf8(bytes);
    if (host && hostWritesOemNames(*host))
        return decode(bytes, codePage);
    if (auto text = strictUtf8(bytes))
        return *text;
    return decode(bytes, codePage);
}

} // namespace NameCodec
