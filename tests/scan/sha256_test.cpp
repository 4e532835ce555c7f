#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "scan/sha256.h"

namespace {

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
    std::string hex;
    for (unsigned char byte : digest) hex += "0123456789abcdef"[byte >> 4], hex += "0123456789abcdef"[byte & 15];
    return hex;
}

std::string Digest(const std::string& text) { return Digest(text.data(), text.size()); }

class Sha256Paths : public testing::TestWithParam<bool> {
protected:
    void SetUp() override
    {
        if (GetParam() && !Sha256ExtensionsPresent()) GTEST_SKIP() << "no SHA extensions on this processor";
        Sha256UseExtensions(GetParam());
    }
    void TearDown() override { Sha256UseExtensions(true); }
};

}  // namespace

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
