// Speed of the comparison walk and of the scan sort on full tables.
// Build with the "bench" preset and run build/bench/bench/olvarin_bench.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "compare/difference_walk.h"
#include "model/path_order.h"
#include "scan/record_sort.h"
#include "support/reference_walk.h"

namespace {

RecordTable scanTable;
RecordTable loadedTable;
RecordTable original;
DifferenceTable differences;

void Clear(RecordTable& table) { std::memset(table, 0, sizeof table); }

void Put(RecordTable& table, int slot, const char* path, uint32_t size)
{
    std::strcpy(table[slot].path, path);
    table[slot].details.attributes = 0x20;
    table[slot].details.size = size;
    table[slot].details.lastWriteTime = {size, 1};
}

void SortTable(RecordTable& table)
{
    int count = 0;
    while (count < MAX_FILES && table[count].path[0] != '\0') ++count;
    SortRecords(table, count);
}

// Typical paths: a few levels of folders with file names below them.
std::string RandomPath(std::mt19937& rng)
{
    static const char* const folders[] = {"\\Windows", "\\Program Files", "\\Users\\me", "\\Data",
                                          "\\src",     "\\lib",           "\\docs",       "\\cache"};
    std::string path = folders[rng() % 8];
    int depth = 1 + static_cast<int>(rng() % 3);
    for (int d = 0; d < depth; ++d) {
        path += "\\";
        int length = 3 + static_cast<int>(rng() % 10);
        for (int c = 0; c < length; ++c) path += static_cast<char>('a' + rng() % 26);
    }
    return path + ".dat";
}

void MakeIdentical()
{
    Clear(loadedTable);
    std::mt19937 rng(1);
    for (int i = 0; i < MAX_FILES; ++i) Put(loadedTable, i, RandomPath(rng).c_str(), rng());
    SortTable(loadedTable);
    std::memcpy(scanTable, loadedTable, sizeof scanTable);
}

// The signature's deleted files lie in one folder that sorts before the files
// that remain; the scan has as many new files in a folder of its own.
void MakeDeletedFolder(int deleted)
{
    Clear(loadedTable);
    Clear(scanTable);
    int kept = MAX_FILES - deleted;
    char path[64];
    int l = 0;
    int s = 0;
    for (int i = 0; i < kept / 2; ++i) {
        std::snprintf(path, sizeof path, "\\a\\file%06d.txt", i);
        Put(loadedTable, l++, path, 1);
        Put(scanTable, s++, path, 1);
    }
    for (int i = 0; i < deleted; ++i) {
        std::snprintf(path, sizeof path, "\\m\\old\\file%06d.txt", i);
        Put(loadedTable, l++, path, 1);
    }
    for (int i = 0; i < deleted; ++i) {
        std::snprintf(path, sizeof path, "\\c\\new\\file%06d.txt", i);
        Put(scanTable, s++, path, 1);
    }
    for (int i = kept / 2; i < kept; ++i) {
        std::snprintf(path, sizeof path, "\\t\\file%06d.txt", i);
        Put(loadedTable, l++, path, 1);
        Put(scanTable, s++, path, 1);
    }
}

// About one file in fifty deleted, added or changed.
void MakeRandomChanges()
{
    MakeIdentical();
    Clear(scanTable);
    std::mt19937 rng(2);
    int s = 0;
    for (int l = 0; l < MAX_FILES && s < MAX_FILES; ++l) {
        unsigned roll = rng() % 150;
        if (roll == 0) continue;  // deleted
        scanTable[s] = loadedTable[l];
        if (roll == 1) scanTable[s].details.size++;
        if (roll == 2) scanTable[s].details.lastWriteTime.dwLowDateTime++;
        ++s;
        if (roll == 3 && s < MAX_FILES) Put(scanTable, s++, RandomPath(rng).c_str(), 1);
    }
    SortTable(scanTable);
}

void Walk(benchmark::State& state)
{
    for (auto _ : state) {
        WalkDifferences(scanTable, loadedTable, ContentCheck::Digests, differences);
        benchmark::DoNotOptimize(differences.entryCount);
    }
    state.counters["entries"] = differences.entryCount;
    state.counters["dropped"] = differences.droppedCount;
}

void PlainRulesWalk(benchmark::State& state)
{
    for (auto _ : state) {
        ReferenceWalk(scanTable, loadedTable, ContentCheck::Digests, differences);
        benchmark::DoNotOptimize(differences.entryCount);
    }
    state.counters["entries"] = differences.entryCount;
    state.counters["dropped"] = differences.droppedCount;
}

void SortRepeatedly(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(scanTable, original, sizeof scanTable);
        state.ResumeTiming();
        SortRecords(scanTable, MAX_FILES);
        benchmark::ClobberMemory();
    }
}

void BM_WalkIdentical(benchmark::State& state)
{
    MakeIdentical();
    Walk(state);
}

void BM_WalkDeletedFolder(benchmark::State& state)
{
    MakeDeletedFolder(static_cast<int>(state.range(0)));
    Walk(state);
}

void BM_WalkRandomChanges(benchmark::State& state)
{
    MakeRandomChanges();
    Walk(state);
}

// The walk that restarts every look-ahead, on the same inputs, for comparison.
void BM_PlainRulesIdentical(benchmark::State& state)
{
    MakeIdentical();
    PlainRulesWalk(state);
}

void BM_PlainRulesDeletedFolder(benchmark::State& state)
{
    MakeDeletedFolder(static_cast<int>(state.range(0)));
    PlainRulesWalk(state);
}

void BM_SortRecords(benchmark::State& state)
{
    Clear(original);
    std::mt19937 rng(3);
    for (int i = 0; i < MAX_FILES; ++i) Put(original, i, RandomPath(rng).c_str(), rng());
    SortRepeatedly(state);
}

// A scan of the tree the Wine benchmarks walk: long common prefixes, folders
// in order, the files of each folder in the file system's own order.
void MakeScanOrder()
{
    Clear(original);
    std::mt19937 rng(4);
    char path[96];
    int slot = 0;
    for (int sub = 0; sub < 5000; ++sub) {
        int first = slot;
        for (int file = sub; file < MAX_FILES; file += 5000) {
            std::snprintf(path, sizeof path,
                          "\\work\\benchdata\\tree100k\\top%03d\\sub%05d\\file%06d.dat", sub % 50,
                          sub, file);
            Put(original, slot++, path, 1);
        }
        std::shuffle(original + first, original + slot, rng);
    }
    std::stable_sort(original, original + slot, [](const FileRecord& a, const FileRecord& b) {
        return std::strncmp(a.path, b.path, 31) < 0;  // by top folder only
    });
}

void BM_SortScanOrder(benchmark::State& state)
{
    MakeScanOrder();
    SortRepeatedly(state);
}

// Paths of 299 characters that differ only near their end, in case only.
void BM_SortLongPrefixes(benchmark::State& state)
{
    Clear(original);
    std::mt19937 rng(5);
    std::string path(RECORD_PATH_SIZE - 1, 'x');
    for (int i = 0; i < MAX_FILES; ++i) {
        for (int c = RECORD_PATH_SIZE - 12; c < RECORD_PATH_SIZE - 1; ++c)
            path[c] = static_cast<char>((rng() % 2 ? 'a' : 'A') + rng() % 3);
        Put(original, i, path.c_str(), 1);
    }
    SortRepeatedly(state);
}

// Orders that defeat a careless pivot: sorted, reversed, all equal.
void BM_SortOrdered(benchmark::State& state)
{
    Clear(original);
    std::mt19937 rng(6);
    for (int i = 0; i < MAX_FILES; ++i) Put(original, i, RandomPath(rng).c_str(), 1);
    if (state.range(0) == 2) {
        for (int i = 0; i < MAX_FILES; ++i) std::strcpy(original[i].path, original[0].path);
    } else {
        std::sort(original, original + MAX_FILES,
                  [](const FileRecord& a, const FileRecord& b) { return ComparePaths(a, b) < 0; });
        if (state.range(0) == 1) std::reverse(original, original + MAX_FILES);
    }
    SortRepeatedly(state);
}

}  // namespace

BENCHMARK(BM_WalkIdentical)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WalkDeletedFolder)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WalkRandomChanges)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainRulesIdentical)->Unit(benchmark::kMillisecond);
// Quadratic: one pass each, the larger one takes seconds.
BENCHMARK(BM_PlainRulesDeletedFolder)->Arg(10000)->Arg(50000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortRecords)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortScanOrder)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortLongPrefixes)->Unit(benchmark::kMillisecond);
// 0 sorted, 1 reversed, 2 all equal.
BENCHMARK(BM_SortOrdered)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
