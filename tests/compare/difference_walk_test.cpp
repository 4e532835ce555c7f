#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "compare/difference_walk.h"
#include "scan/path_order.h"
#include "support/reference_walk.h"

// Found by argument lookup, so beside DifferenceEntry in the global scope.
static bool operator==(const DifferenceEntry& a, const DifferenceEntry& b)
{
    return a.kind == b.kind && a.scanIndex == b.scanIndex && a.loadedIndex == b.loadedIndex;
}

static std::ostream& operator<<(std::ostream& out, const DifferenceEntry& e)
{
    return out << "{" << e.kind << ", " << e.scanIndex << ", " << e.loadedIndex << "}";
}

namespace {

RecordTable scanTable;
RecordTable loadedTable;
DifferenceTable found;
DifferenceTable expected;

std::vector<DifferenceEntry> Entries(const DifferenceTable& table)
{
    return std::vector<DifferenceEntry>(table.entries, table.entries + table.entryCount);
}

FileRecord& Put(RecordTable& table, int slot, const std::string& path)
{
    FileRecord& r = table[slot];
    std::memset(&r, 0, sizeof r);
    std::strncpy(r.path, path.c_str(), RECORD_PATH_SIZE - 1);
    r.details.attributes = 0x20;
    r.details.creationTime = {1000, 7};
    r.details.lastWriteTime = {2000, 7};
    r.details.size = 10;
    r.details.checksum = 1234;
    return r;
}

void PutAll(RecordTable& table, const std::vector<std::string>& paths)
{
    for (size_t i = 0; i < paths.size(); ++i) Put(table, static_cast<int>(i), paths[i]);
}

class DifferenceWalkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::memset(scanTable, 0, sizeof scanTable);
        std::memset(loadedTable, 0, sizeof loadedTable);
        std::memset(&found, 0x5A, sizeof found);  // leftovers of an earlier run
    }
};

}  // namespace

TEST_F(DifferenceWalkTest, LookAheadRecordsExtraBeforeTheMissingItPassed)
{
    PutAll(loadedTable, {"\\W", "\\X", "\\Z"});
    PutAll(scanTable, {"\\Y", "\\Z"});

    WalkDifferences(scanTable, loadedTable, false, found);

    EXPECT_EQ(Entries(found), (std::vector<DifferenceEntry>{
                                  {Extra, 0, -1}, {Missing, -1, 0}, {Missing, -1, 1}}));
    EXPECT_EQ(found.droppedCount, 0);

    SortDifferences(found);
    EXPECT_EQ(Entries(found), (std::vector<DifferenceEntry>{
                                  {Extra, 0, -1}, {Missing, -1, 0}, {Missing, -1, 1}}));
}

TEST_F(DifferenceWalkTest, IdenticalTablesAndLetterCaseRenamesRecordNothing)
{
    PutAll(loadedTable, {"\\Data\\a.txt", "\\Data\\B.txt", "\\data_x"});
    PutAll(scanTable, {"\\data\\A.TXT", "\\DATA\\b.txt", "\\Data_X"});

    FindDifferences(scanTable, loadedTable, true, found);

    EXPECT_EQ(found.entryCount, 0);
    EXPECT_EQ(found.droppedCount, 0);
}

TEST_F(DifferenceWalkTest, FirstDifferingDetailDecidesTheOneEntry)
{
    PutAll(loadedTable, {"\\a", "\\b", "\\c", "\\d", "\\e", "\\f"});
    PutAll(scanTable, {"\\a", "\\b", "\\c", "\\d", "\\e", "\\f"});
    // \a: size and last-write time both changed.
    scanTable[0].details.size = 11;
    scanTable[0].details.lastWriteTime.dwLowDateTime = 1;
    // \b: only the high half of the size.
    scanTable[1].details.size = 10 + (uint64_t{1} << 32);
    // \c: creation time differs in its low half only, attributes too.
    scanTable[2].details.creationTime.dwLowDateTime = 1001;
    scanTable[2].details.attributes = 0x21;
    // \d: last-write time in its high half, attributes too.
    scanTable[3].details.lastWriteTime.dwHighDateTime = 8;
    scanTable[3].details.attributes = 0x21;
    // \e: attributes alone; \f: only the reserved word, which is not compared.
    scanTable[4].details.attributes = 0x01;
    scanTable[5].details.reserved = 99;

    WalkDifferences(scanTable, loadedTable, false, found);

    EXPECT_EQ(Entries(found), (std::vector<DifferenceEntry>{{Size, 0, 0},
                                                            {Size, 1, 1},
                                                            {CreationTime, 2, 2},
                                                            {ModifyTime, 3, 3},
                                                            {Attributes, 4, 4}}));
}

TEST_F(DifferenceWalkTest, ChecksumCountsOnlyWhenOnAndStoredNonZero)
{
    PutAll(loadedTable, {"\\changed", "\\not-summed", "\\unreadable-now"});
    PutAll(scanTable, {"\\changed", "\\not-summed", "\\unreadable-now"});
    for (int i = 0; i < 3; ++i) scanTable[i].details.lastWriteTime.dwLowDateTime = 1;
    scanTable[0].details.checksum = 999;
    loadedTable[1].details.checksum = 0;
    scanTable[1].details.checksum = 555;
    scanTable[2].details.checksum = 0;

    WalkDifferences(scanTable, loadedTable, false, found);
    EXPECT_EQ(Entries(found), (std::vector<DifferenceEntry>{
                                  {ModifyTime, 0, 0}, {ModifyTime, 1, 1}, {ModifyTime, 2, 2}}));

    WalkDifferences(scanTable, loadedTable, true, found);
    EXPECT_EQ(Entries(found), (std::vector<DifferenceEntry>{
                                  {Checksum, 0, 0}, {ModifyTime, 1, 1}, {Checksum, 2, 2}}));

    // The size still comes first.
    scanTable[0].details.size = 1;
    WalkDifferences(scanTable, loadedTable, true, found);
    EXPECT_EQ(found.entries[0], (DifferenceEntry{Size, 0, 0}));
}

TEST_F(DifferenceWalkTest, SecondCopyOfADuplicateScanPathIsExtra)
{
    PutAll(loadedTable, {"\\a", "\\dup", "\\z"});
    PutAll(scanTable, {"\\a", "\\dup", "\\DUP", "\\z"});

    WalkDifferences(scanTable, loadedTable, false, found);

    EXPECT_EQ(Entries(found), (std::vector<DifferenceEntry>{{Extra, 2, -1}}));
}

TEST_F(DifferenceWalkTest, EmptySideMakesEveryRecordExtraOrMissing)
{
    PutAll(scanTable, {"\\a", "\\b", "\\c"});
    WalkDifferences(scanTable, loadedTable, false, found);
    EXPECT_EQ(Entries(found), (std::vector<DifferenceEntry>{
                                  {Extra, 0, -1}, {Extra, 1, -1}, {Extra, 2, -1}}));

    std::memset(scanTable, 0, sizeof scanTable);
    PutAll(loadedTable, {"\\a", "\\b", "\\c"});
    WalkDifferences(scanTable, loadedTable, false, found);
    EXPECT_EQ(Entries(found), (std::vector<DifferenceEntry>{
                                  {Missing, -1, 0}, {Missing, -1, 1}, {Missing, -1, 2}}));

    std::memset(loadedTable, 0, sizeof loadedTable);
    WalkDifferences(scanTable, loadedTable, false, found);
    EXPECT_EQ(found.entryCount, 0);
}

TEST_F(DifferenceWalkTest, CapKeepsTheFirstEntriesAndCountsTheRest)
{
    char path[32];
    for (int i = 0; i < MAX_DIFFERENCES + 1; ++i) {
        std::snprintf(path, sizeof path, "\\f%05d", i);
        Put(scanTable, i, path);
    }

    WalkDifferences(scanTable, loadedTable, false, found);

    ASSERT_EQ(found.entryCount, MAX_DIFFERENCES);
    EXPECT_EQ(found.droppedCount, 1);
    EXPECT_EQ(found.entries[MAX_DIFFERENCES - 1], (DifferenceEntry{Extra, MAX_DIFFERENCES - 1, -1}));

    // Exactly at the cap nothing is dropped.
    std::memset(&scanTable[MAX_DIFFERENCES], 0, sizeof(FileRecord));
    WalkDifferences(scanTable, loadedTable, false, found);
    EXPECT_EQ(found.entryCount, MAX_DIFFERENCES);
    EXPECT_EQ(found.droppedCount, 0);
}

TEST_F(DifferenceWalkTest, AddDifferenceStopsStoringAtTheCap)
{
    found.entryCount = MAX_DIFFERENCES - 1;
    found.droppedCount = 0;
    AddDifference(found, Size, 5, 6);
    AddDifference(found, Extra, 7, -1);
    AddDifference(found, Missing, -1, 8);
    EXPECT_EQ(found.entryCount, MAX_DIFFERENCES);
    EXPECT_EQ(found.entries[MAX_DIFFERENCES - 1], (DifferenceEntry{Size, 5, 6}));
    EXPECT_EQ(found.droppedCount, 2);
}

TEST_F(DifferenceWalkTest, FullTablesEndAtTheLastSlot)
{
    char path[32];
    for (int i = 0; i < MAX_FILES; ++i) {
        std::snprintf(path, sizeof path, "\\f%06d", i);
        Put(loadedTable, i, path);
        Put(scanTable, i, path);
    }
    // The scan lacks the first signature file and has one that sorts after
    // every signature path: the look-ahead meets the end of the table.
    for (int i = 0; i < MAX_FILES - 1; ++i) scanTable[i] = loadedTable[i + 1];
    Put(scanTable, MAX_FILES - 1, "\\zzz");

    WalkDifferences(scanTable, loadedTable, false, found);

    EXPECT_EQ(Entries(found), (std::vector<DifferenceEntry>{{Missing, -1, 0}}));

    // A shorter scan against the full signature: the scan runs out and the
    // last signature slot is still reported missing.
    std::memset(&scanTable[MAX_FILES - 3], 0, 3 * sizeof(FileRecord));
    WalkDifferences(scanTable, loadedTable, false, found);
    EXPECT_EQ(Entries(found), (std::vector<DifferenceEntry>{{Missing, -1, 0},
                                                            {Missing, -1, MAX_FILES - 2},
                                                            {Missing, -1, MAX_FILES - 1}}));

    // A full scan whose last path sorts after everything, against a full
    // signature that has it nowhere: it is Extra, and the walk stops at the
    // scan's last slot.
    for (int i = 0; i < MAX_FILES - 1; ++i) scanTable[i] = loadedTable[i];
    Put(scanTable, MAX_FILES - 1, "\\zzz");
    WalkDifferences(scanTable, loadedTable, false, found);
    EXPECT_EQ(Entries(found), (std::vector<DifferenceEntry>{{Extra, MAX_FILES - 1, -1}}));
}

TEST_F(DifferenceWalkTest, SortGroupsByKindKeepingTheRecordingOrder)
{
    found.entryCount = 0;
    found.droppedCount = 0;
    AddDifference(found, Missing, -1, 1);
    AddDifference(found, Checksum, 2, 2);
    AddDifference(found, Extra, 3, -1);
    AddDifference(found, Missing, -1, 4);
    AddDifference(found, Extra, 5, -1);
    AddDifference(found, Size, 6, 6);

    SortDifferences(found);

    EXPECT_EQ(Entries(found), (std::vector<DifferenceEntry>{{Extra, 3, -1},
                                                            {Extra, 5, -1},
                                                            {Missing, -1, 1},
                                                            {Missing, -1, 4},
                                                            {Size, 6, 6},
                                                            {Checksum, 2, 2}}));
    EXPECT_LT(CompareDifferenceKinds({Extra, 9, 9}, {Missing, 0, 0}), 0);
    EXPECT_EQ(CompareDifferenceKinds({Size, 1, 2}, {Size, 3, 4}), 0);
    EXPECT_GT(CompareDifferenceKinds({Checksum, 0, 0}, {Attributes, 0, 0}), 0);
}

// The walk must record exactly what the plain rules record, entry for entry
// and in the same order, on every kind of input.
namespace {

class Generator {
public:
    explicit Generator(unsigned seed) : rng(seed) {}

    int Below(int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); }
    bool Chance(int percent) { return Below(100) < percent; }

    // Paths from a small pool of names, so that equal paths, letter-case
    // variants and shared prefixes are common; with wide names, mostly unique.
    std::string Path(bool wide)
    {
        static const char* const names[] = {"a", "A", "b", "a_b", "ab", "a.txt", "Ab", "z", "_", "B"};
        std::string path;
        int depth = 1 + Below(3);
        for (int i = 0; i < depth; ++i) {
            path += "\\";
            if (wide) {
                int length = 1 + Below(8);
                for (int c = 0; c < length; ++c) {
                    char letter = static_cast<char>('a' + Below(26));
                    path += Chance(30) ? static_cast<char>(std::toupper(letter)) : letter;
                }
            } else {
                path += names[Below(10)];
            }
        }
        return path;
    }

    void Details(FileDetails& d)
    {
        d.attributes = Chance(90) ? 0x20 : 0x21;
        d.creationTime = {static_cast<uint32_t>(Below(2)), static_cast<uint32_t>(Below(2))};
        d.lastWriteTime = {static_cast<uint32_t>(Below(2)), static_cast<uint32_t>(Below(2))};
        d.size = Chance(90) ? 10 : (uint64_t{1} << 32) + 10;
        d.checksum = static_cast<uint32_t>(Below(3));
    }

    std::mt19937 rng;
};

void SortPaths(std::vector<std::string>& paths)
{
    std::sort(paths.begin(), paths.end(), [](const std::string& a, const std::string& b) {
        return ComparePathTexts(a.c_str(), b.c_str()) < 0;
    });
}

// Fills table with paths (clearing the slots used before) and random details.
void Fill(RecordTable& table, const std::vector<std::string>& paths, int& used, Generator& g)
{
    std::memset(table, 0, static_cast<size_t>(used) * sizeof(FileRecord));
    for (size_t i = 0; i < paths.size(); ++i) {
        std::strcpy(table[i].path, paths[i].c_str());
        g.Details(table[i].details);
    }
    used = static_cast<int>(paths.size());
}

// The scan: the signature's paths with runs removed, letter case changed,
// copies and new paths added; details copied or changed.
std::vector<std::string> Edit(const std::vector<std::string>& loaded, Generator& g, int limit)
{
    std::vector<std::string> scan;
    int removeRun = 0;
    for (const std::string& path : loaded) {
        if (removeRun > 0) {
            --removeRun;
            continue;
        }
        if (g.Chance(5)) {
            removeRun = g.Below(40);
            continue;
        }
        std::string copy = path;
        if (g.Chance(10)) {
            char& c = copy[static_cast<size_t>(g.Below(static_cast<int>(copy.size())))];
            c = static_cast<char>(std::isupper(static_cast<unsigned char>(c)) ? std::tolower(c) : std::toupper(c));
        }
        scan.push_back(copy);
        if (g.Chance(3)) scan.push_back(path);
        if (g.Chance(5)) scan.push_back(g.Path(g.Chance(50)));
    }
    int added = g.Below(5);
    for (int i = 0; i < added; ++i) scan.push_back(g.Path(g.Chance(50)));
    SortPaths(scan);
    if (static_cast<int>(scan.size()) > limit) scan.resize(static_cast<size_t>(limit));
    return scan;
}

void ExpectSameAsReference(bool checksums, const std::string& what)
{
    WalkDifferences(scanTable, loadedTable, checksums, found);
    ReferenceWalk(scanTable, loadedTable, checksums, expected);
    ASSERT_EQ(found.entryCount, expected.entryCount) << what;
    ASSERT_EQ(found.droppedCount, expected.droppedCount) << what;
    ASSERT_EQ(Entries(found), Entries(expected)) << what;
}

}  // namespace

TEST_F(DifferenceWalkTest, SameEntriesAsThePlainRulesOnRandomTables)
{
    int scanUsed = 0;
    int loadedUsed = 0;
    for (unsigned seed = 1; seed <= 400; ++seed) {
        Generator g(seed);
        int n = g.Chance(10) ? 0 : g.Below(g.Chance(20) ? 4000 : 200);
        bool wide = g.Chance(50);
        std::vector<std::string> loaded;
        for (int i = 0; i < n; ++i) loaded.push_back(g.Path(wide));
        SortPaths(loaded);
        std::vector<std::string> scan = g.Chance(5) ? std::vector<std::string>{} : Edit(loaded, g, MAX_FILES);
        if (g.Chance(5)) std::swap(scan, loaded);
        // Unsorted tables are no valid input, but the walk must not depend
        // on the order to give the same answer.
        if (g.Chance(5)) std::shuffle(scan.begin(), scan.end(), g.rng);
        Fill(loadedTable, loaded, loadedUsed, g);
        Fill(scanTable, scan, scanUsed, g);
        // Matching records mostly keep their details.
        for (int i = 0; i < std::min(scanUsed, loadedUsed); ++i) {
            if (g.Chance(80)) scanTable[i].details = loadedTable[i].details;
        }
        ExpectSameAsReference(g.Chance(50), "seed " + std::to_string(seed));
    }
}

TEST_F(DifferenceWalkTest, SameEntriesAsThePlainRulesOnFullTables)
{
    int scanUsed = 0;
    int loadedUsed = 0;
    for (unsigned seed = 1; seed <= 3; ++seed) {
        Generator g(1000 + seed);
        std::vector<std::string> loaded;
        for (int i = 0; i < MAX_FILES; ++i) loaded.push_back(g.Path(true));
        SortPaths(loaded);
        std::vector<std::string> scan = Edit(loaded, g, MAX_FILES);
        if (seed == 2) {
            // Full scan with a path after every signature path.
            while (static_cast<int>(scan.size()) < MAX_FILES) scan.push_back(g.Path(true));
            SortPaths(scan);
            scan.back() = "\\~~~";
        }
        if (seed == 3) std::swap(scan, loaded);
        Fill(loadedTable, loaded, loadedUsed, g);
        Fill(scanTable, scan, scanUsed, g);
        ExpectSameAsReference(true, "full tables, seed " + std::to_string(seed));
    }
}

TEST_F(DifferenceWalkTest, SameEntriesAsThePlainRulesWhenAFolderWasDeleted)
{
    int scanUsed = 0;
    int loadedUsed = 0;
    Generator g(7);
    std::vector<std::string> loaded;
    std::vector<std::string> scan;
    char name[32];
    for (int i = 0; i < 5000; ++i) {
        std::snprintf(name, sizeof name, "\\a\\f%05d", i);
        loaded.push_back(name);
        scan.push_back(name);
        std::snprintf(name, sizeof name, "\\old\\f%05d", i);
        loaded.push_back(name);
        std::snprintf(name, sizeof name, "\\z\\f%05d", i);
        loaded.push_back(name);
        scan.push_back(name);
    }
    // And a few new files among the later ones.
    scan.push_back("\\z\\new1");
    scan.push_back("\\Z\\NEW2");
    SortPaths(loaded);
    SortPaths(scan);
    Fill(loadedTable, loaded, loadedUsed, g);
    Fill(scanTable, scan, scanUsed, g);

    ExpectSameAsReference(false, "deleted folder");
    EXPECT_EQ(found.entryCount, MAX_DIFFERENCES);
    EXPECT_GT(found.droppedCount, 5000);
}
