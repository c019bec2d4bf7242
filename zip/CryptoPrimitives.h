#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <memory>
#include <stdexcept>
#include <string>

struct evp_cipher_ctx_st;
struct evp_mac_ctx_st;

// The primitives the archive encryption layers need, over OpenSSL libcrypto. A library
// failure throws CryptoError naming the operation, as these failures are not data errors.
namespace CryptoPrimitives {

class CryptoError : public std::runtime_error {
public:
    explicit CryptoError(const std::string& operation);
};

QByteArray pbkdf2HmacSha1(QByteArrayView password, QByteArrayView salt, int iterations, int length);
QByteArray hmacSha1(QByteArrayView key, QByteArrayView data);
QByteArray randomBytes(int count);

// Incremental HMAC-SHA1.
class HmacSha1 {
public:
    explicit HmacSha1(QByteArrayView key);
    ~HmacSha1();
    HmacSha1(const HmacSha1&) = delete;
    HmacSha1& operator=(const HmacSha1&) = delete;

    void update(QByteArrayView data);
    QByteArray digest();

private:
    struct MacDeleter {
        void operator()(evp_mac_ctx_st* ctx) const;
    };
    std::unique_ptr<evp_mac_ctx_st, MacDeleter> m_ctx;
};

// AES block encryption in ECB mode (the building block of counter modes); key of 16, 24 or
// 32 bytes; input length a multiple of 16.
class AesEcb {
public:
    explicit AesEcb(QByteArrayView key);
    ~AesEcb();
    AesEcb(const AesEcb&) = delete;
    AesEcb& operator=(const AesEcb&) = delete;

    void encryptBlocks(const unsigned char* in, unsigned char* out, qsizetype length);

private:
    struct CipherDeleter {
        void operator()(evp_cipher_ctx_st* ctx) const;
    };
    std::unique_ptr<evp_cipher_ctx_st, CipherDeleter> m_ctx;
};

} // namespace CryptoPrimitives
