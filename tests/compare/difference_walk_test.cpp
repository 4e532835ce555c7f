#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <functional>
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
    const std::vector<DifferenceEntry> recorded = {{Extra, 0, -1}, {Missing, -1, 0}, {Missing, -1, 1}};

    WalkDifferences(scanTable, loadedTable, false, found);
    EXPECT_EQ(Entries(found), recorded);
    EXPECT_EQ(found.droppedCount, 0);
    SortDifferences(found);
    EXPECT_EQ(Entries(found), recorded);
}

TEST_F(DifferenceWalkTest, SortGroupsByKindKeepingTheRecordingOrder)
{
    found.entryCount = 0;
    found.droppedCount = 0;
    for (DifferenceEntry e : std::vector<DifferenceEntry>{
             {Missing, -1, 1}, {Checksum, 2, 2}, {Extra, 3, -1}, {Missing, -1, 4}, {Extra, 5, -1}, {Size, 6, 6}}) {
        AddDifference(found, e.kind, e.scanIndex, e.loadedIndex);
    }
    SortDifferences(found);
    EXPECT_EQ(Entries(found), (std::vector<DifferenceEntry>{
                                  {Extra, 3, -1}, {Extra, 5, -1}, {Missing, -1, 1},
                                  {Missing, -1, 4}, {Size, 6, 6}, {Checksum, 2, 2}}));
}

TEST_F(DifferenceWalkTest, LetterCaseRenamesRecordNothing)
{
    PutAll(loadedTable, {"\\Data\\a.txt", "\\Data\\B.txt", "\\data_x"});
    PutAll(scanTable, {"\\data\\A.TXT", "\\DATA\\b.txt", "\\Data_X"});
    FindDifferences(scanTable, loadedTable, true, found);
    EXPECT_EQ(found.entryCount, 0);
    EXPECT_EQ(found.droppedCount, 0);
}

TEST_F(DifferenceWalkTest, FirstDifferingDetailDecidesTheOneEntry)
{
    constexpr int None = -1;
    struct Case {
        const char* what;
        bool checksums;
        std::function<void(FileDetails& scan, FileDetails& loaded)> change;
        int expected;
    } cases[] = {
        {"size and time", false, [](FileDetails& d, FileDetails&) { d.size = 11; d.lastWriteTime.dwLowDateTime = 1; }, Size},
        {"size, high half", false, [](FileDetails& d, FileDetails&) { d.size += uint64_t{1} << 32; }, Size},
        {"creation low half and attributes", false,
         [](FileDetails& d, FileDetails&) { d.creationTime.dwLowDateTime = 1001; d.attributes = 0x21; }, CreationTime},
        {"modify high half and attributes", false,
         [](FileDetails& d, FileDetails&) { d.lastWriteTime.dwHighDateTime = 8; d.attributes = 0x21; }, ModifyTime},
        {"attributes", false, [](FileDetails& d, FileDetails&) { d.attributes = 0x01; }, Attributes},
        {"reserved word", true, [](FileDetails& d, FileDetails&) { d.reserved = 99; }, None},
        {"checksum, off", false, [](FileDetails& d, FileDetails&) { d.checksum = 999; }, None},
        {"checksum and time, off", false,
         [](FileDetails& d, FileDetails&) { d.checksum = 999; d.lastWriteTime.dwLowDateTime = 1; }, ModifyTime},
        {"checksum and time, on", true,
         [](FileDetails& d, FileDetails&) { d.checksum = 999; d.lastWriteTime.dwLowDateTime = 1; }, Checksum},
        {"stored checksum 0", true,
         [](FileDetails& d, FileDetails& l) { l.checksum = 0; d.checksum = 555; d.lastWriteTime.dwLowDateTime = 1; },
         ModifyTime},
        {"scan checksum 0", true, [](FileDetails& d, FileDetails&) { d.checksum = 0; }, Checksum},
        {"size before checksum", true, [](FileDetails& d, FileDetails&) { d.checksum = 999; d.size = 1; }, Size},
    };
    for (const Case& c : cases) {
        Put(loadedTable, 0, "\\a");
        Put(scanTable, 0, "\\a");
        c.change(scanTable[0].details, loadedTable[0].details);
        WalkDifferences(scanTable, loadedTable, c.checksums, found);
        if (c.expected == None) {
            EXPECT_EQ(found.entryCount, 0) << c.what;
        } else {
            EXPECT_EQ(Entries(found), (std::vector<DifferenceEntry>{{c.expected, 0, 0}})) << c.what;
        }
    }
}

TEST_F(DifferenceWalkTest, DuplicatesAndEmptySides)
{
    PutAll(loadedTable, {"\\a", "\\dup", "\\z"});
    PutAll(scanTable, {"\\a", "\\dup", "\\DUP", "\\z"});
    WalkDifferences(scanTable, loadedTable, false, found);
    EXPECT_EQ(Entries(found), (std::vector<DifferenceEntry>{{Extra, 2, -1}}));

    std::memset(loadedTable, 0, sizeof loadedTable);
    WalkDifferences(scanTable, loadedTable, false, found);
    EXPECT_EQ(Entries(found), (std::vector<DifferenceEntry>{
                                  {Extra, 0, -1}, {Extra, 1, -1}, {Extra, 2, -1}, {Extra, 3, -1}}));

    std::memset(scanTable, 0, sizeof scanTable);
    WalkDifferences(scanTable, loadedTable, false, found);
    EXPECT_EQ(found.entryCount, 0);

    PutAll(loadedTable, {"\\a", "\\b", "\\c"});
    WalkDifferences(scanTable, loadedTable, false, found);
    EXPECT_EQ(Entries(found), (std::vector<DifferenceEntry>{
                                  {Missing, -1, 0}, {Missing, -1, 1}, {Missing, -1, 2}}));
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

    std::memset(&scanTable[MAX_DIFFERENCES], 0, sizeof(FileRecord));
    WalkDifferences(scanTable, loadedTable, false, found);
    EXPECT_EQ(found.entryCount, MAX_DIFFERENCES);
    EXPECT_EQ(found.droppedCount, 0);
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

    // A full scan whose last path sorts after everything, against a full
    // signature that has it nowhere: it is Extra, and the walk stops at the
    // scan's last slot.
    for (int i = 0; i < MAX_FILES - 1; ++i) scanTable[i] = loadedTable[i];
    Put(scanTable, MAX_FILES - 1, "\\zzz");
    WalkDifferences(scanTable, loadedTable, false, found);
    EXPECT_EQ(Entries(found), (std::vector<DifferenceEntry>{{Extra, MAX_FILES - 1, -1}}));
}

// The walk must record exactly what the plain rules record, entry for entry
// and in the same order, on every kind of input.
namespace {

struct Generator {
    explicit Generator(unsigned seed) : rng(seed) {}
    int Below(int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); }
    bool Chance(int percent) { return Below(100) < percent; }

    // From a small pool of names equal paths, letter-case variants and shared
    // prefixes are common; wide names are mostly unique.
    std::string Path(bool wide)
    {
        static const char* const names[] = {"a", "A", "b", "a_b", "ab", "a.txt", "Ab", "z", "_", "B"};
        std::string path;
        for (int depth = 1 + Below(3); depth > 0; --depth) {
            path += "\\";
            if (!wide) {
                path += names[Below(10)];
                continue;
            }
            for (int length = 1 + Below(8); length > 0; --length) {
                char letter = static_cast<char>('a' + Below(26));
                path += Chance(30) ? static_cast<char>(std::toupper(letter)) : letter;
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

// The scan: the signature's paths with runs removed, letter case changed,
// copies and new paths added.
std::vector<std::string> Edit(const std::vector<std::string>& loaded, Generator& g)
{
    std::vector<std::string> scan;
    int removeRun = 0;
    for (const std::string& path : loaded) {
        if (removeRun > 0 || g.Chance(5)) {
            removeRun = removeRun > 0 ? removeRun - 1 : g.Below(40);
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
    for (int added = g.Below(5); added > 0; --added) scan.push_back(g.Path(g.Chance(50)));
    SortPaths(scan);
    if (scan.size() > static_cast<size_t>(MAX_FILES)) scan.resize(MAX_FILES);
    return scan;
}

// Fills both tables with random details; matching slots mostly keep them.
void CompareWithReference(const std::vector<std::string>& loaded, const std::vector<std::string>& scan,
                          Generator& g, bool checksums, const std::string& what)
{
    // Clearing only the slots used before keeps four hundred runs quick.
    static size_t scanUsed = MAX_FILES, loadedUsed = MAX_FILES;
    std::memset(scanTable, 0, scanUsed * sizeof(FileRecord));
    std::memset(loadedTable, 0, loadedUsed * sizeof(FileRecord));
    scanUsed = scan.size();
    loadedUsed = loaded.size();
    for (size_t i = 0; i < loaded.size(); ++i) {
        std::strcpy(loadedTable[i].path, loaded[i].c_str());
        g.Details(loadedTable[i].details);
    }
    for (size_t i = 0; i < scan.size(); ++i) {
        std::strcpy(scanTable[i].path, scan[i].c_str());
        g.Details(scanTable[i].details);
        if (i < loaded.size() && g.Chance(80)) scanTable[i].details = loadedTable[i].details;
    }
    WalkDifferences(scanTable, loadedTable, checksums, found);
    ReferenceWalk(scanTable, loadedTable, checksums, expected);
    ASSERT_EQ(found.droppedCount, expected.droppedCount) << what;
    ASSERT_EQ(Entries(found), Entries(expected)) << what;
}

}  // namespace

TEST_F(DifferenceWalkTest, SameEntriesAsThePlainRulesOnRandomAndFullTables)
{
    for (unsigned seed = 1; seed <= 403; ++seed) {
        Generator g(seed);
        bool full = seed > 400;  // full tables, the last ones swapped or topped up
        int n = full ? MAX_FILES : g.Chance(10) ? 0 : g.Below(g.Chance(20) ? 4000 : 200);
        bool wide = full || g.Chance(50);
        std::vector<std::string> loaded;
        for (int i = 0; i < n; ++i) loaded.push_back(g.Path(wide));
        SortPaths(loaded);
        std::vector<std::string> scan = !full && g.Chance(5) ? std::vector<std::string>{} : Edit(loaded, g);
        if (seed == 402) {
            // Full scan with a path after every signature path.
            while (scan.size() < static_cast<size_t>(MAX_FILES)) scan.push_back(g.Path(true));
            SortPaths(scan);
            scan.back() = "\\~~~";
        }
        if (seed == 403 || (!full && g.Chance(5))) std::swap(scan, loaded);
        // Unsorted tables are no valid input, but the walk must still give
        // the same answer as the plain rules.
        if (!full && g.Chance(5)) std::shuffle(scan.begin(), scan.end(), g.rng);
        CompareWithReference(loaded, scan, g, full || g.Chance(50), "seed " + std::to_string(seed));
    }
}

TEST_F(DifferenceWalkTest, SameEntriesAsThePlainRulesWhenAFolderWasDeleted)
{
    Generator g(7);
    std::vector<std::string> loaded;
    std::vector<std::string> scan = {"\\z\\new1", "\\Z\\NEW2"};
    char name[32];
    for (int i = 0; i < 5000; ++i) {
        for (const char* folder : {"a", "old", "z"}) {
            std::snprintf(name, sizeof name, "\\%s\\f%05d", folder, i);
            loaded.push_back(name);
            if (folder[0] != 'o') scan.push_back(name);
        }
    }
    SortPaths(loaded);
    SortPaths(scan);
    CompareWithReference(loaded, scan, g, false, "deleted folder");
    EXPECT_EQ(found.entryCount, MAX_DIFFERENCES);
    EXPECT_GT(found.droppedCount, 5000);
}
