#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <array>
#include <optional>

// Traditional PKWARE encryption: a byte stream cipher keyed from the password, with a 12-byte
// header whose last byte checks the password.
class TraditionalCipher {
public:
    static constexpr int HeaderSize = 12;

    // Decrypts the header; an empty result means the check byte did not match (wrong password).
    static std::optional<TraditionalCipher> forReading(QByteArrayView password,
                                                       QByteArrayView header, quint8 checkByte);
    // Makes a header of random bytes ending in `checkByte` and returns it encrypted in `header`.
    static TraditionalCipher forWriting(QByteArrayView password, quint8 checkByte,
                                        QByteArray& header);

    void decrypt(char* data, qsizetype length);
    void encrypt(char* data, qsizetype length);

private:
    explicit TraditionalCipher(QByteArrayView password);
    void updateKeys(quint8 plain);
    quint8 keystreamByte() const;

    std::array<quint32, 3> m_keys{0x12345678u, 0x23456789u, 0x34567890u};
};
