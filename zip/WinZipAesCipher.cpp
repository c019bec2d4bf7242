#include "zip/WinZipAesCipher.h"

#include <algorithm>

namespace {

QByteArray deriveKeyMaterial(QByteArrayView password, int strength, QByteArrayView salt) {
    const int keyLength = WinZipAesCipher::keySize(strength);
    return CryptoPrimitives::pbkdf2HmacSha1(password, salt, WinZipAesCipher::Iterations,
                                            2 * keyLength + WinZipAesCipher::VerifierSize);
}

} // namespace

WinZipAesCipher::WinZipAesCipher(QByteArrayView keyMaterial, int keyLength)
    : m_aes(keyMaterial.first(keyLength))
    , m_mac(keyMaterial.sliced(keyLength, keyLength)) {
}

std::unique_ptr<WinZipAesCipher> WinZipAesCipher::forReading(QByteArrayView password, int strength,
                                                             QByteArrayView salt,
                                                             QByteArrayView verifier) {
    if (!validStrength(strength) || salt.size() != saltSize(strength))
        return nullptr;
    const QByteArray material = deriveKeyMaterial(password, strength, salt);
    if (material.right(VerifierSize) != verifier)
        return nullptr;
    return std::make_unique<WinZipAesCipher>(material, keySize(strength));
}

std::unique_ptr<WinZipAesCipher> WinZipAesCipher::forWriting(QByteArrayView password, int strength,
                                                             QByteArray& preamble) {
    const QByteArray salt = CryptoPrimitives::randomBytes(saltSize(strength));
    const QByteArray material = deriveKeyMaterial(password, strength, salt);
    preamble = salt + material.right(VerifierSize);
    return std::make_unique<WinZipAesCipher>(material, keySize(strength));
}

void WinZipAesCipher::refillKeystream(qsizetype needed) {
    const qsizetype blocks = (needed + 15) / 16;
    QByteArray counters(blocks * 16, Qt::Uninitialized);
    for (qsizetype b = 0; b < blocks; ++b) {
        // Little-endian increment over the whole block.
        for (auto& byte : m_counter)
            if (++byte != 0)
                break;
        std::copy(m_counter.begin(), m_counter.end(), counters.begin() + b * 16);
    }
    m_keystream.resize(counters.size());
    m_aes.encryptBlocks(reinterpret_cast<const unsigned char*>(counters.constData()),
                        reinterpret_cast<unsigned char*>(m_keystream.data()), counters.size());
    m_keystreamPos = 0;
}

void WinZipAesCipher::applyKeystream(char* data, qsizetype length) {
    for (qsizetype done = 0; done < length;) {
        if (m_keystreamPos == m_keystream.size())
            refillKeystream(length - done);
        const qsizetype step = std::min(length - done, m_keystream.size() - m_keystreamPos);
        const char* key = m_keystream.constData() + m_keystreamPos;
        for (qsizetype i = 0; i < step; ++i)
            data[done + i] ^= key[i];
        done += step;
        m_keystreamPos += step;
    }
}

void WinZipAesCipher::decrypt(char* data, qsizetype length) {
    m_mac.update(QByteArrayView(data, length));
    applyKeystream(data, length);
}

void WinZipAesCipher::encrypt(char* data, qsizetype length) {
    applyKeystream(data, length);
    m_mac.update(QByteArrayView(data, length));
}

QByteArray WinZipAesCipher::authCode() {
    return m_mac.digest().left(AuthCodeSize);
}

bool WinZipAesCipher::authCodeMatches(QByteArrayView stored) {
    return authCode() == stored;
}
