#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "compare/difference_walk.h"
#include "model/path_order.h"
#include "support/reference_walk.h"

namespace {

RecordTable scanTable, loadedTable;
DifferenceTable found, expected;
constexpr int LARGE = 130000;

using Entries = std::vector<std::vector<int32_t>>;

Entries Of(const DifferenceTable& table)
{
    Entries out;
    for (int i = 0; i < table.entryCount; ++i) {
        const DifferenceEntry& e = table.entries[i];
        out.push_back({e.kind, e.scanIndex, e.loadedIndex});
    }
    return out;
}

// The walk must record what the plain rules (support/reference_walk) record,
// entry for entry and in order; details differ at random in every field.

struct Generator {
    explicit Generator(unsigned seed) : rng(seed) {}
    int Below(int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); }
    bool Chance(int percent) { return Below(100) < percent; }

    // From a small pool of names, equal paths, letter-case variants and
    // shared prefixes are common; wide names are mostly unique.
    std::string Path(bool wide)
    {
        static const char* const names[] = {"a", "A", "b", "a_b", "ab", "a.txt", "Ab", "z", "_", "B"};
        std::string path;
        for (int depth = 1 + Below(3); depth > 0; --depth) {
            path += "\\";
            if (!wide) path += names[Below(10)];
            for (int length = wide ? 1 + Below(8) : 0; length > 0; --length) {
                char letter = static_cast<char>('a' + Below(26));
                path += Chance(30) ? static_cast<char>(std::toupper(letter)) : letter;
            }
        }
        return path;
    }

    void Details(FileRecord& r)
    {
        auto bit = [&] { return static_cast<uint32_t>(Below(2)); };
        r.details = {Chance(90) ? 0x20u : 0x21u, {bit(), bit()}, {bit(), bit()},
                     Chance(90) ? 10 : (uint64_t{1} << 32) + 10, static_cast<uint32_t>(Below(3)), bit() * NOT_TAKEN};
        r.hasDigest = static_cast<uint8_t>(Below(3));  // 2 is no valid flag: only 1 means a digest
        r.digest[Below(DIGEST_SIZE)] = static_cast<uint8_t>(bit());
    }

    std::mt19937 rng;
};

void SortPaths(std::vector<std::string>& paths)
{
    std::sort(paths.begin(), paths.end(),
              [](const std::string& a, const std::string& b) { return ComparePathTexts(a.c_str(), b.c_str()) < 0; });
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
        char& c = copy[static_cast<size_t>(g.Below(static_cast<int>(copy.size())))];
        if (g.Chance(10)) c = static_cast<char>(std::isupper(c) ? std::tolower(c) : std::toupper(c));
        scan.push_back(copy);
        if (g.Chance(3)) scan.push_back(path);
        if (g.Chance(5)) scan.push_back(g.Path(g.Chance(50)));
    }
    for (int added = g.Below(5); added > 0; --added) scan.push_back(g.Path(g.Chance(50)));
    SortPaths(scan);
    return scan;
}

// Fills both tables with random details (matching records mostly keep them)
// and compares; true when the cap on entries was reached.
bool CompareWithReference(const std::vector<std::string>& loadedPaths, const std::vector<std::string>& scanPaths,
                          Generator& g, ContentCheck content)
{
    std::vector<FileRecord> loaded(loadedPaths.size()), scan(scanPaths.size());
    for (size_t i = 0; i < loaded.size(); ++i) {
        std::strcpy(loaded[i].path, loadedPaths[i].c_str());
        g.Details(loaded[i]);
    }
    for (size_t i = 0; i < scan.size(); ++i) {
        std::strcpy(scan[i].path, scanPaths[i].c_str());
        g.Details(scan[i]);
        if (i < loaded.size() && g.Chance(80)) std::memcpy(&scan[i].details, &loaded[i].details, sizeof(FileRecord) - RECORD_PATH_SIZE);
    }
    FillTable(scanTable, scan), FillTable(loadedTable, loaded);
    std::memset(&found, 0x5A, sizeof found);  // leftovers of an earlier run
    WalkDifferences(scanTable, loadedTable, content, found);
    ReferenceWalk(scan, loaded, content, expected);
    EXPECT_EQ(found.droppedCount, expected.droppedCount);
    EXPECT_EQ(Of(found), Of(expected));
    // The report groups them by kind, each kind in the order recorded.
    SortDifferences(found);
    std::stable_sort(expected.entries, expected.entries + expected.entryCount,
                     [](const DifferenceEntry& a, const DifferenceEntry& b) { return a.kind < b.kind; });
    EXPECT_EQ(Of(found), Of(expected));
    return expected.droppedCount > 0;
}

}  // namespace

// The last runs use tables past the 100,000 records the old fixed tables held.
TEST(DifferenceWalk, SameEntriesAsThePlainRulesOnRandomAndLargeTables)
{
    int capped = 0;
    for (unsigned seed = 1; seed <= 123 && !HasFailure(); ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        Generator g(seed);
        bool full = seed > 120;  // large tables, the last ones swapped or topped up
        int n = full ? LARGE : g.Chance(10) ? 0 : g.Below(g.Chance(20) ? 4000 : 200);
        bool wide = full || g.Chance(50);
        std::vector<std::string> loaded;
        for (int i = 0; i < n; ++i) loaded.push_back(g.Path(wide));
        SortPaths(loaded);
        std::vector<std::string> scan = !full && g.Chance(5) ? std::vector<std::string>{} : Edit(loaded, g);
        if (seed == 122) {  // a larger scan with a path after every signature path
            while (scan.size() < static_cast<size_t>(LARGE) + 5000) scan.push_back(g.Path(true));
            SortPaths(scan);
            scan.back() = "\\~~~";
        }
        if (seed == 123 || (!full && g.Chance(5))) std::swap(scan, loaded);
        // Unsorted tables are no valid input, but must still give the same.
        if (!full && g.Chance(5)) std::shuffle(scan.begin(), scan.end(), g.rng);
        capped += CompareWithReference(loaded, scan, g, full ? ContentCheck::Digests : static_cast<ContentCheck>(g.Below(3)));
    }
    EXPECT_GT(capped, 0) << "no run reached the cap on entries";
}
