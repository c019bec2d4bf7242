#include "zip/CryptoPrimitives.h"

#include <openssl/core_names.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <algorithm>
#include <limits>

namespace CryptoPrimitives {

namespace {

std::string withLibraryStatus(const std::string& operation) {
    char text[256] = {};
    ERR_error_string_n(ERR_get_error(), text, sizeof text);
    return operation + " (" + text + ")";
}

void check(int status, const char* operation) {
    if (status != 1)
        throw CryptoError(operation);
}

const unsigned char* bytesOf(QByteArrayView view) {
    return reinterpret_cast<const unsigned char*>(view.data());
}

} // namespace

CryptoError::CryptoError(const std::string& operation)
    : std::runtime_error(withLibraryStatus(operation)) {
}

QByteArray pbkdf2HmacSha1(QByteArrayView password, QByteArrayView salt, int iterations,
                          int length) {
    QByteArray out(length, Qt::Uninitialized);
    check(PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()), bytesOf(salt),
                            static_cast<int>(salt.size()), iterations, EVP_sha1(), length,
                            reinterpret_cast<unsigned char*>(out.data())),
          "PKCS5_PBKDF2_HMAC");
    return out;
}

QByteArray hmacSha1(QByteArrayView key, QByteArrayView data) {
    HmacSha1 mac(key);
    mac.update(data);
    return mac.digest();
}

QByteArray randomBytes(int count) {
    QByteArray out(count, Qt::Uninitialized);
    check(RAND_bytes(reinterpret_cast<unsigned char*>(out.data()), count), "RAND_bytes");
    return out;
}

void HmacSha1::MacDeleter::operator()(evp_mac_ctx_st* ctx) const {
    EVP_MAC_CTX_free(ctx);
}

HmacSha1::HmacSha1(QByteArrayView key) {
    EVP_MAC* mac = EVP_MAC_fetch(nullptr, "HMAC", nullptr);
    if (!mac)
        throw CryptoError("EVP_MAC_fetch(HMAC)");
    m_ctx.reset(EVP_MAC_CTX_new(mac));
    EVP_MAC_free(mac);
    if (!m_ctx)
        throw CryptoError("EVP_MAC_CTX_new");
    char digest[] = "SHA1";
    const OSSL_PARAM params[] = {OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digest, 0),
                                 OSSL_PARAM_END};
    check(EVP_MAC_init(m_ctx.get(), bytesOf(key), static_cast<size_t>(key.size()), params),
          "EVP_MAC_init(SHA1)");
}

HmacSha1::~HmacSha1() = default;

void HmacSha1::update(QByteArrayView data) {
    check(EVP_MAC_update(m_ctx.get(), bytesOf(data), static_cast<size_t>(data.size())),
          "EVP_MAC_update");
}

QByteArray HmacSha1::digest() {
    QByteArray out(EVP_MAX_MD_SIZE, Qt::Uninitialized);
    size_t length = 0;
    check(EVP_MAC_final(m_ctx.get(), reinterpret_cast<unsigned char*>(out.data()), &length,
                        static_cast<size_t>(out.size())),
          "EVP_MAC_final");
    out.truncate(static_cast<qsizetype>(length));
    return out;
}

void AesEcb::CipherDeleter::operator()(evp_cipher_ctx_st* ctx) const {
    EVP_CIPHER_CTX_free(ctx);
}

AesEcb::AesEcb(QByteArrayView key)
    : m_ctx(EVP_CIPHER_CTX_new()) {
    if (!m_ctx)
        throw CryptoError("EVP_CIPHER_CTX_new");
    const EVP_CIPHER* cipher = key.size() == 16   ? EVP_aes_128_ecb()
                               : key.size() == 24 ? EVP_aes_192_ecb()
                               : key.size() == 32 ? EVP_aes_256_ecb()
                                                  : nullptr;
    if (!cipher)
        throw std::invalid_argument("AES key length must be 16, 24 or 32 bytes");
    check(EVP_EncryptInit_ex(m_ctx.get(), cipher, nullptr, bytesOf(key), nullptr),
          "EVP_EncryptInit_ex(AES)");
    check(EVP_CIPHER_CTX_set_padding(m_ctx.get(), 0), "EVP_CIPHER_CTX_set_padding");
}

AesEcb::~AesEcb() = default;

void AesEcb::encryptBlocks(const unsigned char* in, unsigned char* out, qsizetype length) {
    constexpr qsizetype maxStep = std::numeric_limits<int>::max() & ~qsizetype(15);
    for (qsizetype done = 0; done < length;) {
        const int step = static_cast<int>(std::min(maxStep, length - done));
        int written = 0;
        check(EVP_EncryptUpdate(m_ctx.get(), out + done, &written, in + done, step),
              "EVP_EncryptUpdate(AES)");
        done += step;
    }
}

} // namespace CryptoPrimitives
