#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "compare/report_json.h"
#include "scan/checksum.h"
#include "scan/sha256.h"

namespace {

// The definition, one byte at a time, from any start.
uint32_t PlainSum(const unsigned char* bytes, size_t n, uint32_t sum, uint32_t& weight)
{
    for (size_t i = 0; i < n; ++i) sum += bytes[i] * weight++;
    return sum;
}

uint32_t ChecksumOf(const std::vector<unsigned char>& bytes, FileDigest* digest = nullptr, const StopToken* stop = nullptr)
{
    std::FILE* f = std::tmpfile();
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::rewind(f);
    uint32_t sum = ChecksumStream(f, digest, stop);
    std::fclose(f);
    return sum;
}

// The digest in hex of data fed in pieces of the sizes given, in turn.
std::string Digest(const void* data, size_t size, std::initializer_list<size_t> pieces = {size_t(-1)})
{
    Sha256 sha;
    Sha256Begin(sha);
    for (size_t done = 0, i = 0; done < size; ++i) {
        size_t piece = std::min(pieces.begin()[i % pieces.size()], size - done);
        Sha256Add(sha, static_cast<const char*>(data) + done, piece);
        done += piece;
    }
    unsigned char digest[SHA256_DIGEST_SIZE];
    Sha256End(sha, digest);
    return Hex(digest, SHA256_DIGEST_SIZE);
}

std::string Digest(const std::string& text) { return Digest(text.data(), text.size()); }

}  // namespace

// Files of every length around the block size, then the block step alone at
// every length around the vector width, odd alignments and weights that wrap.
TEST(Checksum, FilesAndBlocksGiveThePerByteDefinitionUntilAReadErrorOrAStop)
{
    EXPECT_EQ(ChecksumOf({'a', 'b', 'c'}), 1610u);
    EXPECT_EQ(ChecksumOf({}), 255u);
    std::mt19937 random(7);
    std::vector<unsigned char> data(3 * CHECKSUM_BLOCK_SIZE + 17);
    for (unsigned char& b : data) b = static_cast<unsigned char>(random());
    for (size_t size : {CHECKSUM_BLOCK_SIZE - 1, CHECKSUM_BLOCK_SIZE + 1, data.size()}) {
        uint32_t weight = 1;
        uint32_t sum = PlainSum(data.data(), size, 0, weight);
        EXPECT_EQ(ChecksumOf(std::vector<unsigned char>(data.begin(), data.begin() + size)), sum + 255u * weight);
    }
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

    // A read error ends the sum without the end term; a Stop, before the
    // first read or after one, gives zero.
    int calls = 0;  // "abc", then a failure
    auto read = [](void* s, unsigned char* buffer, size_t) -> long {
        if ((*static_cast<int*>(s))++ > 0) return -1;
        buffer[0] = 'a', buffer[1] = 'b', buffer[2] = 'c';
        return 3;
    };
    FileDigest digest;
    EXPECT_EQ(ChecksumBlocks(read, &calls, nullptr, nullptr, nullptr, &digest), 97u + 2 * 98 + 3 * 99);
    EXPECT_FALSE(digest.whole);
    // The same pass takes the SHA-256 of data read to its end.
    ChecksumOf(data, &digest);
    EXPECT_TRUE(digest.whole && Hex(digest.bytes, SHA256_DIGEST_SIZE) == Digest(data.data(), data.size()));
    StopToken stop;
    auto stopAfterRead = [](void* s, unsigned char* buffer, size_t) -> long {
        static_cast<StopToken*>(s)->Request();
        return buffer[0] = 1;
    };
    EXPECT_EQ(ChecksumBlocks(stopAfterRead, &stop, nullptr, nullptr, nullptr, &digest, &stop), 0u);
    EXPECT_FALSE(digest.whole);
    EXPECT_EQ(ChecksumOf({'a'}, nullptr, &stop), 0u);
}

class Sha256Paths : public testing::TestWithParam<bool> {
protected:
    void SetUp() override
    {
        if (GetParam() && !Sha256ExtensionsPresent()) GTEST_SKIP() << "no SHA extensions on this processor";
        Sha256UseExtensions(GetParam());
    }
    void TearDown() override { Sha256UseExtensions(true); }
};

// The published test vectors.
TEST_P(Sha256Paths, PublishedVectors)
{
    EXPECT_EQ(Digest(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Digest("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(Digest("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(Digest(std::string(1000000, 'a')), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

// Every length from 0 to 1,100 (byte j of length n is (7j + n) mod 251), fed
// in odd pieces from a misaligned buffer; the digest of all their digests in
// order, in hex, was computed with Python's hashlib.
TEST_P(Sha256Paths, EveryLengthInOddPiecesFromMisalignedBuffers)
{
    std::string digests;
    std::vector<unsigned char> buffer(1100 + 3);
    for (size_t n = 0; n <= 1100; ++n) {
        unsigned char* message = buffer.data() + 1 + n % 3;
        for (size_t j = 0; j < n; ++j) message[j] = static_cast<unsigned char>((7 * j + n) % 251);
        digests += Digest(message, n, {1, 63, 7, 65, 130, 13});
    }
    EXPECT_EQ(Digest(digests), "3ddcf901eb89da69fc5590d7b6995d88c84d63c65b335a2cb9186eacb8e2a630");
}

INSTANTIATE_TEST_SUITE_P(PlainAndExtensions, Sha256Paths, testing::Bool());
