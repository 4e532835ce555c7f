// The checksum over a cached 1 GiB file next to plain reading of the same
// file with no computing: the floor that the checksum is measured against.
// Both read the file whole once before their timing starts, so that neither
// measures the making of the file or a cold cache; the report gives the
// ratio of the two.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "scan/checksum.h"
#include "scan/sha256.h"

namespace {

constexpr size_t FILE_SIZE = size_t{1} << 30;

const std::string& Warm(const std::string& path)
{
    static std::vector<unsigned char> block(1 << 20);
    std::FILE* f = std::fopen(path.c_str(), "rb");
    while (std::fread(block.data(), 1, block.size(), f) > 0) {
    }
    std::fclose(f);
    return path;
}

const std::string& BigFile()
{
    static const std::string path = [] {
        const char* dir = std::getenv("OLVARIN_BENCH_DIR");
        std::string p = std::string(dir != nullptr ? dir : ".") + "/checksum-1gib.bin";
        std::FILE* f = std::fopen(p.c_str(), "rb");
        if (f != nullptr) {
            std::fseek(f, 0, SEEK_END);
            long long size = std::ftell(f);
            std::fclose(f);
            if (static_cast<size_t>(size) == FILE_SIZE) return p;
        }
        f = std::fopen(p.c_str(), "wb");
        std::vector<unsigned char> block(1 << 20);
        unsigned state = 1001;
        for (size_t i = 0; i < FILE_SIZE / block.size(); ++i) {
            for (unsigned char& b : block) b = static_cast<unsigned char>((state = state * 1103515245u + 12345u) >> 16);
            std::fwrite(block.data(), 1, block.size(), f);
        }
        std::fclose(f);
        return p;
    }();
    return path;
}

void PlainRead(benchmark::State& state)
{
    static unsigned char block[CHECKSUM_BLOCK_SIZE];
    const std::string& path = Warm(BigFile());
    for (auto _ : state) {
        std::FILE* f = std::fopen(path.c_str(), "rb");
        std::setvbuf(f, nullptr, _IONBF, 0);
        size_t total = 0;
        size_t got;
        while ((got = std::fread(block, 1, sizeof block, f)) > 0) total += got;
        std::fclose(f);
        benchmark::DoNotOptimize(total);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * FILE_SIZE));
}

void ChecksumOfFile(benchmark::State& state)
{
    const std::string& path = Warm(BigFile());
    for (auto _ : state) {
        std::FILE* f = std::fopen(path.c_str(), "rb");
        std::setvbuf(f, nullptr, _IONBF, 0);
        benchmark::DoNotOptimize(ChecksumStream(f));
        std::fclose(f);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * FILE_SIZE));
}

// SHA-256 of a cached 1 GiB buffer, by the processor's SHA extensions
// (argument 1) or in plain code (0).
void Sha256OfBuffer(benchmark::State& state)
{
    if (state.range(0) == 1 && !Sha256ExtensionsPresent()) {
        state.SkipWithError("no SHA extensions on this processor");
        return;
    }
    static const std::vector<unsigned char> buffer(FILE_SIZE, 0x5A);
    Sha256UseExtensions(state.range(0) == 1);
    unsigned char digest[SHA256_DIGEST_SIZE];
    for (auto _ : state) {
        Sha256 sha;
        Sha256Begin(sha);
        Sha256Add(sha, buffer.data(), buffer.size());
        Sha256End(sha, digest);
        benchmark::DoNotOptimize(digest);
    }
    Sha256UseExtensions(true);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * FILE_SIZE));
}

}  // namespace

BENCHMARK(Sha256OfBuffer)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(PlainRead)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(ChecksumOfFile)->Unit(benchmark::kMillisecond)->MinTime(2.0);
