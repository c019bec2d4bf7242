#pragma once

#include "zip/CryptoPrimitives.h"

#include <QByteArray>
#include <QByteArrayView>

#include <array>
#include <memory>

// WinZip AES encryption of one entry: keys from PBKDF2-HMAC-SHA1 over the password and a salt,
// AES in counter mode with a little-endian counter starting at 1, and HMAC-SHA1 over the
// encrypted data whose first 10 bytes follow the data. The password verifier is checked when
// the layer is opened for reading and the authentication code when the data ends.
class WinZipAesCipher {
public:
    static constexpr int VerifierSize = 2;
    static constexpr int AuthCodeSize = 10;
    static constexpr int Iterations = 1000;

    // Strength 1, 2 or 3 means a 128, 192 or 256-bit key.
    static bool validStrength(int strength) { return strength >= 1 && strength <= 3; }
    static int saltSize(int strength) { return strength * 4 + 4; }
    static int keySize(int strength) { return strength * 8 + 8; }

    // Null when the password verifier does not match (wrong password).
    static std::unique_ptr<WinZipAesCipher>
    forReading(QByteArrayView password, int strength, QByteArrayView salt, QByteArrayView verifier);
    // Draws a random salt; `preamble` receives salt and verifier, written before the data.
    static std::unique_ptr<WinZipAesCipher> forWriting(QByteArrayView password, int strength,
                                                       QByteArray& preamble);

    void decrypt(char* data, qsizetype length);
    void encrypt(char* data, qsizetype length);
    QByteArray authCode();
    bool authCodeMatches(QByteArrayView stored);

    WinZipAesCipher(QByteArrayView keyMaterial, int keyLength);

private:
    void applyKeystream(char* data, qsizetype length);
    void refillKeystream(qsizetype needed);

    CryptoPrimitives::AesEcb m_aes;
    CryptoPrimitives::HmacSha1 m_mac;
    std::array<unsigned char, 16> m_counter{};
    QByteArray m_keystream;
    qsizetype m_keystreamPos = 0;
};
