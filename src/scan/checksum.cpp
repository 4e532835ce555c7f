#include "scan/checksum.h"

#include <atomic>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif


namespace {

// Sums of one run of bytes: plain = sum of b[j], weighted = sum of j * b[j],
// j counted from 0, both modulo 2^32.
struct BlockSums {
    uint32_t plain;
    uint32_t weighted;
};

BlockSums SumBytes(const unsigned char* data, size_t length)
{
    BlockSums sums = {0, 0};
    size_t j = 0;
#if defined(__SSE2__)
    // Sixteen bytes a step. Within a step the weights 0..15 are applied with
    // a multiply-add on 16-bit lanes; each step's offset (16 * step) is added
    // at the end from the running sums: sum over steps of step * S(step)
    // = steps * S - sum over steps of (S of every step up to and including it).
    const size_t steps = length / 16;
    if (steps > 0) {
        const __m128i zero = _mm_setzero_si128();
        const __m128i lowWeights = _mm_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7);
        const __m128i highWeights = _mm_setr_epi16(8, 9, 10, 11, 12, 13, 14, 15);
        __m128i running = zero;   // plain sum so far, in 32-bit lanes 0 and 2
        __m128i prefixes = zero;  // sum of the running sums after each step
        __m128i inStep = zero;    // sum of the weighted sums within steps
        for (size_t step = 0; step < steps; ++step) {
            __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * step));
            running = _mm_add_epi32(running, _mm_sad_epu8(v, zero));
            prefixes = _mm_add_epi32(prefixes, running);
            __m128i low = _mm_madd_epi16(_mm_unpacklo_epi8(v, zero), lowWeights);
            __m128i high = _mm_madd_epi16(_mm_unpackhi_epi8(v, zero), highWeights);
            inStep = _mm_add_epi32(inStep, _mm_add_epi32(low, high));
        }
        alignas(16) uint32_t r[4], p[4], w[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(r), running);
        _mm_store_si128(reinterpret_cast<__m128i*>(p), prefixes);
        _mm_store_si128(reinterpret_cast<__m128i*>(w), inStep);
        uint32_t plain = r[0] + r[2];
        uint32_t prefixSum = p[0] + p[2];
        uint32_t stepCount = static_cast<uint32_t>(steps);
        sums.plain = plain;
        sums.weighted = w[0] + w[1] + w[2] + w[3] + 16u * (stepCount * plain - prefixSum);
        j = steps * 16;
    }
#endif
    for (; j < length; ++j) {
        sums.plain += data[j];
        sums.weighted += static_cast<uint32_t>(j) * data[j];
    }
    return sums;
}

}  // namespace

void ChecksumAddBlock(ChecksumState& state, const unsigned char* data, size_t length)
{
    // Sum over the block of (w0 + j) * b[j] = w0 * sum(b) + sum(j * b[j]),
    // all modulo 2^32, which unsigned 32-bit arithmetic gives for free.
    BlockSums sums = SumBytes(data, length);
    state.sum += state.weight * sums.plain + sums.weighted;
    state.weight += static_cast<uint32_t>(length);
}

uint32_t ChecksumBlocks(ChecksumRead read, void* source, unsigned char* block, ChecksumProgress progress,
                        void* context, FileDigest* digest, const StopToken* stop)
{
    static thread_local unsigned char ownBlock[CHECKSUM_BLOCK_SIZE];
    if (block == nullptr) {
        block = ownBlock;
    }
    ChecksumState state;
    Sha256 sha;
    if (digest != nullptr) {
        digest->whole = false;
        Sha256Begin(sha);
    }
    for (;;) {
        if (stop != nullptr && stop->Requested()) {
            return 0;  // cut short: not a checksum of this file
        }
        long got = read(source, block, CHECKSUM_BLOCK_SIZE);
        if (got < 0) {
            break;  // a failed read ends the sum where it struck
        }
        if (got == 0) {
            // The read that finds the end yields EOF, counted as 255.
            state.sum += 255u * state.weight;
            state.weight += 1;
            if (digest != nullptr) {
                Sha256End(sha, digest->bytes);
                digest->whole = true;
            }
        } else {
            ChecksumAddBlock(state, block, static_cast<size_t>(got));
            if (digest != nullptr) {
                Sha256Add(sha, block, static_cast<size_t>(got));
            }
        }
        if (progress != nullptr) {
            progress(context, state.sum);
        }
        if (got == 0) {
            break;
        }
    }
    return state.sum;
}

namespace {

long ReadStream(void* source, unsigned char* buffer, size_t size)
{
    std::FILE* stream = static_cast<std::FILE*>(source);
    size_t got = std::fread(buffer, 1, size, stream);
    if (got > 0) {
        return static_cast<long>(got);
    }
    return std::ferror(stream) ? -1 : 0;
}

}  // namespace

uint32_t ChecksumStream(std::FILE* stream, FileDigest* digest, const StopToken* stop)
{
    return ChecksumBlocks(ReadStream, stream, nullptr, nullptr, nullptr, digest, stop);
}
