#include <gtest/gtest.h>

#include <algorithm>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "scan/record_sort.h"

namespace {

RecordTable records;
std::vector<std::string> made;  // by the index each record was appended at

std::string Folded(std::string s)
{
    for (char& c : s) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return s;
}

// Sorts the table and checks against a plain stable sort of the whole paths
// (two scans of one folder must pair equal paths alike), each record with
// its own details and digest.
void SortAndCheck()
{
    std::vector<int> expected(made.size());
    std::vector<std::string> folded(made.size());
    for (size_t i = 0; i < made.size(); ++i) expected[i] = static_cast<int>(i), folded[i] = Folded(made[i]);
    std::stable_sort(expected.begin(), expected.end(), [&](int a, int b) { return folded[a] < folded[b]; });
    SortRecords(records);
    ASSERT_EQ(records.Count(), static_cast<int32_t>(made.size()));
    for (int32_t i = 0; i < records.Count(); ++i) {
        FileRecord r = records.Get(i);
        ASSERT_EQ(r.details.checksum, static_cast<uint32_t>(expected[i])) << i;
        ASSERT_EQ(r.path, made[expected[i]]) << i;
        ASSERT_EQ(r.digest[0] + 256 * r.digest[1], expected[i] % 65536);
    }
}

void Put(const std::string& path)
{
    FileRecord r = {};
    path.copy(r.path, RECORD_PATH_SIZE - 1);
    made.push_back(r.path);
    r.details.checksum = static_cast<uint32_t>(made.size() - 1);
    r.hasDigest = 1;
    r.digest[0] = static_cast<uint8_t>(r.details.checksum), r.digest[1] = static_cast<uint8_t>(r.details.checksum >> 8);
    records.Append(r);
}

// Paths that share long prefixes and folders, differ in letter case,
// repeat, hold bytes above 127 and run up to the full 299 characters.
void FillRandom(int count, unsigned seed)
{
    records.Clear(true, true);
    made.clear();
    std::mt19937 rng(seed);
    static const char* const prefixes[] = {"", "\\", "\\work\\top0", "\\work\\top01\\sub0", "\\Work\\TOP01\\Sub000"};
    static const char alphabet[] = "aAbBzZ_\\.@[`{\x7F\x80\xC4\xE4\xFF";
    for (int i = 0; i < count; ++i) {
        std::string path = prefixes[rng() % 5];
        if (!made.empty() && rng() % 6 == 0) {
            path = made[rng() % made.size()];
            for (char& c : path) c = static_cast<char>(c >= 'a' && c <= 'z' && rng() % 4 == 0 ? c - 'a' + 'A' : c);
        } else {
            if (rng() % 8 == 0) path += std::string(250 + rng() % 40, 'q');
            int length = static_cast<int>(rng() % (rng() % 4 == 0 ? 300 : 24));
            while (length-- > 0) path += alphabet[rng() % (sizeof alphabet - 1)];
        }
        Put(path.empty() ? "x" : path);
    }
}

}  // namespace

TEST(RecordSort, SortsRandomAndEqualTablesOfManySizes)
{
    for (int count : {0, 1, 2, 3, 11, 12, 13, 40, 1000, 30000}) {
        for (unsigned seed = 1; seed <= (count < 1000 ? 40u : 2u); ++seed) {
            FillRandom(count, seed * 7919 + static_cast<unsigned>(count));
            SortAndCheck();
        }
    }
    RecordTable moved;  // as a Create's scan becomes the signature
    moved.TakeFrom(records), moved.TakeFrom(moved);
    EXPECT_TRUE(moved.Count() == static_cast<int32_t>(made.size()) && records.Count() == 0);
    records.Clear(true, true), made.clear();
    for (int i = 0; i < 5000; ++i) Put(i % 2 ? "\\Same\\Path.txt" : "\\same\\PATH.TXT");
    SortAndCheck();
}

// Past 100,000 records, with 298- and 299-character paths whose last chunk
// straddles the folder and the name.
TEST(RecordSort, SortsALargeTable)
{
    FillRandom(130000, 11);
    std::string q299(RECORD_PATH_SIZE - 1, 'q');
    q299[290] = '\\';
    for (const std::string& path : {q299, q299.substr(1), q299.substr(1) + "R", q299.substr(0, 293)}) Put(path);
    SortAndCheck();
}

// A table that memory ran out on keeps its records and sorts without more.
TEST(RecordSort, ATableThatMemoryRanOutOnKeepsItsRecordsAndStillSorts)
{
    records.Clear(true, true), made.clear();
    records.SetMemoryLimit(records.MemoryUsed() + (3 << 20));
    try {
        for (int i = 0;; ++i) Put("\\d" + std::to_string(i * 7 % 97) + "\\f" + std::to_string(i));
    } catch (const std::bad_alloc&) {
        made.pop_back();
    }
    records.SetMemoryLimit(records.MemoryUsed());
    EXPECT_GT(made.size(), size_t{RECORDS_PER_BLOCK});
    SortAndCheck();
    records.SetMemoryLimit(0);
}
