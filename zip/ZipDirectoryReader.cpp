#include "zip/ZipDirectoryReader.h"

#include "zip/NameCodec.h"

#include <QtEndian>

#include <algorithm>
#include <numeric>

using namespace ZipRecords;

namespace {

constexpr qint64 MaxCommentSearch = 10000;
constexpr qint64 ScanChunk = 65536;

quint32 signatureOf(const QByteArray& bytes) {
    return bytes.size() < 4 ? 0 : qFromLittleEndian<quint32>(bytes.constData());
}

QString invalidArchive(const QString& detail) {
    return QStringLiteral("Invalid archive. ") + detail;
}

QString hexOffset(qint64 offset) {
    return QStringLiteral("0x") + QString::number(offset, 16).toUpper();
}

} // namespace

ZipDirectoryReader::ZipDirectoryReader(QIODevice& device, int codePage, ErrorHandler onError)
    : m_device(device)
    , m_codePage(codePage)
    , m_onError(std::move(onError)) {
}

bool ZipDirectoryReader::fail(const QString& description) {
    m_onError(description, false);
    return false;
}

bool ZipDirectoryReader::read() {
    if (const auto end = findEnd()) {
        if (const auto location = locateDirectory(*end))
            return readCentralDirectory(*location) && checkNoOverlap(location->offset);
    }
    return scanLocalHeaders();
}

std::optional<EndOfCentralDirectory> ZipDirectoryReader::findEnd() {
    const qint64 size = m_device.size();
    if (size < EndSize)
        return std::nullopt;
    const qint64 maxBack = std::min(size - EndSize, MaxCommentSearch);
    const qint64 tailStart = size - EndSize - maxBack;
    const QByteArray tail = readAt(m_device, tailStart, size - tailStart);
    if (tail.size() != size - tailStart)
        return std::nullopt;
    for (qint64 back = 0; back <= maxBack; ++back) {
        const qint64 at = tail.size() - EndSize - back;
        ByteCursor cursor(tail.mid(at, EndSize), tailStart + at,
                          QStringLiteral("end of central directory"));
        if (signatureOf(tail.mid(at, 4)) != EndSignature)
            continue;
        const EndOfCentralDirectory end = readEndOfCentralDirectory(cursor, tailStart + at);
        if (!cursor.ok() || end.commentLength != back)
            continue;
        m_comment = NameCodec::decode(QByteArrayView(tail).sliced(at + EndSize), m_codePage);
        return end;
    }
    return std::nullopt;
}

std::optional<ZipDirectoryReader::DirectoryLocation>
ZipDirectoryReader::locateDirectory(const EndOfCentralDirectory& end) {
    if (end.totalEntries == Max16 || end.directoryOffset == Max32)
        return locateZip64Directory(end);
    if (quint64(end.directoryOffset) + end.directorySize != quint64(end.position))
        return std::nullopt;
    return DirectoryLocation{end.totalEntries, end.directoryOffset, end.directorySize};
}

std::optional<ZipDirectoryReader::DirectoryLocation>
ZipDirectoryReader::locateZip64Directory(const EndOfCentralDirectory& end) {
    if (end.position < Zip64LocatorSize + Zip64EndSize)
        return std::nullopt;
    const qint64 locatorAt = end.position - Zip64LocatorSize;
    const QByteArray locatorBytes = readAt(m_device, locatorAt, Zip64LocatorSize);
    ByteCursor locatorCursor(locatorBytes, locatorAt, QStringLiteral("Zip64 locator"));
    const Zip64Locator locator = readZip64Locator(locatorCursor);
    if (!locatorCursor.ok() || signatureOf(locatorBytes) != Zip64LocatorSignature ||
        locator.disk != end.disk || locator.recordOffset > quint64(locatorAt))
        return std::nullopt;
    const auto recordAt = static_cast<qint64>(locator.recordOffset);
    const QByteArray recordBytes = readAt(m_device, recordAt, Zip64EndSize);
    ByteCursor recordCursor(recordBytes, recordAt, QStringLiteral("Zip64 end record"));
    const Zip64End record = readZip64End(recordCursor);
    if (!recordCursor.ok() || signatureOf(recordBytes) != Zip64EndSignature ||
        record.directoryOffset > locator.recordOffset ||
        record.directorySize != locator.recordOffset - record.directoryOffset)
        return std::nullopt;
    return DirectoryLocation{record.totalEntries, record.directoryOffset, record.directorySize};
}

bool ZipDirectoryReader::readCentralDirectory(const DirectoryLocation& location) {
    const quint64 end = location.offset + location.size;
    quint64 at = location.offset;
    for (quint64 index = 0; index < location.entries; ++index) {
        const QString number = QString::number(index + 1);
        if (end - at < quint64(CentralHeaderSize))
            return fail(
                invalidArchive(QStringLiteral("Central directory ends at %1 before entry %2 of %3")
                                   .arg(hexOffset(qint64(end)), number)
                                   .arg(location.entries)));
        const QByteArray fixed = readAt(m_device, qint64(at), CentralHeaderSize);
        if (signatureOf(fixed) != CentralHeaderSignature)
            return fail(
                invalidArchive(QStringLiteral("Entry %1 has invalid signature").arg(number)));
        ByteCursor cursor(fixed, qint64(at), QStringLiteral("central directory entry ") + number);
        quint16 nameLength = 0, extraLength = 0, commentLength = 0;
        EntryHeader header = readCentralHeader(cursor, nameLength, extraLength, commentLength);
        const qint64 variableLength = qint64(nameLength) + extraLength + commentLength;
        if (quint64(variableLength) > end - at - CentralHeaderSize)
            return fail(invalidArchive(
                QStringLiteral("central directory entry %1 at offset %2: name, extra and comment "
                               "(%3 bytes) exceed the directory")
                    .arg(number, hexOffset(qint64(at)))
                    .arg(variableLength)));
        ByteCursor variable(readAt(m_device, qint64(at) + CentralHeaderSize, variableLength),
                            qint64(at) + CentralHeaderSize,
                            QStringLiteral("central directory entry ") + number);
        header.name = variable.bytes(nameLength, "name");
        header.extra = variable.bytes(extraLength, "extra field");
        header.comment = variable.bytes(commentLength, "comment");
        if (!variable.ok())
            return fail(invalidArchive(variable.error()));
        const int host = header.madeBy >> 8;
        if (!loadEntry(std::move(header), qint64(at), host))
            return false;
        at += CentralHeaderSize + quint64(variableLength);
    }
    return true;
}

bool ZipDirectoryReader::checkNoOverlap(quint64 directoryOffset) {
    // Every entry needs at least its local header and its data before the next entry starts;
    // entries that share data are refused, as they are a decompression-bomb technique.
    std::vector<qsizetype> order(m_entries.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [this](qsizetype a, qsizetype b) {
        return m_entries[a].offset < m_entries[b].offset;
    });
    for (size_t i = 0; i < order.size(); ++i) {
        const ZipEntry& entry = m_entries[order[i]];
        const quint64 limit =
            i + 1 < order.size() ? m_entries[order[i + 1]].offset : directoryOffset;
        const bool fits = limit >= entry.offset && limit - entry.offset >= LocalHeaderSize &&
                          limit - entry.offset - LocalHeaderSize >= entry.compressedSize;
        if (fits)
            continue;
        const QString other = i + 1 < order.size()
                                  ? QStringLiteral("entry %1").arg(order[i + 1] + 1)
                                  : QStringLiteral("the central directory");
        return fail(invalidArchive(QStringLiteral("Entry %1 at offset %2 overlaps %3")
                                       .arg(order[i] + 1)
                                       .arg(hexOffset(qint64(entry.offset)), other)));
    }
    return true;
}

bool ZipDirectoryReader::scanLocalHeaders() {
    const qint64 size = m_device.size();
    qint64 at = 0;
    while (signatureOf(readAt(m_device, at, 4)) == LocalHeaderSignature) {
        const QString where = QStringLiteral("local header %1 at offset %2")
                                  .arg(m_entries.size() + 1)
                                  .arg(hexOffset(at));
        ByteCursor cursor(readAt(m_device, at, LocalHeaderSize), at, where);
        quint16 nameLength = 0, extraLength = 0;
        EntryHeader header = readLocalHeader(cursor, nameLength, extraLength);
        ByteCursor variable(readAt(m_device, at + LocalHeaderSize, nameLength + extraLength),
                            at + LocalHeaderSize, where);
        header.name = variable.bytes(nameLength, "name");
        header.extra = variable.bytes(extraLength, "extra field");
        if (!cursor.ok() || !variable.ok())
            return fail(invalidArchive(cursor.ok() ? variable.error() : cursor.error()));
        header.localOffset = quint64(at);
        const bool zip64 = header.size == Max32 || header.compressedSize == Max32;
        if (!loadEntry(header, at, std::nullopt))
            return false;
        const qint64 dataStart = at + LocalHeaderSize + nameLength + extraLength;
        ZipEntry& entry = m_entries.last();
        if (header.flags & FlagDescriptor) {
            if (!findDescriptor(dataStart, header, zip64, at))
                return fail(invalidArchive(
                    QStringLiteral("Entry %1: no data descriptor follows its data at offset %2")
                        .arg(m_entries.size())
                        .arg(hexOffset(dataStart))));
            entry.crc32 = header.crc32;
            entry.compressedSize = header.compressedSize;
            entry.size = header.size;
            if (!entry.aesStrength)
                entry.checkByte = static_cast<quint8>(header.dosTime >> 8);
            continue;
        }
        if (entry.compressedSize > quint64(size - dataStart))
            return fail(invalidArchive(
                QStringLiteral("Entry %1: %2 bytes of data at offset %3 run past the end of the "
                               "archive")
                    .arg(m_entries.size())
                    .arg(entry.compressedSize)
                    .arg(hexOffset(dataStart))));
        at = dataStart + qint64(entry.compressedSize);
    }
    if (m_entries.isEmpty())
        return fail(invalidArchive(QStringLiteral("No end of central directory record and no "
                                                  "local header at offset 0")));
    return true;
}

bool ZipDirectoryReader::findDescriptor(qint64 dataStart, EntryHeader& header, bool zip64,
                                        qint64& next) {
    const int descriptorSize = zip64 ? 24 : 16;
    const QByteArray signature("PK\x07\x08", 4);
    for (qint64 chunkAt = dataStart;; chunkAt += ScanChunk) {
        // Overlap chunks by three bytes so that a signature across a boundary is found.
        const QByteArray chunk = readAt(m_device, chunkAt, ScanChunk + 3);
        for (qsizetype hit = chunk.indexOf(signature); hit >= 0;
             hit = chunk.indexOf(signature, hit + 1)) {
            const qint64 at = chunkAt + hit;
            ByteCursor cursor(readAt(m_device, at, descriptorSize), at,
                              QStringLiteral("data descriptor"));
            cursor.skip(4, "signature");
            const quint32 crc = cursor.u32("crc-32");
            const quint64 compressed =
                zip64 ? cursor.u64("compressed size") : cursor.u32("compressed size");
            const quint64 size = zip64 ? cursor.u64("size") : cursor.u32("size");
            // The compressed size must reach exactly to the descriptor: a signature inside
            // the data is not taken for one.
            if (!cursor.ok() || (header.crc32 != 0 && crc != header.crc32) ||
                compressed != quint64(at - dataStart))
                continue;
            header.crc32 = crc;
            header.compressedSize = compressed;
            header.size = size;
            next = at + descriptorSize;
            return true;
        }
        if (chunk.size() < ScanChunk + 3)
            return false;
    }
}

bool ZipDirectoryReader::loadEntry(EntryHeader header, qint64 recordOffset,
                                   std::optional<int> host) {
    const qsizetype number = m_entries.size() + 1;
    QString extraError;
    const ExtraFields extra = readExtraFields(header.extra, header, recordOffset, extraError);
    if (!extraError.isEmpty() &&
        !m_onError(invalidArchive(QStringLiteral("Entry %1: ").arg(number) + extraError), true))
        return false;
    const bool utf8 = header.flags & FlagUtf8;
    const auto decode = [&](const QByteArray& bytes) {
        return NameCodec::decodeEntryText(bytes, utf8, host, m_codePage);
    };
    ZipEntry entry;
    entry.fileName = extra.unicodeName.value_or(decode(header.name));
    entry.fileName.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (entry.fileName.isEmpty()) {
        if (!m_onError(invalidArchive(QStringLiteral("Entry %1 has no filename").arg(number)),
                       true))
            return false;
        entry.fileName = QStringLiteral("[entry %1]").arg(number);
    }
    entry.attributes = header.externalAttributes;
    entry.crc32 = header.crc32;
    entry.size = header.size;
    entry.compressedSize = header.compressedSize;
    entry.comment = decode(header.comment);
    entry.lastModified = fromDosTime(header.dosDate, header.dosTime);
    entry.method = header.method;
    entry.offset = header.localOffset;
    entry.flags = header.flags;
    entry.madeBy = header.madeBy;
    if (header.method == MethodAes && extra.aesStrength) {
        entry.method = extra.aesMethod;
        entry.aesStrength = extra.aesStrength;
        entry.aesVendorVersion = extra.aesVendorVersion;
    }
    entry.checkByte = static_cast<quint8>(header.flags & FlagDescriptor ? header.dosTime >> 8
                                                                        : header.crc32 >> 24);
    m_entries.append(std::move(entry));
    return true;
}
