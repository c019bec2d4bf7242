#include "zip/EntryEncoder.h"

#include "zip/Deflater.h"
#include "zip/TraditionalCipher.h"
#include "zip/WinZipAesCipher.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <memory>

using namespace ZipRecords;

namespace {

constexpr qint64 Chunk = 65536;
// Sources this close to 4 GiB get Zip64 sizes up front: Deflate may grow incompressible data.
constexpr qint64 Zip64Threshold = qint64(Max32) - qint64(Max32 / 256);
constexpr int AeTwoMaxSize = 20;

QString missingZip64() {
    return QStringLiteral("Missing Zip64 extension above 4GB limit");
}

// A chunk, or what is left of a file or buffer when that is less: reading
// allocates what is asked for, and an archive of many small entries would
// otherwise allocate a whole chunk for each.
qint64 readSize(const QIODevice& source) {
    if (source.isSequential())
        return Chunk;
    return std::clamp<qint64>(source.size() - source.pos(), 1, Chunk);
}

} // namespace

EntryEncoder::EntryEncoder(QIODevice& output, EntryHeader header, Settings settings)
    : m_output(output)
    , m_header(std::move(header))
    , m_settings(std::move(settings))
    , m_ownExtra(m_header.extra) {
}

QByteArray EntryEncoder::extraWith(const QByteArray& zip64Field) const {
    return zip64Field + m_aesExtra + m_ownExtra;
}

QString EntryEncoder::write(QByteArrayView bytes) {
    if (m_output.write(bytes.data(), bytes.size()) != bytes.size())
        return QStringLiteral("WriteFile ([output_archive]): ") + m_output.errorString();
    return {};
}

QString EntryEncoder::encode(QIODevice* source, qint64 sourceSize, const Progress& progress) {
    const bool never = m_settings.zip64 == Zip64Mode::Never;
    m_header.localOffset = quint64(m_output.pos());
    if (never && (m_header.localOffset >= Max32 || sourceSize >= qint64(Max32)))
        return missingZip64();
    m_zip64Local = m_settings.zip64 == Zip64Mode::Always ||
                   (!never && (sourceSize < 0 || sourceSize >= Zip64Threshold));
    const bool encrypted = source && !m_settings.password.isEmpty();
    const bool aes = encrypted && WinZipAesCipher::validStrength(m_settings.strength);
    const int method = !source || m_settings.level == 0 ? MethodStored : MethodDeflated;
    m_header.method = static_cast<quint16>(aes ? MethodAes : method);
    if (encrypted)
        m_header.flags |= FlagEncrypted;
    // Traditional encryption checks the password against the time, so the header can be
    // written before the CRC is known; sizes and CRC then follow in a data descriptor.
    if (encrypted && !aes)
        m_header.flags |= FlagDescriptor;
    if (aes) {
        const bool aeTwo = sourceSize >= 0 && sourceSize <= AeTwoMaxSize;
        m_aesExtra = aesExtra(aeTwo ? 2 : 1, m_settings.strength, method);
    }
    m_header.versionNeeded = m_zip64Local ? 45 : 20;
    m_header.zip64Sizes = m_zip64Local;
    m_header.extra = extraWith(m_zip64Local ? zip64Extra({0, 0}) : QByteArray());
    if (QString error = write(localHeader(m_header)); !error.isEmpty())
        return error;
    m_dataStart = m_output.pos();
    if (source) {
        if (QString error = pump(*source, sourceSize, progress); !error.isEmpty())
            return error;
    }
    m_header.compressedSize = quint64(m_output.pos() - m_dataStart);
    if (!m_zip64Local && (m_header.compressedSize >= Max32 || m_header.size >= Max32))
        return missingZip64();
    if (QString error = rewriteLocalHeader(); !error.isEmpty())
        return error;
    if (m_header.flags & FlagDescriptor)
        return write(
            dataDescriptor(m_header.crc32, m_header.compressedSize, m_header.size, m_zip64Local));
    return {};
}

QString EntryEncoder::pump(QIODevice& source, qint64 sourceSize, const Progress& progress) {
    std::unique_ptr<WinZipAesCipher> aes;
    std::optional<TraditionalCipher> traditional;
    QByteArray preamble;
    if (!m_aesExtra.isEmpty())
        aes = WinZipAesCipher::forWriting(m_settings.password, m_settings.strength, preamble);
    else if (m_header.flags & FlagEncrypted)
        traditional = TraditionalCipher::forWriting(
            m_settings.password, static_cast<quint8>(m_header.dosTime >> 8), preamble);
    if (QString error = write(preamble); !error.isEmpty())
        return error;

    std::unique_ptr<Deflater> deflater;
    if (m_settings.level > 0) {
        deflater = std::make_unique<Deflater>(m_settings.level);
        if (!deflater->initialised())
            return QStringLiteral("Cannot init deflate compressor");
    }
    QString error;
    // Encryption works in place, on a copy; plain pieces are written as they come.
    QByteArray encrypted;
    const auto output = [&](QByteArrayView piece) {
        if (aes || traditional) {
            encrypted.resize(piece.size());
            std::memcpy(encrypted.data(), piece.data(), size_t(piece.size()));
            if (aes)
                aes->encrypt(encrypted.data(), encrypted.size());
            if (traditional)
                traditional->encrypt(encrypted.data(), encrypted.size());
            piece = encrypted;
        }
        error = write(piece);
        return error.isEmpty();
    };
    const quint64 total = sourceSize < 0 ? 0 : quint64(sourceSize);
    quint32 crc = 0;
    quint64 size = 0;
    QByteArray buffer(readSize(source), Qt::Uninitialized);
    for (bool last = false; !last;) {
        const qint64 wanted = readSize(source);
        if (wanted > buffer.size())
            buffer.resize(wanted);
        const qint64 read = source.read(buffer.data(), wanted);
        if (read < 0 || (read == 0 && !source.atEnd()))
            return QStringLiteral("ReadFile: ") + source.errorString();
        const QByteArrayView chunk(buffer.constData(), read);
        last = source.atEnd();
        crc = static_cast<quint32>(
            crc32_z(crc, reinterpret_cast<const Bytef*>(chunk.constData()), size_t(chunk.size())));
        size += quint64(chunk.size());
        const bool ok = deflater ? deflater->deflate(chunk, last, output) : output(chunk);
        if (!ok)
            return error.isEmpty() ? QStringLiteral("Error compressing") : error;
        if (!progress(size, total))
            return QStringLiteral("User cancelled");
    }
    if (aes && (error = write(aes->authCode()), !error.isEmpty()))
        return error;
    const bool aeTwo = aes && sourceSize >= 0 && sourceSize <= AeTwoMaxSize;
    m_header.crc32 = aeTwo ? 0 : crc;
    m_header.size = size;
    return {};
}

QString EntryEncoder::rewriteLocalHeader() {
    EntryHeader local = m_header;
    local.extra = extraWith(m_zip64Local ? zip64Extra({m_header.size, m_header.compressedSize})
                                         : QByteArray());
    const qint64 end = m_output.pos();
    if (!m_output.seek(qint64(m_header.localOffset)))
        return QStringLiteral("SetFilePointerEx ([output_archive]): ") + m_output.errorString();
    if (QString error = write(localHeader(local)); !error.isEmpty())
        return error;
    if (!m_output.seek(end))
        return QStringLiteral("SetFilePointerEx ([output_archive]): ") + m_output.errorString();
    return {};
}

EntryHeader EntryEncoder::centralHeader() const {
    EntryHeader central = m_header;
    central.zip64Offset = m_settings.zip64 == Zip64Mode::Always || m_header.localOffset >= Max32;
    central.zip64Sizes = m_zip64Local;
    QList<quint64> values;
    if (central.zip64Sizes)
        values << m_header.size << m_header.compressedSize;
    if (central.zip64Offset)
        values << m_header.localOffset;
    if (!values.isEmpty())
        central.versionNeeded = 45;
    central.extra = extraWith(values.isEmpty() ? QByteArray() : zip64Extra(values));
    return central;
}
