// Saving and loading a signature of 100,000 records through a real file.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "sigfile/byte_stream.h"
#include "sigfile/signature_stream.h"

namespace {

RecordTable records;
RecordTable loaded;
SignatureHeader header;
DirectoryList directories;

std::string SignaturePath()
{
    const char* dir = std::getenv("OLVARIN_BENCH_DIR");
    return std::string(dir != nullptr ? dir : ".") + "/bench.sig";
}

void Fill()
{
    static bool filled = false;
    if (filled) return;
    filled = true;
    for (int i = 0; i < MAX_FILES; ++i) {
        std::snprintf(records[i].path, RECORD_PATH_SIZE, "\\Data\\folder%04d\\sub%02d\\file%06d.dat",
                      i / 20, i % 7, i);
        records[i].details.size = static_cast<uint64_t>(i) * 977;
        records[i].details.attributes = 0x20;
        records[i].details.checksum = static_cast<uint32_t>(i) * 2654435761u;
    }
    std::memcpy(header.magic, SIGNATURE_MAGIC, MAGIC_SIZE);
    header.layoutVersion = 1;
    header.fileCount = MAX_FILES;
}

void Save(const std::string& path)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    FileSink sink(f);
    if (WriteSignature(sink, header, directories, records, MAX_FILES) != SaveError::None) std::abort();
    std::fclose(f);
}

void Load(const std::string& path)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    FileSource source(f);
    SignatureHeader readHeader;
    DirectoryList readList;
    SignatureTarget target = {&readHeader, &readList, loaded, MAX_FILES, 0, 0, 0};
    if (ReadSignature(source, "bench.sig", target) != LoadError::None) std::abort();
    std::fclose(f);
}

void SaveAndLoad(benchmark::State& state)
{
    Fill();
    const std::string path = SignaturePath();
    for (auto _ : state) {
        Save(path);
        Load(path);
    }
    if (std::memcmp(loaded, records, sizeof records) != 0) state.SkipWithError("records differ");
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * MAX_FILES);
}

}  // namespace

BENCHMARK(SaveAndLoad)->Unit(benchmark::kMillisecond);
