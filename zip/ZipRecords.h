#pragma once

#include "zip/ByteCursor.h"

#include <QByteArray>
#include <QDateTime>
#include <QIODevice>
#include <QList>
#include <QString>

#include <optional>

// The fixed records of the archive format and their readers and writers.
namespace ZipRecords {

constexpr quint32 LocalHeaderSignature = 0x04034B50;
constexpr quint32 CentralHeaderSignature = 0x02014B50;
constexpr quint32 EndSignature = 0x06054B50;
constexpr quint32 Zip64EndSignature = 0x06064B50;
constexpr quint32 Zip64LocatorSignature = 0x07064B50;
constexpr quint32 DescriptorSignature = 0x08074B50;

constexpr int LocalHeaderSize = 30;
constexpr int CentralHeaderSize = 46;
constexpr int EndSize = 22;
constexpr int Zip64LocatorSize = 20;
constexpr int Zip64EndSize = 56;

constexpr quint32 Max32 = 0xFFFFFFFFu;
constexpr quint16 Max16 = 0xFFFFu;

constexpr quint16 Zip64ExtraId = 0x0001;
constexpr quint16 UnicodePathExtraId = 0x7075;
constexpr quint16 AesExtraId = 0x9901;

constexpr quint16 FlagEncrypted = 1u << 0;
constexpr quint16 FlagDescriptor = 1u << 3;
constexpr quint16 FlagStrongEncryption = 1u << 6;
constexpr quint16 FlagUtf8 = 1u << 11;

// "Version made by": the high byte is the host system, the low byte the version (6.3).
constexpr quint16 MadeByDos = 63u;

constexpr int MethodStored = 0;
constexpr int MethodDeflated = 8;
constexpr int MethodAes = 99;

struct EndOfCentralDirectory {
    qint64 position = 0;
    quint16 disk = 0;
    quint16 totalEntries = 0;
    quint32 directorySize = 0;
    quint32 directoryOffset = 0;
    quint16 commentLength = 0;
};

struct Zip64Locator {
    quint32 disk = 0;
    quint64 recordOffset = 0;
};

struct Zip64End {
    quint64 totalEntries = 0;
    quint64 directorySize = 0;
    quint64 directoryOffset = 0;
};

// The fields the central and local headers share, as stored.
struct EntryHeader {
    quint16 madeBy = 0;
    quint16 versionNeeded = 20;
    quint16 flags = 0;
    quint16 method = 0;
    quint16 dosTime = 0;
    quint16 dosDate = 0;
    quint32 crc32 = 0;
    quint64 compressedSize = 0;
    quint64 size = 0;
    quint32 externalAttributes = 0;
    quint64 localOffset = 0;
    QByteArray name;
    QByteArray extra;
    QByteArray comment;
    // When writing: store 0xFFFFFFFF in the 32-bit fields and the values in a Zip64 field.
    bool zip64Sizes = false;
    bool zip64Offset = false;
};

EndOfCentralDirectory readEndOfCentralDirectory(ByteCursor& cursor, qint64 position);
Zip64Locator readZip64Locator(ByteCursor& cursor);
Zip64End readZip64End(ByteCursor& cursor);
// Reads the 46 fixed bytes; name, extra and comment lengths go to the last three arguments.
EntryHeader readCentralHeader(ByteCursor& cursor, quint16& nameLength, quint16& extraLength,
                              quint16& commentLength);
EntryHeader readLocalHeader(ByteCursor& cursor, quint16& nameLength, quint16& extraLength);

// Values an entry takes from its extra fields.
struct ExtraFields {
    std::optional<QString> unicodeName;
    int aesVendorVersion = 0;
    int aesStrength = 0;
    int aesMethod = 0;
};
// Walks the extra fields; the Zip64 field replaces those sizes and offset of `header` that hold
// 0xFFFFFFFF. An empty error means success.
ExtraFields readExtraFields(const QByteArray& extra, EntryHeader& header, qint64 base,
                            QString& error);

QByteArray zip64Extra(const QList<quint64>& values);
// For an entry whose name or comment is non-ASCII text stored in the code page (no UTF-8 flag):
// marks it as made on MS-DOS and adds the Unicode path field for a non-ASCII `name`.
void markCodePageText(EntryHeader& header, const QString& name, const QString& comment);
// Info-ZIP Unicode path field: `name` in UTF-8 for a header that stores it as `headerName`.
QByteArray unicodePathExtra(const QByteArray& headerName, const QString& name);
QByteArray aesExtra(int vendorVersion, int strength, int method);
QByteArray localHeader(const EntryHeader& header);
QByteArray centralHeader(const EntryHeader& header);
QByteArray dataDescriptor(quint32 crc, quint64 compressedSize, quint64 size, bool zip64);
// Zip64 end record and locator (when `zip64`) and the end-of-central-directory record.
QByteArray endRecords(quint64 entries, quint64 directoryOffset, quint64 directorySize,
                      const QByteArray& comment, bool zip64);

QDateTime fromDosTime(quint16 date, quint16 time);
void toDosTime(const QDateTime& when, quint16& date, quint16& time);

// Reads exactly `length` bytes at `offset`; a shorter result means the archive ends early.
QByteArray readAt(QIODevice& device, qint64 offset, qint64 length);

} // namespace ZipRecords
