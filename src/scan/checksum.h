#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "model/stop_token.h"
#include "scan/sha256.h"

// A file's SHA-256, taken in the same pass as its checksum when asked for.
// It counts (whole) only when the data was read to its end, without a read
// error or a Stop.
struct FileDigest {
    bool whole;
    unsigned char bytes[SHA256_DIGEST_SIZE];
};

// The content checksum: sum over i of i * b[i] (i the 1-based position), plus
// 255 * (N + 1) for the read that finds the end of the file, all modulo 2^32.
// Signature files store this value, so it is computed exactly so.
//
// Reads the stream in blocks and stops as soon as stop (when given) is seen
// set, returning 0 as for a file never begun: a sum cut short is no
// checksum, and stored it would later show the file as changed. A read
// error ends the sum where the error struck, without the end-of-file term.
uint32_t ChecksumStream(std::FILE* stream, FileDigest* digest = nullptr, const StopToken* stop = nullptr);

// The same sum over any source of blocks. read fills up to size bytes and
// returns how many it gave, 0 at the end of the data, or -1 on a read error.
// The blocks go into block (CHECKSUM_BLOCK_SIZE bytes), or into one buffer
// of the calling thread's own when it is nullptr. After every block the
// running sum goes to progress(context, sum), when given: several files
// summed at once must not all write the one sum that the panel shows.
using ChecksumRead = long (*)(void* source, unsigned char* buffer, size_t size);
using ChecksumProgress = void (*)(void* context, uint32_t sum);
uint32_t ChecksumBlocks(ChecksumRead read, void* source, unsigned char* block = nullptr,
                        ChecksumProgress progress = nullptr, void* context = nullptr, FileDigest* digest = nullptr,
                        const StopToken* stop = nullptr);

// Running state of the sum; exposed so that the block step can be tested
// against the plain per-byte definition.
struct ChecksumState {
    uint32_t sum = 0;
    uint32_t weight = 1;
};

// Adds length bytes to the sum, exactly as one step per byte would.
void ChecksumAddBlock(ChecksumState& state, const unsigned char* data, size_t length);

// Size of one read; a Stop takes effect within one block.
constexpr size_t CHECKSUM_BLOCK_SIZE = 64 * 1024;
