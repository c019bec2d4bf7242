#include "zip/TraditionalCipher.h"

#include "zip/CryptoPrimitives.h"

#include <zlib.h>

namespace {

quint32 crcByte(quint32 crc, quint8 byte) {
    static const z_crc_t* const table = get_crc_table();
    return table[(crc ^ byte) & 0xFFu] ^ (crc >> 8);
}

} // namespace

TraditionalCipher::TraditionalCipher(QByteArrayView password) {
    for (char c : password)
        updateKeys(static_cast<quint8>(c));
}

void TraditionalCipher::updateKeys(quint8 plain) {
    m_keys[0] = crcByte(m_keys[0], plain);
    m_keys[1] = (m_keys[1] + (m_keys[0] & 0xFFu)) * 134775813u + 1u;
    m_keys[2] = crcByte(m_keys[2], static_cast<quint8>(m_keys[1] >> 24));
}

quint8 TraditionalCipher::keystreamByte() const {
    const quint32 temp = (m_keys[2] & 0xFFFFu) | 2u;
    return static_cast<quint8>((temp * (temp ^ 1u)) >> 8);
}

void TraditionalCipher::decrypt(char* data, qsizetype length) {
    for (qsizetype i = 0; i < length; ++i) {
        const auto plain = static_cast<quint8>(static_cast<quint8>(data[i]) ^ keystreamByte());
        updateKeys(plain);
        data[i] = static_cast<char>(plain);
    }
}

void TraditionalCipher::encrypt(char* data, qsizetype length) {
    for (qsizetype i = 0; i < length; ++i) {
        const auto plain = static_cast<quint8>(data[i]);
        data[i] = static_cast<char>(plain ^ keystreamByte());
        updateKeys(plain);
    }
}

std::optional<TraditionalCipher>
TraditionalCipher::forReading(QByteArrayView password, QByteArrayView header, quint8 checkByte) {
    TraditionalCipher cipher(password);
    QByteArray plain = header.toByteArray();
    cipher.decrypt(plain.data(), plain.size());
    if (plain.size() != HeaderSize || static_cast<quint8>(plain.back()) != checkByte)
        return std::nullopt;
    return cipher;
}

TraditionalCipher TraditionalCipher::forWriting(QByteArrayView password, quint8 checkByte,
                                                QByteArray& header) {
    TraditionalCipher cipher(password);
    header = CryptoPrimitives::randomBytes(HeaderSize);
    header[HeaderSize - 1] = static_cast<char>(checkByte);
    cipher.encrypt(header.data(), header.size());
    return cipher;
}
