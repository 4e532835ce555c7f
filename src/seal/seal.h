// Seals: an ECDSA P-256 signature of a signature file's exact bytes, made
// with a key the watched machine need not hold, through Windows' own crypto
// (CNG). Anyone can check one with the public key alone.
#pragma once

#include <string>

#include "seal/key_format.h"

// The seal's file beside a signature file.
std::string SealPath(const std::string& signaturePath);

// A new key pair; false when the system makes none.
bool GenerateKey(PrivateKey& key);

// The SHA-256 of a public key's DER, in lower-case hex: the key's
// fingerprint.
std::string Fingerprint(const PublicKey& key);

// Reads a key file that must hold a key of the kind wanted. An empty text
// when it does, else what is wrong, naming the file.
std::string LoadKey(const std::string& path, KeyKind wanted, PrivateKey& key);

// Signs the exact bytes of the file at path: the seal's DER into seal. An
// empty text, or what failed.
std::string SignFile(const std::string& path, const PrivateKey& key, Bytes& seal);

// Checks the seal beside the signature file with the public key: an empty
// text when it verifies, else what is wrong (no seal, a damaged seal, or a
// seal that does not verify: the file or its seal changed, or another key
// made it).
std::string VerifySeal(const std::string& signaturePath, const PublicKey& key);

// Seals the signature file that a save has written whole under temporary,
// for path: the seal goes to a temporary file beside path's seal, to be put
// in place once the file is. An empty text, or what failed.
std::string PrepareSeal(const char* temporary, const std::string& path, const PrivateKey& key,
                        std::string& sealTemporary);

// Writes bytes to a temporary file beside path, flushed to the disk; its
// name into temporary. False when it cannot.
bool WriteBeside(const std::string& path, const Bytes& bytes, std::string& temporary);
