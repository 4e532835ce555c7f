#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#if !defined(_WIN32)
#include <thread>
#include <unistd.h>
#endif

#include "model/app_state.h"
#include "scan/checksum.h"

namespace {

// The definition, one character at a time, as a reference.
uint32_t PlainChecksum(const std::string& bytes)
{
    uint32_t sum = 0;
    uint32_t weight = 1;
    for (unsigned char b : bytes) {
        sum += b * weight++;
    }
    return sum + 255u * weight;
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

class ChecksumTest : public ::testing::Test {
protected:
    void SetUp() override { appState.stopRequested = 0; }
    void TearDown() override { appState.stopRequested = 0; }
};

}  // namespace

TEST_F(ChecksumTest, GivesTheDefinedValues)
{
    EXPECT_EQ(ChecksumOf("abc"), 1610u);
    EXPECT_EQ(ChecksumOf("a"), 607u);
    EXPECT_EQ(ChecksumOf(""), 255u);
    EXPECT_EQ(appState.currentChecksum, 255u);
}

TEST_F(ChecksumTest, BlocksGiveThePerByteValue)
{
    std::mt19937 random(7);
    const size_t block = CHECKSUM_BLOCK_SIZE;
    for (size_t size : {block - 1, block, block + 1, 3 * block + 17, size_t{1000003}}) {
        std::string bytes(size, '\0');
        for (char& c : bytes) c = static_cast<char>(random());
        EXPECT_EQ(ChecksumOf(bytes), PlainChecksum(bytes)) << "size " << size;
    }
}

TEST_F(ChecksumTest, BlockStepWrapsTheWeightAtTwoToThe32)
{
    // Positions near 2^32 cannot be reached through a file in a test; the
    // block step takes its starting weight from the state instead.
    std::vector<unsigned char> data(1000);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<unsigned char>(i * 31 + 7);
    ChecksumState state;
    state.sum = 12345;
    state.weight = 0xFFFFFF00u;
    ChecksumAddBlock(state, data.data(), data.size());

    uint32_t sum = 12345;
    uint32_t weight = 0xFFFFFF00u;
    for (unsigned char b : data) sum += b * weight++;
    EXPECT_EQ(state.sum, sum);
    EXPECT_EQ(state.weight, weight);
}

TEST_F(ChecksumTest, BlockStepEqualsThePerByteDefinitionOnRandomInput)
{
    // Every length around the vector width, odd alignments, any start state.
    std::mt19937 random(1001);
    std::vector<unsigned char> data(4096 + 64);
    for (unsigned char& b : data) b = static_cast<unsigned char>(random());
    for (int trial = 0; trial < 2000; ++trial) {
        size_t offset = random() % 32;
        size_t length = trial < 300 ? static_cast<size_t>(trial) : random() % 4096;
        ChecksumState state;
        state.sum = random();
        state.weight = trial % 3 == 0 ? 0xFFFFFFFFu - (random() % 5000) : random();
        uint32_t sum = state.sum;
        uint32_t weight = state.weight;
        for (size_t j = 0; j < length; ++j) sum += data[offset + j] * weight++;
        ChecksumAddBlock(state, data.data() + offset, length);
        ASSERT_EQ(state.sum, sum) << "length " << length << " offset " << offset;
        ASSERT_EQ(state.weight, weight);
    }
}

TEST_F(ChecksumTest, ReadErrorEndsTheSumWithoutTheEndOfFileTerm)
{
    // A source that gives "abc" and then fails.
    struct Source {
        int calls = 0;
    } source;
    auto read = [](void* s, unsigned char* buffer, size_t) -> long {
        if (static_cast<Source*>(s)->calls++ == 0) {
            buffer[0] = 'a';
            buffer[1] = 'b';
            buffer[2] = 'c';
            return 3;
        }
        return -1;
    };
    EXPECT_EQ(ChecksumBlocks(read, &source), 97u + 2 * 98 + 3 * 99);
    EXPECT_EQ(source.calls, 2);
}

TEST_F(ChecksumTest, StopAlreadySetGivesZero)
{
    appState.stopRequested = 1;
    EXPECT_EQ(ChecksumOf("abc"), 0u);
}

#if !defined(_WIN32)
// A Stop pressed while a file is being summed takes effect within one block:
// the writer hands over one block, waits until its sum is published, sets the
// stop and only then offers more.
TEST_F(ChecksumTest, StopPartWayReturnsTheSumOfAtMostOneMoreBlock)
{
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    std::FILE* reader = fdopen(fds[0], "rb");
    const std::string blockBytes(CHECKSUM_BLOCK_SIZE, 'q');
    appState.currentChecksum = 0;
    std::thread writer([&] {
        (void)!write(fds[1], blockBytes.data(), blockBytes.size());
        while (appState.currentChecksum.load() == 0) std::this_thread::yield();
        appState.stopRequested = 1;
        (void)!write(fds[1], blockBytes.data(), blockBytes.size());
        close(fds[1]);
    });
    uint32_t sum = ChecksumStream(reader);
    writer.join();
    std::fclose(reader);

    ChecksumState one;
    ChecksumAddBlock(one, reinterpret_cast<const unsigned char*>(blockBytes.data()), blockBytes.size());
    ChecksumState two = one;
    ChecksumAddBlock(two, reinterpret_cast<const unsigned char*>(blockBytes.data()), blockBytes.size());
    EXPECT_TRUE(sum == one.sum || sum == two.sum) << sum;
    EXPECT_EQ(appState.currentChecksum, sum);
}
#endif
