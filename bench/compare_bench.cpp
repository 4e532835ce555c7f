// Speed of the comparison walk and of the scan sort: on tables of 100,000
// records, and at scale on 2,000,000 records of a file server's tree.
// Build with the "bench" preset and run build/bench/bench/olvarin_bench.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "compare/difference_walk.h"
#include "model/path_order.h"
#include "scale_tree.h"
#include "scan/record_sort.h"
#include "support/reference_walk.h"

namespace {

// As many records as the tables held before they grew, so that these
// figures stay comparable with earlier runs.
constexpr int32_t FILES = MAX_CLASSIC_FILES;

using Records = std::vector<FileRecord>;

// The records are made whole first, as the plain walk needs them, and then
// appended to the tables the real sort and walk work on.
Records scanRecords;
Records loadedRecords;
Records original;
RecordTable scanTable;
RecordTable loadedTable;
DifferenceTable differences;

FileRecord Make(const char* path, uint32_t size)
{
    FileRecord record = {};
    std::snprintf(record.path, sizeof record.path, "%s", path);
    record.details.attributes = 0x20;
    record.details.size = size;
    record.details.lastWriteTime = {size, 1};
    return record;
}

bool PathOrder(const FileRecord& a, const FileRecord& b) { return ComparePathTexts(a.path, b.path) < 0; }

// sortable: with the sort's room kept in step, as a scan's table is.
void Fill(RecordTable& table, const Records& records, bool sortable)
{
    table.Clear(false, sortable);
    for (const FileRecord& record : records) table.Append(record);
}

void FillBoth()
{
    Fill(scanTable, scanRecords, false);
    Fill(loadedTable, loadedRecords, false);
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
    loadedRecords.clear();
    std::mt19937 rng(1);
    for (int i = 0; i < FILES; ++i) {
        std::string path = RandomPath(rng);
        loadedRecords.push_back(Make(path.c_str(), rng()));
    }
    std::stable_sort(loadedRecords.begin(), loadedRecords.end(), PathOrder);
    scanRecords = loadedRecords;
    FillBoth();
}

// The signature's deleted files lie in one folder that sorts before the files
// that remain; the scan has as many new files in a folder of its own.
void MakeDeletedFolder(int deleted)
{
    loadedRecords.clear();
    scanRecords.clear();
    int kept = FILES - deleted;
    char path[64];
    for (int i = 0; i < kept / 2; ++i) {
        std::snprintf(path, sizeof path, "\\a\\file%06d.txt", i);
        loadedRecords.push_back(Make(path, 1));
        scanRecords.push_back(Make(path, 1));
    }
    for (int i = 0; i < deleted; ++i) {
        std::snprintf(path, sizeof path, "\\m\\old\\file%06d.txt", i);
        loadedRecords.push_back(Make(path, 1));
    }
    for (int i = 0; i < deleted; ++i) {
        std::snprintf(path, sizeof path, "\\c\\new\\file%06d.txt", i);
        scanRecords.push_back(Make(path, 1));
    }
    for (int i = kept / 2; i < kept; ++i) {
        std::snprintf(path, sizeof path, "\\t\\file%06d.txt", i);
        loadedRecords.push_back(Make(path, 1));
        scanRecords.push_back(Make(path, 1));
    }
    FillBoth();
}

// About one file in fifty deleted, added or changed.
void MakeRandomChanges()
{
    MakeIdentical();
    scanRecords.clear();
    std::mt19937 rng(2);
    for (int l = 0; l < FILES && static_cast<int>(scanRecords.size()) < FILES; ++l) {
        unsigned roll = rng() % 150;
        if (roll == 0) continue;  // deleted
        scanRecords.push_back(loadedRecords[l]);
        if (roll == 1) scanRecords.back().details.size++;
        if (roll == 2) scanRecords.back().details.lastWriteTime.dwLowDateTime++;
        if (roll == 3 && static_cast<int>(scanRecords.size()) < FILES) {
            std::string path = RandomPath(rng);
            scanRecords.push_back(Make(path.c_str(), 1));
        }
    }
    std::stable_sort(scanRecords.begin(), scanRecords.end(), PathOrder);
    FillBoth();
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
        ReferenceWalk(scanRecords, loadedRecords, ContentCheck::Digests, differences);
        benchmark::DoNotOptimize(differences.entryCount);
    }
    state.counters["entries"] = differences.entryCount;
    state.counters["dropped"] = differences.droppedCount;
}

// Each round sorts a table freshly appended in the original's order, as a
// scan's table is when its walk ends.
void SortRepeatedly(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        Fill(scanTable, original, true);
        state.ResumeTiming();
        SortRecords(scanTable);
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
    original.clear();
    std::mt19937 rng(3);
    for (int i = 0; i < FILES; ++i) {
        std::string path = RandomPath(rng);
        original.push_back(Make(path.c_str(), rng()));
    }
    SortRepeatedly(state);
}

// A scan of the tree the Wine benchmarks walk: long common prefixes, folders
// in order, the files of each folder in the file system's own order.
void MakeScanOrder()
{
    original.clear();
    std::mt19937 rng(4);
    char path[96];
    for (int sub = 0; sub < 5000; ++sub) {
        size_t first = original.size();
        for (int file = sub; file < FILES; file += 5000) {
            std::snprintf(path, sizeof path,
                          "\\work\\benchdata\\tree100k\\top%03d\\sub%05d\\file%06d.dat", sub % 50,
                          sub, file);
            original.push_back(Make(path, 1));
        }
        std::shuffle(original.begin() + static_cast<ptrdiff_t>(first), original.end(), rng);
    }
    std::stable_sort(original.begin(), original.end(), [](const FileRecord& a, const FileRecord& b) {
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
    original.clear();
    std::mt19937 rng(5);
    std::string path(RECORD_PATH_SIZE - 1, 'x');
    for (int i = 0; i < FILES; ++i) {
        for (int c = RECORD_PATH_SIZE - 12; c < RECORD_PATH_SIZE - 1; ++c)
            path[c] = static_cast<char>((rng() % 2 ? 'a' : 'A') + rng() % 3);
        original.push_back(Make(path.c_str(), 1));
    }
    SortRepeatedly(state);
}

// Orders that defeat a careless pivot: sorted, reversed, all equal.
void BM_SortOrdered(benchmark::State& state)
{
    original.clear();
    std::mt19937 rng(6);
    for (int i = 0; i < FILES; ++i) {
        std::string path = RandomPath(rng);
        original.push_back(Make(path.c_str(), 1));
    }
    if (state.range(0) == 2) {
        for (FileRecord& record : original) std::strcpy(record.path, original[0].path);
    } else {
        std::sort(original.begin(), original.end(), PathOrder);
        if (state.range(0) == 1) std::reverse(original.begin(), original.end());
    }
    SortRepeatedly(state);
}

// At scale: what a Compare does once its walk has ended, on a file server's
// 2,000,000 files: sort the scan, then walk it against the signature (in
// path order, as a Load leaves it). Arguments: the files; 0 nothing
// changed, 1 about one file in forty deleted, added or changed. The table is appended afresh
// in walk order before each round, outside the timing. The counters give
// the sort and the walk apart.
void BM_ScaleSortAndWalk(benchmark::State& state)
{
    const ScaleTree& tree = ScaleTreeOf(static_cast<int32_t>(state.range(0)));
    const bool changes = state.range(1) != 0;
    loadedTable.Clear();
    tree.AppendSorted(loadedTable);
    double sortSeconds = 0;
    double walkSeconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        scanTable.Clear(false, true);
        tree.AppendTo(scanTable, changes);
        state.ResumeTiming();
        auto start = std::chrono::steady_clock::now();
        SortRecords(scanTable);
        auto sorted = std::chrono::steady_clock::now();
        FindDifferences(scanTable, loadedTable, ContentCheck::Checksums, differences);
        auto walked = std::chrono::steady_clock::now();
        sortSeconds += std::chrono::duration<double>(sorted - start).count();
        walkSeconds += std::chrono::duration<double>(walked - sorted).count();
    }
    const double rounds = static_cast<double>(state.iterations());
    state.counters["records"] = scanTable.Count();
    state.counters["sort_ms"] = 1e3 * sortSeconds / rounds;
    state.counters["walk_ms"] = 1e3 * walkSeconds / rounds;
    state.counters["differences"] = differences.entryCount + differences.droppedCount;
    state.counters["path_chars"] = tree.MeanPathLength();
    state.counters["table_MB"] = (scanTable.MemoryUsed() + loadedTable.MemoryUsed()) / 1e6;
    if (!changes && differences.entryCount != 0) state.SkipWithError("an unchanged tree showed differences");
    if (changes && differences.entryCount == 0) state.SkipWithError("the changes went unseen");
    scanTable.Clear();
    loadedTable.Clear();
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
// About a second a round: a few rounds, each on a freshly appended table.
const int registeredScale = [] {
    const int64_t files = BenchScaleSizes().large;
    benchmark::RegisterBenchmark("BM_ScaleSortAndWalk", BM_ScaleSortAndWalk)
        ->Args({files, 0})
        ->Args({files, 1})
        ->Iterations(3)
        ->Unit(benchmark::kMillisecond);
    return 0;
}();
