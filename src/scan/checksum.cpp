#include "scan/checksum.h"

#include <atomic>

#include "model/app_state.h"

void ChecksumAddBlock(ChecksumState& state, const unsigned char* data, size_t length)
{
    // sum over the block of (w0 + j) * b[j] = w0 * sum(b) + sum(j * b[j]),
    // all modulo 2^32, which unsigned 32-bit arithmetic gives for free.
    uint32_t plain = 0;
    uint32_t weighted = 0;
    for (size_t j = 0; j < length; ++j) {
        plain += data[j];
        weighted += static_cast<uint32_t>(j) * data[j];
    }
    state.sum += state.weight * plain + weighted;
    state.weight += static_cast<uint32_t>(length);
}

uint32_t ChecksumStream(std::FILE* stream)
{
    static thread_local unsigned char block[CHECKSUM_BLOCK_SIZE];
    ChecksumState state;
    while (appState.stopRequested.load(std::memory_order_relaxed) == 0) {
        size_t got = std::fread(block, 1, sizeof block, stream);
        ChecksumAddBlock(state, block, got);
        if (got < sizeof block) {
            if (std::feof(stream) && !std::ferror(stream)) {
                // The read that finds the end yields EOF, counted as 255.
                state.sum += 255u * state.weight;
                state.weight += 1;
            }
            appState.currentChecksum.store(state.sum, std::memory_order_relaxed);
            break;
        }
        appState.currentChecksum.store(state.sum, std::memory_order_relaxed);
    }
    return state.sum;
}
