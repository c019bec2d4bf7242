#include "zip/EntryDecoder.h"

#include "zip/Inflater.h"
#include "zip/TraditionalCipher.h"
#include "zip/WinZipAesCipher.h"
#include "zip/ZipRecords.h"

#include <zlib.h>

#include <algorithm>

using namespace ZipRecords;

namespace {
constexpr qint64 Chunk = 65536;
}

EntryDecoder::EntryDecoder(QIODevice& archive, const ZipEntry& entry, int number,
                           QByteArray password)
    : m_archive(archive)
    , m_entry(entry)
    , m_number(number)
    , m_password(std::move(password)) {
}

EntryDecoder::~EntryDecoder() = default;

QString EntryDecoder::decode(const Callbacks& callbacks) {
    QString error = openData();
    if (error.isEmpty() && m_entry.method != MethodStored && m_entry.method != MethodDeflated) {
        m_raw = true;
        if (!callbacks.continueAfter(
                QStringLiteral("Unsupported compression method %1").arg(m_entry.method)))
            return QStringLiteral("User cancelled");
    }
    if (error.isEmpty() && m_entry.isEncrypted())
        error = openEncryption();
    if (error.isEmpty() && m_entry.method == MethodDeflated && !m_raw) {
        m_inflater = std::make_unique<Inflater>();
        if (!m_inflater->initialised())
            error = QStringLiteral("Cannot init inflate decompressor");
    }
    if (error.isEmpty())
        error = pump(callbacks);
    return error.isEmpty() ? finish() : error;
}

QString EntryDecoder::openData() {
    const auto offset = static_cast<qint64>(m_entry.offset);
    const QString where =
        QStringLiteral("local header of entry %1 at offset 0x%2").arg(m_number).arg(offset, 0, 16);
    ByteCursor cursor(readAt(m_archive, offset, LocalHeaderSize), offset, where);
    const quint32 signature = cursor.u32("signature");
    if (!cursor.ok())
        return QStringLiteral("Error reading archive. ") + cursor.error();
    if (signature != LocalHeaderSignature)
        return QStringLiteral("Invalid local header. Entry %1 has invalid signature").arg(m_number);
    cursor.skip(22, "fixed fields");
    const quint16 nameLength = cursor.u16("name length");
    const quint16 extraLength = cursor.u16("extra length");
    m_position = offset + LocalHeaderSize + nameLength + extraLength;
    m_remaining = m_entry.compressedSize;
    return {};
}

QString EntryDecoder::readChunk(qint64 length, QByteArray& chunk) {
    chunk = readAt(m_archive, m_position, length);
    if (chunk.size() != length)
        return QStringLiteral("Error reading archive. Entry %1 ends at offset 0x%2, %3 bytes "
                              "short")
            .arg(m_number)
            .arg(m_position + chunk.size(), 0, 16)
            .arg(length - chunk.size());
    m_position += length;
    return {};
}

QString EntryDecoder::openEncryption() {
    if (m_entry.flags & FlagStrongEncryption)
        return QStringLiteral("Unsupported encryption");
    if (m_password.isEmpty())
        return QStringLiteral("Password required");
    QByteArray header;
    if (m_entry.aesStrength) {
        if (!WinZipAesCipher::validStrength(m_entry.aesStrength))
            return QStringLiteral("Unsupported encryption");
        const qint64 saltSize = WinZipAesCipher::saltSize(m_entry.aesStrength);
        const quint64 overhead =
            saltSize + WinZipAesCipher::VerifierSize + WinZipAesCipher::AuthCodeSize;
        if (m_remaining < overhead)
            return QStringLiteral("Invalid archive. Entry %1 is too short for its encryption")
                .arg(m_number);
        if (QString error = readChunk(saltSize + WinZipAesCipher::VerifierSize, header);
            !error.isEmpty())
            return error;
        m_remaining -= overhead;
        m_aes = WinZipAesCipher::forReading(m_password, m_entry.aesStrength,
                                            QByteArrayView(header).first(saltSize),
                                            QByteArrayView(header).sliced(saltSize));
        return m_aes ? QString() : QStringLiteral("Invalid password");
    }
    if (m_remaining < TraditionalCipher::HeaderSize)
        return QStringLiteral("Invalid archive. Entry %1 is too short for its encryption")
            .arg(m_number);
    if (QString error = readChunk(TraditionalCipher::HeaderSize, header); !error.isEmpty())
        return error;
    m_remaining -= TraditionalCipher::HeaderSize;
    auto cipher = TraditionalCipher::forReading(m_password, header, m_entry.checkByte);
    if (!cipher)
        return QStringLiteral("Invalid password");
    m_traditional = std::make_unique<TraditionalCipher>(*cipher);
    return {};
}

QString EntryDecoder::writeChecked(QByteArrayView piece, const Callbacks& callbacks) {
    // The declared size bounds the output unless the data is copied undecoded.
    if (!m_raw && quint64(piece.size()) > m_entry.size - m_written)
        return QStringLiteral("Error decompressing. Entry %1 holds more than its declared %2 "
                              "bytes")
            .arg(m_number)
            .arg(m_entry.size);
    m_written += quint64(piece.size());
    m_crc = static_cast<quint32>(crc32_z(m_crc, reinterpret_cast<const Bytef*>(piece.data()),
                                         static_cast<size_t>(piece.size())));
    return callbacks.write(piece);
}

QString EntryDecoder::pump(const Callbacks& callbacks) {
    const quint64 total = m_remaining;
    QByteArray chunk;
    while (m_remaining > 0) {
        const qint64 length = qint64(std::min<quint64>(Chunk, m_remaining));
        if (QString error = readChunk(length, chunk); !error.isEmpty())
            return error;
        m_remaining -= quint64(length);
        if (m_aes)
            m_aes->decrypt(chunk.data(), chunk.size());
        if (m_traditional)
            m_traditional->decrypt(chunk.data(), chunk.size());
        QString error;
        if (!m_inflater) {
            error = writeChecked(chunk, callbacks);
        } else if (!m_streamEnded) {
            const auto status = m_inflater->inflate(chunk, [&](QByteArrayView piece) {
                error = writeChecked(piece, callbacks);
                return error.isEmpty();
            });
            if (status == Inflater::Status::Error)
                error = QStringLiteral("Error decompressing");
            m_streamEnded = status == Inflater::Status::End;
        }
        if (!error.isEmpty())
            return error;
        if (!callbacks.progress(total - m_remaining, total))
            return QStringLiteral("User cancelled");
    }
    // An empty entry may be stored with no Deflate data at all.
    const bool emptyEntry = total == 0 && m_entry.size == 0;
    if (m_inflater && !m_streamEnded && !emptyEntry)
        return QStringLiteral("Error decompressing. Entry %1 ends inside its compressed data")
            .arg(m_number);
    return {};
}

QString EntryDecoder::finish() {
    if (m_aes) {
        QByteArray code;
        if (QString error = readChunk(WinZipAesCipher::AuthCodeSize, code); !error.isEmpty())
            return error;
        if (!m_aes->authCodeMatches(code))
            return QStringLiteral("Invalid authentication code");
    }
    if (m_raw)
        return {};
    if (m_written != m_entry.size)
        return QStringLiteral("Error decompressing. Entry %1 holds %2 bytes, not its declared %3")
            .arg(m_number)
            .arg(m_written)
            .arg(m_entry.size);
    const bool ae2 = m_aes && m_entry.aesVendorVersion == 2;
    if (!ae2 && m_crc != m_entry.crc32)
        return QStringLiteral("CRC check failed");
    return {};
}
