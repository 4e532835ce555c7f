#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "seal/key_format.h"

namespace {

PrivateKey Sample()
{
    PrivateKey key;
    for (size_t i = 0; i < P256_BYTES; ++i) {
        key.publicKey.x[i] = static_cast<uint8_t>(i), key.publicKey.y[i] = static_cast<uint8_t>(0xff - i);
        key.d[i] = static_cast<uint8_t>(0x80 + i);
    }
    return key;
}

std::string Edited(std::string pem, size_t at, char c) { return pem.replace(at, 1, 1, c); }

}  // namespace

// Both key files read back as written, in the exact DER openssl writes for
// P-256; every other content is refused with what it holds.
TEST(KeyFormat, KeysRoundTripAndAnythingElseIsNamed)
{
    const PrivateKey key = Sample();
    const Bytes der = EncodePrivateKey(key);
    ASSERT_EQ(der.size(), 138u);  // 30 81 87 ...: version, algorithm, the key with its public point
    EXPECT_EQ(Bytes(der.begin(), der.begin() + 7), (Bytes{0x30, 0x81, 0x87, 0x02, 0x01, 0x00, 0x30}));
    const std::string privatePem = Pem("PRIVATE KEY", der), publicPem = Pem("PUBLIC KEY", EncodePublicKey(key.publicKey));
    KeyKind kind;
    PrivateKey read;
    ASSERT_EQ(ReadKey(privatePem, kind, read), "");
    EXPECT_TRUE(kind == KeyKind::Private && std::memcmp(&read, &key, sizeof key) == 0);
    ASSERT_EQ(ReadKey("junk before\n" + publicPem, kind, read), "");
    EXPECT_TRUE(kind == KeyKind::Public && std::memcmp(&read.publicKey, &key.publicKey, sizeof key.publicKey) == 0);

    // Another algorithm's OID for id-ecPublicKey, another curve's for prime256v1.
    const std::string rsa = Pem("PUBLIC KEY", [&] { Bytes d = EncodePublicKey(key.publicKey); d[11] = 0x09; return d; }());
    const std::string p384 = Pem("PUBLIC KEY", [&] { Bytes d = EncodePublicKey(key.publicKey); d[22] = 0x08; return d; }());
    const struct { std::string text; const char* holds; } refused[] = {
        {"", "nothing that is a PEM key"},
        {"-----BEGIN CERTIFICATE-----\nAAAA\n-----END CERTIFICATE-----\n", "a PEM \"CERTIFICATE\""},
        {Edited(publicPem, 30, '!'), "a PEM key whose body is broken"},
        {publicPem.substr(0, publicPem.size() - 30), "a PEM key whose body is broken"},
        {rsa, "a key that is not ECDSA"},
        {p384, "an ECDSA key on another curve"},
        {Pem("PUBLIC KEY", [&] { Bytes d = EncodePublicKey(key.publicKey); d[26] = 0x03; return d; }()),  // compressed
         "a public key whose point is broken"},
    };
    for (const auto& r : refused) EXPECT_EQ(ReadKey(r.text, kind, read).find(r.holds), 0u) << r.holds;
}

// r and s as DER INTEGERs: a zero before a high bit, leading zeros dropped;
// nothing longer than 32 bytes is taken.
TEST(KeyFormat, SignaturesGoToDerAndBack)
{
    for (uint8_t first : {0x00, 0x01, 0x7f, 0x80, 0xff}) {
        uint8_t rs[64], back[64];
        for (int i = 0; i < 64; ++i) rs[i] = static_cast<uint8_t>(i * 7);
        rs[0] = first, rs[1] = 0, rs[32] = first;
        const Bytes der = EncodeSignature(rs);
        ASSERT_TRUE(DecodeSignature(der, back)) << int{first};
        EXPECT_EQ(std::memcmp(rs, back, sizeof rs), 0) << int{first};
        EXPECT_EQ(der[3], first == 0 ? 30 : first >= 0x80 ? 33 : 32);  // r's length
    }
    uint8_t rs[64];
    EXPECT_FALSE(DecodeSignature({0x30, 0x25, 0x02, 0x21, 0x01}, rs));           // cut short
    Bytes tooLong = {0x30, 0x26, 0x02, 0x21, 0x01};
    tooLong.insert(tooLong.end(), 32, 0x11);
    tooLong.insert(tooLong.end(), {0x02, 0x01, 0x01});
    EXPECT_FALSE(DecodeSignature(tooLong, rs));                                  // r of 33 bytes, not a sign byte
}
