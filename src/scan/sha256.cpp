#include "scan/sha256.h"

#include <atomic>
#include <cstring>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#include <immintrin.h>
#define OLVARIN_SHA_EXTENSIONS 1
#endif

namespace {

constexpr uint32_t ROUND_CONSTANTS[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

inline uint32_t Rotate(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

void CompressPlain(uint32_t state[8], const unsigned char* data, size_t blocks)
{
    for (; blocks > 0; --blocks, data += 64) {
        uint32_t w[64];
        for (int i = 0; i < 16; ++i) {
            w[i] = uint32_t{data[4 * i]} << 24 | uint32_t{data[4 * i + 1]} << 16 | uint32_t{data[4 * i + 2]} << 8 |
                   data[4 * i + 3];
        }
        for (int i = 16; i < 64; ++i) {
            uint32_t s0 = Rotate(w[i - 15], 7) ^ Rotate(w[i - 15], 18) ^ (w[i - 15] >> 3);
            uint32_t s1 = Rotate(w[i - 2], 17) ^ Rotate(w[i - 2], 19) ^ (w[i - 2] >> 10);
            w[i] = w[i - 16] + s0 + w[i - 7] + s1;
        }
        uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
        uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
        for (int i = 0; i < 64; ++i) {
            uint32_t t1 = h + (Rotate(e, 6) ^ Rotate(e, 11) ^ Rotate(e, 25)) + ((e & f) ^ (~e & g)) +
                          ROUND_CONSTANTS[i] + w[i];
            uint32_t t2 = (Rotate(a, 2) ^ Rotate(a, 13) ^ Rotate(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
            h = g, g = f, f = e, e = d + t1, d = c, c = b, b = a, a = t1 + t2;
        }
        state[0] += a, state[1] += b, state[2] += c, state[3] += d;
        state[4] += e, state[5] += f, state[6] += g, state[7] += h;
    }
}

#if defined(OLVARIN_SHA_EXTENSIONS)
// The instructions keep the state as ABEF and CDGH and take the message in
// four-word groups, two rounds per instruction; the schedule is kept in four
// registers that rotate, each group's words made from the four before.
__attribute__((target("sha,sse4.1"))) void CompressWithExtensions(uint32_t state[8], const unsigned char* data,
                                                                 size_t blocks)
{
    const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
    __m128i cdab = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[0])), 0xB1);
    __m128i cdgh = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[4])), 0x1B);
    __m128i abef = _mm_alignr_epi8(cdab, cdgh, 8);
    cdgh = _mm_blend_epi16(cdgh, cdab, 0xF0);
    for (; blocks > 0; --blocks, data += 64) {
        const __m128i abefBefore = abef, cdghBefore = cdgh;
        __m128i m[4];
#pragma GCC unroll 16
        for (int g = 0; g < 16; ++g) {
            if (g < 4) {
                m[g] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * g)), byteSwap);
            }
            __m128i words = _mm_add_epi32(
                m[g & 3], _mm_loadu_si128(reinterpret_cast<const __m128i*>(&ROUND_CONSTANTS[4 * g])));
            cdgh = _mm_sha256rnds2_epu32(cdgh, abef, words);
            if (g >= 3 && g <= 14) {
                __m128i next = _mm_add_epi32(m[(g + 1) & 3], _mm_alignr_epi8(m[g & 3], m[(g - 1) & 3], 4));
                m[(g + 1) & 3] = _mm_sha256msg2_epu32(next, m[g & 3]);
            }
            abef = _mm_sha256rnds2_epu32(abef, cdgh, _mm_shuffle_epi32(words, 0x0E));
            if (g >= 1 && g <= 12) {
                m[(g - 1) & 3] = _mm_sha256msg1_epu32(m[(g - 1) & 3], m[g & 3]);
            }
        }
        abef = _mm_add_epi32(abef, abefBefore);
        cdgh = _mm_add_epi32(cdgh, cdghBefore);
    }
    __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
    __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[0]), _mm_blend_epi16(feba, dchg, 0xF0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[4]), _mm_alignr_epi8(dchg, feba, 8));
}

bool ProcessorHasExtensions()
{
    unsigned a, b, c, d;
    // SHA (leaf 7, EBX bit 29), with SSSE3 and SSE4.1 (leaf 1, ECX bits 9, 19).
    return __get_cpuid(1, &a, &b, &c, &d) && (c & (1u << 9)) && (c & (1u << 19)) &&
           __get_cpuid_count(7, 0, &a, &b, &c, &d) && (b & (1u << 29));
}
#else
void CompressWithExtensions(uint32_t state[8], const unsigned char* data, size_t blocks)
{
    CompressPlain(state, data, blocks);
}

bool ProcessorHasExtensions() { return false; }
#endif

const bool extensionsPresent = ProcessorHasExtensions();
std::atomic<bool> useExtensions{extensionsPresent};

void Compress(uint32_t state[8], const unsigned char* data, size_t blocks)
{
    if (useExtensions.load(std::memory_order_relaxed)) {
        CompressWithExtensions(state, data, blocks);
    } else {
        CompressPlain(state, data, blocks);
    }
}

}  // namespace

void Sha256Begin(Sha256& sha)
{
    static constexpr uint32_t INITIAL[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                            0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    std::memcpy(sha.state, INITIAL, sizeof INITIAL);
    sha.length = 0;
}

void Sha256Add(Sha256& sha, const void* data, size_t size)
{
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    size_t held = static_cast<size_t>(sha.length % 64);
    sha.length += size;
    if (held > 0) {
        size_t take = size < 64 - held ? size : 64 - held;
        std::memcpy(sha.pending + held, bytes, take);
        bytes += take, size -= take;
        if (held + take < 64) {
            return;
        }
        Compress(sha.state, sha.pending, 1);
    }
    // Whole blocks straight from the caller's buffer, without a copy.
    Compress(sha.state, bytes, size / 64);
    std::memcpy(sha.pending, bytes + size / 64 * 64, size % 64);
}

void Sha256End(Sha256& sha, unsigned char digest[SHA256_DIGEST_SIZE])
{
    // The message, a 1 bit, zeros up to 56 bytes into a block, then the
    // length in bits, big-endian.
    const uint64_t bits = sha.length * 8;
    unsigned char tail[72] = {0x80};
    size_t padding = (sha.length % 64 < 56 ? 56 : 120) - sha.length % 64;
    for (int i = 0; i < 8; ++i) {
        tail[padding + i] = static_cast<unsigned char>(bits >> (56 - 8 * i));
    }
    Sha256Add(sha, tail, padding + 8);
    for (int i = 0; i < 8; ++i) {
        for (int j = 0; j < 4; ++j) {
            digest[4 * i + j] = static_cast<unsigned char>(sha.state[i] >> (24 - 8 * j));
        }
    }
}

bool Sha256ExtensionsPresent() { return extensionsPresent; }

void Sha256UseExtensions(bool use) { useExtensions.store(use && extensionsPresent); }
