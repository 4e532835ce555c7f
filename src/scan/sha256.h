#pragma once

#include <cstddef>
#include <cstdint>

// SHA-256 as FIPS 180-4 defines it, fed in pieces of any size. The digest
// is what sha256sum, certutil and Get-FileHash print for the same bytes.
// Where the processor has the SHA extensions, each 64-byte block is
// compressed with them; elsewhere in plain code. Both give the same digest.
constexpr size_t SHA256_DIGEST_SIZE = 32;

struct Sha256 {
    uint32_t state[8];
    uint64_t length;  // bytes added so far
    unsigned char pending[64];
};

void Sha256Begin(Sha256& sha);
void Sha256Add(Sha256& sha, const void* data, size_t size);
void Sha256End(Sha256& sha, unsigned char digest[SHA256_DIGEST_SIZE]);

// Whether the processor has the SHA extensions, and which path the digest
// takes: the extensions where present unless turned off here (the tests run
// both paths; turning them on where absent is refused).
bool Sha256ExtensionsPresent();
void Sha256UseExtensions(bool use);
