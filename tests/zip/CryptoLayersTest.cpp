#include "zip/CryptoPrimitives.h"
#include "zip/TraditionalCipher.h"
#include "zip/WinZipAesCipher.h"

#include <gtest/gtest.h>

using namespace CryptoPrimitives;

namespace {

QByteArray hex(const char* text) {
    return QByteArray::fromHex(text);
}

struct Pbkdf2Case {
    QByteArray password;
    QByteArray salt;
    int iterations;
    const char* expected;
};

// RFC 6070 test vectors.
TEST(CryptoPrimitivesTest, Pbkdf2HmacSha1MatchesRfc6070) {
    const Pbkdf2Case cases[] = {
        {"password", "salt", 1, "0c60c80f961f0e71f3a9b524af6012062fe037a6"},
        {"password", "salt", 2, "ea6c014dc72d6f8ccd1ed92ace1d41f0d8de8957"},
        {"password", "salt", 4096, "4b007901b765489abead49d926f721d065a429c1"},
        {"passwordPASSWORDpassword", "saltSALTsaltSALTsaltSALTsaltSALTsalt", 4096,
         "3d2eec4fe41c849b80c8d83662c0e44a8b291a964cf2f07038"},
        {QByteArray("pass\0word", 9), QByteArray("sa\0lt", 5), 4096,
         "56fa6aa75548099dcc37d7f03425e0c3"},
    };
    for (const auto& c : cases) {
        const QByteArray expected = hex(c.expected);
        EXPECT_EQ(pbkdf2HmacSha1(c.password, c.salt, c.iterations, int(expected.size())).toHex(),
                  expected.toHex())
            << c.password.constData() << " c=" << c.iterations;
    }
}

// RFC 2202 test cases 1, 2 and 6 (key longer than a block).
TEST(CryptoPrimitivesTest, HmacSha1MatchesRfc2202) {
    EXPECT_EQ(hmacSha1(QByteArray(20, '\x0b'), "Hi There").toHex(),
              "b617318655057264e28bc0b6fb378c8ef146be00");
    EXPECT_EQ(hmacSha1("Jefe", "what do ya want for nothing?").toHex(),
              "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79");
    EXPECT_EQ(
        hmacSha1(QByteArray(80, '\xaa'), "Test Using Larger Than Block-Size Key - Hash Key First")
            .toHex(),
        "aa4ae5e15272d00e95705637ce8a3b55ed402112");
    HmacSha1 pieces("Jefe");
    pieces.update("what do ya want ");
    pieces.update("for nothing?");
    EXPECT_EQ(pieces.digest().toHex(), "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79");
}

// FIPS-197 appendix C known answers for the three key sizes.
TEST(CryptoPrimitivesTest, AesMatchesFips197) {
    const QByteArray plain = hex("00112233445566778899aabbccddeeff");
    const struct {
        const char* key;
        const char* cipher;
    } cases[] = {
        {"000102030405060708090a0b0c0d0e0f", "69c4e0d86a7b0430d8cdb78070b4c55a"},
        {"000102030405060708090a0b0c0d0e0f1011121314151617", "dda97ca4864cdfe06eaf70a0ec0d7191"},
        {"000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f",
         "8ea2b7ca516745bfeafc49904b496089"},
    };
    for (const auto& c : cases) {
        AesEcb aes(hex(c.key));
        QByteArray out(16, '\0');
        aes.encryptBlocks(reinterpret_cast<const unsigned char*>(plain.constData()),
                          reinterpret_cast<unsigned char*>(out.data()), 16);
        EXPECT_EQ(out.toHex(), QByteArray(c.cipher)) << c.key;
    }
}

// The counter starts at 1 and is little-endian: the first keystream block is AES(01 00 .. 00)
// and the second AES(02 00 .. 00).
TEST(WinZipAesCipherTest, KeystreamUsesLittleEndianCounterFromOne) {
    const QByteArray key = hex("000102030405060708090a0b0c0d0e0f");
    QByteArray material = key + QByteArray(16, 'm') + "vv";
    WinZipAesCipher cipher(material, 16);
    QByteArray data(40, '\0');
    cipher.encrypt(data.data(), data.size());

    AesEcb aes(key);
    QByteArray counters(48, '\0');
    counters[0] = 1;
    counters[16] = 2;
    counters[32] = 3;
    QByteArray expected(48, '\0');
    aes.encryptBlocks(reinterpret_cast<const unsigned char*>(counters.constData()),
                      reinterpret_cast<unsigned char*>(expected.data()), 48);
    EXPECT_EQ(data.toHex(), expected.left(40).toHex());
    EXPECT_EQ(cipher.authCode(), hmacSha1(QByteArray(16, 'm'), data).left(10));
}

TEST(WinZipAesCipherTest, RoundTripChecksPasswordAndAuthenticationCode) {
    for (int strength = 1; strength <= 3; ++strength) {
        QByteArray preamble;
        auto writer = WinZipAesCipher::forWriting("secret", strength, preamble);
        ASSERT_EQ(preamble.size(), WinZipAesCipher::saltSize(strength) + 2);
        QByteArray data = QByteArray("attack at dawn ").repeated(1000);
        const QByteArray plain = data;
        // Odd piece sizes exercise keystream carried across calls.
        writer->encrypt(data.data(), 7);
        writer->encrypt(data.data() + 7, data.size() - 7);
        const QByteArray code = writer->authCode();
        EXPECT_NE(data, plain);

        const QByteArray salt = preamble.left(WinZipAesCipher::saltSize(strength));
        const QByteArray verifier = preamble.right(2);
        EXPECT_EQ(WinZipAesCipher::forReading("wrong", strength, salt, verifier), nullptr);
        auto reader = WinZipAesCipher::forReading("secret", strength, salt, verifier);
        ASSERT_NE(reader, nullptr);
        QByteArray tampered = data;
        tampered[100] = char(tampered[100] ^ 1);
        reader->decrypt(tampered.data(), tampered.size());
        EXPECT_FALSE(reader->authCodeMatches(code)) << "strength " << strength;

        auto again = WinZipAesCipher::forReading("secret", strength, salt, verifier);
        again->decrypt(data.data(), data.size());
        EXPECT_EQ(data, plain);
        EXPECT_TRUE(again->authCodeMatches(code));
    }
}

TEST(TraditionalCipherTest, RoundTripAndPasswordCheck) {
    QByteArray header;
    auto writer = TraditionalCipher::forWriting("pw", 0xA7, header);
    QByteArray data("some data to hide");
    writer.encrypt(data.data(), data.size());

    auto reader = TraditionalCipher::forReading("pw", header, 0xA7);
    ASSERT_TRUE(reader.has_value());
    reader->decrypt(data.data(), data.size());
    EXPECT_EQ(data, QByteArray("some data to hide"));

    // One check byte: a wrong password passes about once in 256 tries.
    int accepted = 0;
    for (int i = 0; i < 1000; ++i)
        accepted += TraditionalCipher::forReading("wrong" + QByteArray::number(i), header, 0xA7)
                        .has_value();
    EXPECT_LT(accepted, 20);
}

} // namespace
