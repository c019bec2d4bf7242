#include "zip/ZipRecords.h"

#include "zip/NameCodec.h"

#include <zlib.h>

#include <algorithm>

namespace ZipRecords {

namespace {

void put16(QByteArray& out, quint32 value) {
    out.append(static_cast<char>(value & 0xFF));
    out.append(static_cast<char>((value >> 8) & 0xFF));
}

void put32(QByteArray& out, quint32 value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

void put64(QByteArray& out, quint64 value) {
    put32(out, static_cast<quint32>(value));
    put32(out, static_cast<quint32>(value >> 32));
}

quint32 clamp32(quint64 value) {
    return value >= Max32 ? Max32 : static_cast<quint32>(value);
}

void putCommonFields(QByteArray& out, const EntryHeader& header) {
    put16(out, header.flags);
    put16(out, header.method);
    put16(out, header.dosTime);
    put16(out, header.dosDate);
    put32(out, header.crc32);
    put32(out, header.zip64Sizes ? Max32 : clamp32(header.compressedSize));
    put32(out, header.zip64Sizes ? Max32 : clamp32(header.size));
    put16(out, static_cast<quint32>(header.name.size()));
    put16(out, static_cast<quint32>(header.extra.size()));
}

void readCommonFields(ByteCursor& cursor, EntryHeader& header) {
    header.flags = cursor.u16("flags");
    header.method = cursor.u16("method");
    header.dosTime = cursor.u16("time");
    header.dosDate = cursor.u16("date");
    header.crc32 = cursor.u32("crc-32");
    header.compressedSize = cursor.u32("compressed size");
    header.size = cursor.u32("uncompressed size");
}

void applyZip64(ByteCursor& cursor, EntryHeader& header) {
    if (header.size == Max32)
        header.size = cursor.u64("Zip64 uncompressed size");
    if (header.compressedSize == Max32)
        header.compressedSize = cursor.u64("Zip64 compressed size");
    if (header.localOffset == Max32)
        header.localOffset = cursor.u64("Zip64 local header offset");
}

quint32 crcOf(const QByteArray& bytes) {
    return static_cast<quint32>(
        crc32_z(0, reinterpret_cast<const Bytef*>(bytes.constData()), size_t(bytes.size())));
}

// The Info-ZIP Unicode path field: version 1, the CRC-32 of the header's name, the name in
// UTF-8. A field whose CRC does not match was left behind by a tool that renamed the entry
// without knowing the field, so the header's name holds; a short or empty field is ignored.
std::optional<QString> readUnicodePath(ByteCursor& field, const QByteArray& headerName) {
    constexpr qsizetype FixedPart = 5;
    if (field.remaining() <= FixedPart || field.u8("version") != 1)
        return std::nullopt;
    const quint32 nameCrc = field.u32("name crc-32");
    if (nameCrc != crcOf(headerName))
        return std::nullopt;
    return QString::fromUtf8(field.bytes(field.remaining(), "name"));
}

} // namespace

EndOfCentralDirectory readEndOfCentralDirectory(ByteCursor& cursor, qint64 position) {
    EndOfCentralDirectory end;
    end.position = position;
    cursor.skip(4, "signature");
    end.disk = cursor.u16("disk number");
    cursor.skip(4, "directory disk and entries on disk");
    end.totalEntries = cursor.u16("total entries");
    end.directorySize = cursor.u32("directory size");
    end.directoryOffset = cursor.u32("directory offset");
    end.commentLength = cursor.u16("comment length");
    return end;
}

Zip64Locator readZip64Locator(ByteCursor& cursor) {
    Zip64Locator locator;
    cursor.skip(4, "signature");
    locator.disk = cursor.u32("disk of Zip64 record");
    locator.recordOffset = cursor.u64("Zip64 record offset");
    return locator;
}

Zip64End readZip64End(ByteCursor& cursor) {
    Zip64End end;
    cursor.skip(4 + 8 + 2 + 2 + 4 + 4 + 8, "Zip64 record header");
    end.totalEntries = cursor.u64("total entries");
    end.directorySize = cursor.u64("directory size");
    end.directoryOffset = cursor.u64("directory offset");
    return end;
}

EntryHeader readCentralHeader(ByteCursor& cursor, quint16& nameLength, quint16& extraLength,
                              quint16& commentLength) {
    EntryHeader header;
    cursor.skip(4, "signature");
    header.madeBy = cursor.u16("version made by");
    header.versionNeeded = cursor.u16("version needed");
    readCommonFields(cursor, header);
    nameLength = cursor.u16("name length");
    extraLength = cursor.u16("extra length");
    commentLength = cursor.u16("comment length");
    cursor.skip(2 + 2, "disk and internal attributes");
    header.externalAttributes = cursor.u32("external attributes");
    header.localOffset = cursor.u32("local header offset");
    return header;
}

EntryHeader readLocalHeader(ByteCursor& cursor, quint16& nameLength, quint16& extraLength) {
    EntryHeader header;
    cursor.skip(4, "signature");
    header.versionNeeded = cursor.u16("version needed");
    readCommonFields(cursor, header);
    nameLength = cursor.u16("name length");
    extraLength = cursor.u16("extra length");
    return header;
}

ExtraFields readExtraFields(const QByteArray& extra, EntryHeader& header, qint64 base,
                            QString& error) {
    ExtraFields fields;
    ByteCursor cursor(extra, base, QStringLiteral("extra field"));
    while (cursor.ok() && cursor.remaining() >= 4) {
        const quint16 id = cursor.u16("identifier");
        const quint16 length = cursor.u16("length");
        ByteCursor field(cursor.bytes(length, "data"), base + cursor.position(),
                         QStringLiteral("extra field 0x%1").arg(id, 4, 16, QLatin1Char('0')));
        if (!cursor.ok())
            break;
        if (id == Zip64ExtraId) {
            applyZip64(field, header);
        } else if (id == UnicodePathExtraId) {
            fields.unicodeName = readUnicodePath(field, header.name);
        } else if (id == AesExtraId && length >= 7) {
            fields.aesVendorVersion = field.u16("vendor version");
            field.skip(2, "vendor id");
            fields.aesStrength = field.u8("strength");
            fields.aesMethod = field.u16("method");
        }
        if (!field.ok()) {
            error = field.error();
            return fields;
        }
    }
    if (!cursor.ok())
        error = cursor.error();
    return fields;
}

QByteArray zip64Extra(const QList<quint64>& values) {
    QByteArray out;
    put16(out, Zip64ExtraId);
    put16(out, static_cast<quint32>(values.size() * 8));
    for (quint64 value : values)
        put64(out, value);
    return out;
}

QByteArray unicodePathExtra(const QByteArray& headerName, const QString& name) {
    const QByteArray utf8 = name.toUtf8();
    QByteArray out;
    put16(out, UnicodePathExtraId);
    put16(out, static_cast<quint32>(5 + utf8.size()));
    out.append(char(1));
    put32(out, crcOf(headerName));
    return out + utf8;
}

// Names and comments kept in the code page (no UTF-8 flag) are only read right by a reader
// that knows the code page: the entry says it was made on MS-DOS, whose archivers write OEM
// text, and a non-ASCII name also goes into the Unicode path field, which readers on every
// system (Info-ZIP, 7-Zip) prefer to the header's bytes, also where the code page lacks some
// of its characters.
void markCodePageText(EntryHeader& header, const QString& name, const QString& comment) {
    if ((header.flags & FlagUtf8) || (NameCodec::isAscii(name) && NameCodec::isAscii(comment)))
        return;
    header.madeBy = MadeByDos;
    if (!NameCodec::isAscii(name))
        header.extra = unicodePathExtra(header.name, name);
}

QByteArray aesExtra(int vendorVersion, int strength, int method) {
    QByteArray out;
    put16(out, AesExtraId);
    put16(out, 7);
    put16(out, static_cast<quint32>(vendorVersion));
    out.append("AE", 2);
    out.append(static_cast<char>(strength));
    put16(out, static_cast<quint32>(method));
    return out;
}

QByteArray localHeader(const EntryHeader& header) {
    QByteArray out;
    put32(out, LocalHeaderSignature);
    put16(out, header.versionNeeded);
    putCommonFields(out, header);
    return out + header.name + header.extra;
}

QByteArray centralHeader(const EntryHeader& header) {
    QByteArray out;
    put32(out, CentralHeaderSignature);
    put16(out, header.madeBy);
    put16(out, header.versionNeeded);
    putCommonFields(out, header);
    put16(out, static_cast<quint32>(header.comment.size()));
    put16(out, 0); // disk number start
    put16(out, 0); // internal attributes
    put32(out, header.externalAttributes);
    put32(out, header.zip64Offset ? Max32 : clamp32(header.localOffset));
    return out + header.name + header.extra + header.comment;
}

QByteArray dataDescriptor(quint32 crc, quint64 compressedSize, quint64 size, bool zip64) {
    QByteArray out;
    put32(out, DescriptorSignature);
    put32(out, crc);
    if (zip64) {
        put64(out, compressedSize);
        put64(out, size);
    } else {
        put32(out, static_cast<quint32>(compressedSize));
        put32(out, static_cast<quint32>(size));
    }
    return out;
}

QByteArray endRecords(quint64 entries, quint64 directoryOffset, quint64 directorySize,
                      const QByteArray& comment, bool zip64) {
    QByteArray out;
    if (zip64) {
        const quint64 recordOffset = directoryOffset + directorySize;
        put32(out, Zip64EndSignature);
        put64(out, Zip64EndSize - 12);
        put16(out, 45); // version made by
        put16(out, 45); // version needed
        put32(out, 0);  // this disk
        put32(out, 0);  // directory disk
        put64(out, entries);
        put64(out, entries);
        put64(out, directorySize);
        put64(out, directoryOffset);
        put32(out, Zip64LocatorSignature);
        put32(out, 0);
        put64(out, recordOffset);
        put32(out, 1); // total disks
    }
    const quint16 count = entries >= Max16 || zip64 ? Max16 : static_cast<quint16>(entries);
    put32(out, EndSignature);
    put16(out, 0);
    put16(out, 0);
    put16(out, count);
    put16(out, count);
    put32(out, zip64 ? Max32 : clamp32(directorySize));
    put32(out, zip64 ? Max32 : clamp32(directoryOffset));
    put16(out, static_cast<quint32>(comment.size()));
    return out + comment;
}

QDateTime fromDosTime(quint16 date, quint16 time) {
    const QDate day(1980 + (date >> 9), (date >> 5) & 0x0F, date & 0x1F);
    const QTime clock(time >> 11, (time >> 5) & 0x3F, (time & 0x1F) * 2);
    return QDateTime(day, clock.isValid() ? clock : QTime(0, 0));
}

void toDosTime(const QDateTime& when, quint16& date, quint16& time) {
    const QDateTime local = when.isValid() ? when.toLocalTime() : QDateTime::currentDateTime();
    const QDate day = local.date().year() < 1980 ? QDate(1980, 1, 1) : local.date();
    const QTime clock = local.date().year() < 1980 ? QTime(0, 0) : local.time();
    date = static_cast<quint16>(((day.year() - 1980) << 9) | (day.month() << 5) | day.day());
    time =
        static_cast<quint16>((clock.hour() << 11) | (clock.minute() << 5) | (clock.second() / 2));
}

QByteArray readAt(QIODevice& device, qint64 offset, qint64 length) {
    if (offset < 0 || length < 0 || (device.pos() != offset && !device.seek(offset)))
        return {};
    // Never ask for more than the device holds: lengths come from the archive.
    if (!device.isSequential())
        length = std::min(length, std::max<qint64>(0, device.size() - offset));
    return device.read(length);
}

} // namespace ZipRecords
