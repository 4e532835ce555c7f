#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
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

void Fill(int count, unsigned seed)
{
    std::mt19937 rng(seed);
    static const char* const names[] = {"a", "A", "b", "a_b", "ab", "a.txt", "Ab", "z", "_", "B"};
    std::memset(records, 0, sizeof records);
    for (int i = 0; i < count; ++i) {
        std::string path;
        int depth = 1 + static_cast<int>(rng() % 4);
        for (int d = 0; d < depth; ++d) path += std::string("\\") + names[rng() % 10];
        std::strcpy(records[i].path, path.c_str());
        records[i].details.size = rng();
        records[i].details.checksum = static_cast<uint32_t>(i);
    }
}

void ExpectSortedPermutation(int count, std::vector<std::string> before)
{
    for (int i = 1; i < count; ++i) {
        ASSERT_LE(ComparePaths(records[i - 1], records[i]), 0) << "slot " << i;
    }
    std::vector<std::string> after;
    for (int i = 0; i < count; ++i) after.push_back(Bytes(records[i]));
    std::sort(before.begin(), before.end());
    std::sort(after.begin(), after.end());
    EXPECT_EQ(after, before);
}

std::vector<std::string> Snapshot(int count)
{
    std::vector<std::string> bytes;
    for (int i = 0; i < count; ++i) bytes.push_back(Bytes(records[i]));
    return bytes;
}

}  // namespace

TEST(RecordSortTest, SortsWholeRecordsByPathOrder)
{
    for (int count : {0, 1, 2, 3, 17, 1000}) {
        Fill(count, static_cast<unsigned>(count));
        std::vector<std::string> before = Snapshot(count);
        SortRecords(records, count);
        ExpectSortedPermutation(count, before);
    }
}

TEST(RecordSortTest, LeavesTheSlotsAfterTheCountAlone)
{
    Fill(10, 3);
    std::string eleventh = Bytes(records[10]);
    std::strcpy(records[0].path, "\\zzz");
    SortRecords(records, 3);
    EXPECT_STREQ(records[2].path, "\\zzz");
    EXPECT_EQ(Bytes(records[10]), eleventh);
}

TEST(RecordSortTest, SortsAFullTableAndOneAlreadyInOrder)
{
    Fill(MAX_FILES, 11);
    std::vector<std::string> before = Snapshot(MAX_FILES);
    SortRecords(records, MAX_FILES);
    ExpectSortedPermutation(MAX_FILES, before);

    // Sorting again changes nothing but the order of equal paths.
    std::vector<std::string> sorted = Snapshot(MAX_FILES);
    SortRecords(records, MAX_FILES);
    ExpectSortedPermutation(MAX_FILES, sorted);
}
