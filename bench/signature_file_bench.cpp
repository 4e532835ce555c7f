// Saving and loading a signature through a real file: 100,000 records as
// before tables grew, and at scale a file server's tree of 100,000 and of
// 2,000,000 files, whose times the report holds against each other.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "scale_tree.h"
#include "sigfile/byte_stream.h"
#include "sigfile/signature_stream.h"

namespace {

constexpr int32_t FILES = MAX_CLASSIC_FILES;

RecordTable records;
RecordTable loaded;
SignatureHeader header;
DirectoryList directories;

std::string SignaturePath()
{
    const char* dir = std::getenv("OLVARIN_BENCH_DIR");
    return std::string(dir != nullptr ? dir : ".") + "/bench.sig";
}

void StartHeader(int32_t count)
{
    std::memset(&header, 0, sizeof header);
    std::memcpy(header.magic, SIGNATURE_MAGIC, MAGIC_SIZE);
    SetSavedLayout(header, false, count);
    header.fileCount = count;
}

void Fill()
{
    records.Clear();
    char path[RECORD_PATH_SIZE];
    for (int i = 0; i < FILES; ++i) {
        int length = std::snprintf(path, sizeof path, "\\Data\\folder%04d\\sub%02d\\file%06d.dat", i / 20, i % 7, i);
        FileDetails details = {};
        details.size = static_cast<uint64_t>(i) * 977;
        details.attributes = 0x20;
        details.checksum = static_cast<uint32_t>(i) * 2654435761u;
        records.Append(path, static_cast<size_t>(length), details);
    }
    StartHeader(FILES);
}

void Save(const std::string& path)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    FileSink sink(f);
    if (WriteSignature(sink, header, directories, records) != SaveError::None) std::abort();
    std::fclose(f);
}

void Load(const std::string& path)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    FileSource source(f);
    SignatureHeader readHeader;
    DirectoryList readList;
    SignatureTarget target = {&readHeader, &readList, &loaded, MAX_FILES, 0, 0, 0};
    if (ReadSignature(source, "bench.sig", target) != LoadError::None) std::abort();
    std::fclose(f);
}

bool SameRecords()
{
    if (loaded.Count() != records.Count()) return false;
    for (int32_t i = 0; i < records.Count(); ++i) {
        FileRecord a = records.Get(i);
        FileRecord b = loaded.Get(i);
        if (std::strcmp(a.path, b.path) != 0 || std::memcmp(&a.details, &b.details, sizeof a.details) != 0) {
            return false;
        }
    }
    return true;
}

void SaveAndLoadRounds(benchmark::State& state)
{
    const std::string path = SignaturePath();
    for (auto _ : state) {
        Save(path);
        Load(path);
    }
    if (!SameRecords()) state.SkipWithError("records differ");
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * records.Count());
    state.counters["table_MB"] = loaded.MemoryUsed() / 1e6;
    std::remove(path.c_str());
}

void SaveAndLoad(benchmark::State& state)
{
    Fill();
    SaveAndLoadRounds(state);
}

// The signature a Create of the tree leaves: its records in path order.
void BM_ScaleSaveAndLoad(benchmark::State& state)
{
    const int32_t files = static_cast<int32_t>(state.range(0));
    records.Clear();
    ScaleTreeOf(files).AppendSorted(records);
    StartHeader(files);
    SaveAndLoadRounds(state);
    records.Clear();
    loaded.Clear();
}

}  // namespace

BENCHMARK(SaveAndLoad)->Unit(benchmark::kMillisecond);
const int registeredScale = [] {
    const ScaleSizes sizes = BenchScaleSizes();
    // Both sizes run for the same time, so that the large one, too, is
    // measured over several rounds and not by its first alone, whose
    // memory is new to the process (on a virtual machine, most of its time
    // goes to faulting the pages in).
    benchmark::RegisterBenchmark("BM_ScaleSaveAndLoad", BM_ScaleSaveAndLoad)
        ->Arg(sizes.small)
        ->Arg(sizes.large)
        ->MinTime(6)
        ->Unit(benchmark::kMillisecond);
    return 0;
}();
