#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "scan/record_sort.h"

namespace {

RecordTable records;

// The same for the same records in any order.
uint64_t Fingerprint(int count)
{
    uint64_t sum = 0;
    for (int i = 0; i < count && i < MAX_FILES; ++i) {
        uint64_t word[sizeof(FileRecord) / 8], hash = 1;
        std::memcpy(word, &records[i], sizeof word);
        for (uint64_t w : word) hash = (hash ^ w) * 0x100000001B3ull + (hash >> 29);
        sum += hash;
    }
    return sum;
}

// A path that fills its field without a NUL counts as its first 299 bytes.
std::string FoldedPath(const FileRecord& r)
{
    std::string s(r.path, strnlen(r.path, RECORD_PATH_SIZE - 1));
    for (char& c : s) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return s;
}

std::string Bytes(int slot) { return std::string(reinterpret_cast<const char*>(&records[slot]), sizeof(FileRecord)); }

// Sorts the first count records and checks that they are in path order,
// records of equal paths in their earlier order (two scans of one folder
// must pair them alike), and are the same records, each with its own
// details, as before; the slot after them stays as it was.
void SortAndCheck(int count)
{
    uint64_t before = Fingerprint(count), next = Fingerprint(count + 1) - before;
    std::map<std::string, int> slotBefore;  // records alike in every byte are interchangeable
    for (int i = 0; i < count; ++i) slotBefore[Bytes(i)] = i;
    SortRecords(records, count);
    for (int i = 1; i < count; ++i) {
        int order = FoldedPath(records[i - 1]).compare(FoldedPath(records[i]));
        ASSERT_LE(order, 0) << "slot " << i;
        if (order == 0 && Bytes(i - 1) != Bytes(i)) {
            ASSERT_LT(slotBefore[Bytes(i - 1)], slotBefore[Bytes(i)]) << i;
        }
    }
    EXPECT_EQ(Fingerprint(count), before);
    EXPECT_EQ(Fingerprint(count + 1) - before, next);
}

void Put(int slot, const std::string& path)
{
    records[slot] = {};
    std::memcpy(records[slot].path, path.data(), std::min<size_t>(path.size(), RECORD_PATH_SIZE - 1));
    records[slot].details.checksum = static_cast<uint32_t>(slot);
}

// Paths that share long prefixes, differ in letter case, repeat, hold bytes
// above 127 and run up to the full 299 characters.
void FillRandom(int count, unsigned seed)
{
    std::mt19937 rng(seed);
    std::vector<std::string> made;
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
        made.push_back(path.substr(0, RECORD_PATH_SIZE - 1));
        Put(i, made.back());
    }
}

}  // namespace

TEST(RecordSort, SortsRandomOrderedReversedAndEqualTablesOfManySizes)
{
    for (int count : {0, 1, 2, 3, 11, 12, 13, 40, 1000, 30000}) {
        for (unsigned seed = 1; seed <= (count < 1000 ? 40u : 2u); ++seed) {
            FillRandom(count + 1, seed * 7919 + static_cast<unsigned>(count));
            SortAndCheck(count);
        }
    }
    std::reverse(records, records + 30000);  // sorted backwards
    SortAndCheck(30000);
    for (int i = 0; i < 5000; ++i) Put(i, i % 2 ? "\\Same\\Path.txt" : "\\same\\PATH.TXT");
    SortAndCheck(5000);
}

// The last two records of a full table have no NUL in their path fields and
// no zero byte in their details: a sort that compared them past the field
// would run off the table. They count as 299 characters, equal to each other
// and to a 299-character path, after the 298-character one and before one
// that differs in the last place.
TEST(RecordSort, SortsAFullTableAndStopsAtTheEndOfThePathField)
{
    FillRandom(MAX_FILES, 11);
    std::string q299(RECORD_PATH_SIZE - 1, 'q');
    Put(10, q299);
    Put(20, q299.substr(1));
    Put(30, q299.substr(1) + "R");
    for (int i = MAX_FILES - 2; i < MAX_FILES; ++i) {
        std::memset(&records[i], 0xFF, sizeof records[i]);
        std::memset(records[i].path, 'Q', sizeof records[i].path);
    }
    SortAndCheck(MAX_FILES);
}
