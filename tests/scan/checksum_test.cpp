#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "model/app_state.h"
#include "scan/checksum.h"

namespace {

// The definition, one byte at a time, from any start.
uint32_t PlainSum(const unsigned char* bytes, size_t n, uint32_t sum, uint32_t& weight)
{
    for (size_t i = 0; i < n; ++i) sum += bytes[i] * weight++;
    return sum;
}

uint32_t ChecksumOf(const std::string& bytes)
{
    std::FILE* f = std::tmpfile();
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::rewind(f);
    uint32_t sum = ChecksumStream(f);
    std::fclose(f);
    return sum;
}

}  // namespace

TEST(Checksum, FilesGiveTheDefinedValueAcrossBlocks)
{
    appState.stopRequested = 0;
    EXPECT_EQ(ChecksumOf("abc"), 1610u);
    EXPECT_EQ(ChecksumOf(""), 255u);
    EXPECT_EQ(appState.currentChecksum, 255u);
    std::mt19937 random(7);
    for (size_t size : {CHECKSUM_BLOCK_SIZE - 1, CHECKSUM_BLOCK_SIZE + 1, 3 * CHECKSUM_BLOCK_SIZE + 17}) {
        std::string bytes(size, '\0');
        for (char& c : bytes) c = static_cast<char>(random());
        uint32_t weight = 1;
        uint32_t sum = PlainSum(reinterpret_cast<const unsigned char*>(bytes.data()), size, 0, weight);
        EXPECT_EQ(ChecksumOf(bytes), sum + 255u * weight) << "size " << size;
    }
}

// Every length around the vector width, odd alignments, weights that wrap.
TEST(Checksum, BlockStepEqualsThePerByteDefinition)
{
    std::mt19937 random(1001);
    std::vector<unsigned char> data(4096 + 64);
    for (unsigned char& b : data) b = static_cast<unsigned char>(random());
    for (int trial = 0; trial < 2000; ++trial) {
        size_t offset = random() % 32;
        size_t length = trial < 300 ? static_cast<size_t>(trial) : random() % 4096;
        ChecksumState state;
        state.sum = random();
        state.weight = trial % 3 == 0 ? 0xFFFFFFFFu - (random() % 5000) : random();
        uint32_t weight = state.weight;
        uint32_t sum = PlainSum(data.data() + offset, length, state.sum, weight);
        ChecksumAddBlock(state, data.data() + offset, length);
        ASSERT_EQ(state.sum, sum) << "length " << length << " offset " << offset;
        ASSERT_EQ(state.weight, weight);
    }
}

TEST(Checksum, AReadErrorEndsTheSumWithoutTheEndTermAndStopGivesZero)
{
    int calls = 0;  // "abc", then a failure
    auto read = [](void* s, unsigned char* buffer, size_t) -> long {
        if ((*static_cast<int*>(s))++ > 0) return -1;
        buffer[0] = 'a', buffer[1] = 'b', buffer[2] = 'c';
        return 3;
    };
    EXPECT_EQ(ChecksumBlocks(read, &calls), 97u + 2 * 98 + 3 * 99);
    appState.stopRequested = 1;
    EXPECT_EQ(ChecksumOf("abc"), 0u);
    appState.stopRequested = 0;
}
