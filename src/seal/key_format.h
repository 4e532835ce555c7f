// The two key files and the seal in the standard forms any tool reads: an
// ECDSA P-256 public key as SubjectPublicKeyInfo, its private key as PKCS#8,
// each in PEM, and a signature as DER. Only the fixed shapes these take for
// P-256 are written; reading walks the DER and checks every length.
// Portable: the keys themselves come from Windows' own crypto.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr size_t P256_BYTES = 32;

struct PublicKey {
    uint8_t x[P256_BYTES];
    uint8_t y[P256_BYTES];
};

struct PrivateKey {
    PublicKey publicKey;
    uint8_t d[P256_BYTES];
};

using Bytes = std::vector<uint8_t>;

// The DER of a public key (SubjectPublicKeyInfo) and of a private key with
// its public half (PKCS#8).
Bytes EncodePublicKey(const PublicKey& key);
Bytes EncodePrivateKey(const PrivateKey& key);

// PEM: the base64 of der in lines of 64 between "-----BEGIN label-----" and
// "-----END label-----", LF line ends.
std::string Pem(const std::string& label, const Bytes& der);

enum class KeyKind { Public, Private };

// Reads a key file's text. An empty text when it holds an ECDSA P-256 key
// (kind says which; a public key fills key.publicKey alone), else what it
// holds instead: nothing PEM, a broken body, a key of another kind or curve.
std::string ReadKey(const std::string& text, KeyKind& kind, PrivateKey& key);

// An ECDSA signature as r and s of 32 bytes each, to DER and back; false
// for DER that is not one.
Bytes EncodeSignature(const uint8_t rs[2 * P256_BYTES]);
bool DecodeSignature(const Bytes& der, uint8_t rs[2 * P256_BYTES]);
