#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "scan/path_order.h"
#include "scan/record_sort.h"

namespace {

RecordTable records;

std::string Bytes(const FileRecord& r)
{
    return std::string(reinterpret_cast<const char*>(&r), sizeof r);
}

bool Terminated(const FileRecord& r) { return std::memchr(r.path, '\0', sizeof r.path) != nullptr; }

// A path that fills its field without a NUL counts as its first 299 bytes.
std::string FoldedPath(const FileRecord& r)
{
    std::string s(r.path, strnlen(r.path, RECORD_PATH_SIZE - 1));
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return s;
}

int Compare(const FileRecord& a, const FileRecord& b)
{
    if (Terminated(a) && Terminated(b)) return ComparePaths(a, b);
    return FoldedPath(a).compare(FoldedPath(b));  // compares bytes as unsigned
}

std::vector<std::string> Snapshot(int count)
{
    std::vector<std::string> bytes;
    for (int i = 0; i < count; ++i) bytes.push_back(Bytes(records[i]));
    return bytes;
}

// Sorts the first count records and checks the result is in path order,
// equal paths in their earlier order, and holds the same records, each with
// its own details, as before.
void SortAndCheck(int count)
{
    std::vector<std::string> before = Snapshot(count);
    std::map<std::string, int> slotBefore;  // records alike in every byte are interchangeable
    for (int i = 0; i < count; ++i) slotBefore[before[i]] = i;
    SortRecords(records, count);
    for (int i = 1; i < count; ++i) {
        int order = Compare(records[i - 1], records[i]);
        ASSERT_LE(order, 0) << "slot " << i << ": " << records[i - 1].path << " / " << records[i].path;
        if (order == 0 && Bytes(records[i - 1]) != Bytes(records[i])) {
            ASSERT_LT(slotBefore[Bytes(records[i - 1])], slotBefore[Bytes(records[i])]) << "slot " << i;
        }
    }
    std::vector<std::string> after = Snapshot(count);
    std::sort(before.begin(), before.end());
    std::sort(after.begin(), after.end());
    EXPECT_EQ(after, before);
}

void Put(int slot, const std::string& path, std::mt19937& rng)
{
    std::memset(&records[slot], 0, sizeof records[slot]);
    size_t length = std::min<size_t>(path.size(), RECORD_PATH_SIZE - 1);
    std::memcpy(records[slot].path, path.data(), length);
    records[slot].details.size = rng();
    records[slot].details.checksum = static_cast<uint32_t>(slot);
}

// Paths that share long prefixes, differ in letter case, repeat, hold bytes
// above 127 and run up to the full 299 characters.
std::string RandomPath(std::mt19937& rng, const std::vector<std::string>& made)
{
    if (!made.empty() && rng() % 6 == 0) {
        std::string copy = made[rng() % made.size()];
        for (char& c : copy) {
            if (rng() % 4 == 0 && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        }
        return copy;
    }
    static const char* const prefixes[] = {
        "", "\\", "\\work\\benchdata\\tree100k\\top0", "\\work\\benchdata\\tree100k\\top01\\sub0",
        "\\Work\\BenchData\\Tree100k\\TOP01\\Sub000"};
    static const char alphabet[] = "aAbBzZ_\\.@[`{\x7F\x80\xC4\xE4\xFF";
    std::string path = prefixes[rng() % 5];
    if (rng() % 8 == 0) path += std::string(250 + rng() % 40, 'q');
    int length = static_cast<int>(rng() % (rng() % 4 == 0 ? 300 : 24));
    for (int i = 0; i < length; ++i) path += alphabet[rng() % (sizeof alphabet - 1)];
    return path.substr(0, RECORD_PATH_SIZE - 1);
}

void FillRandom(int count, unsigned seed)
{
    std::mt19937 rng(seed);
    std::vector<std::string> made;
    for (int i = 0; i < count; ++i) {
        made.push_back(RandomPath(rng, made));
        Put(i, made.back(), rng);
    }
}

}  // namespace

TEST(RecordSortTest, SortsRandomTablesOfManySizes)
{
    for (int count : {0, 1, 2, 3, 11, 12, 13, 40, 1000, 30000}) {
        for (unsigned seed = 1; seed <= (count < 1000 ? 40u : 2u); ++seed) {
            FillRandom(count, seed * 7919 + static_cast<unsigned>(count));
            SortAndCheck(count);
        }
    }
}

TEST(RecordSortTest, SortsOrderedReversedAndEqualInput)
{
    FillRandom(5000, 5);
    SortAndCheck(5000);  // now in order
    SortAndCheck(5000);
    std::reverse(records, records + 5000);
    SortAndCheck(5000);

    std::mt19937 rng(6);
    for (int i = 0; i < 5000; ++i) Put(i, i % 2 ? "\\Same\\Path.txt" : "\\same\\PATH.TXT", rng);
    SortAndCheck(5000);
    for (int i = 0; i < 5000; ++i) Put(i, std::string(RECORD_PATH_SIZE - 1, 'x'), rng);
    SortAndCheck(5000);
}

TEST(RecordSortTest, LeavesTheSlotsAfterTheCountAlone)
{
    FillRandom(11, 3);
    std::string eleventh = Bytes(records[10]);
    std::strcpy(records[0].path, "\\\xFF");
    SortRecords(records, 3);
    EXPECT_STREQ(records[2].path, "\\\xFF");
    EXPECT_EQ(Bytes(records[10]), eleventh);
}

// The last two records of a full table have no NUL in their path fields and
// no zero byte in their details: a sort that compared them past the field
// would run off the table. They count as 299 characters, equal to each other
// and to a 299-character path, after the 298-character one and before one
// that differs in the last place.
TEST(RecordSortTest, SortsAFullTableAndStopsAtTheEndOfThePathField)
{
    FillRandom(MAX_FILES, 11);
    std::mt19937 rng(12);
    std::string q299(RECORD_PATH_SIZE - 1, 'q');
    Put(10, q299, rng);
    Put(20, q299.substr(1), rng);
    Put(30, q299.substr(1) + "R", rng);
    for (int i = MAX_FILES - 2; i < MAX_FILES; ++i) {
        std::memset(&records[i], 0xFF, sizeof records[i]);
        std::memset(records[i].path, 'Q', sizeof records[i].path);
    }
    SortAndCheck(MAX_FILES);
}
