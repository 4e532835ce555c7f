// Accept at scale: a signature of every file of the large scale tree and a
// reviewed report that changes every one of them, read from a file as
// accept reads it. Beside the time, the most memory the process held while
// it ran, over what it held before: the signature, the one accept builds
// and what accept keeps of the report.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "compare/reviewed_report.h"
#include "scale_tree.h"

namespace {

std::string Same(const std::string& text) { return text; }

class FileLines : public ReportLines {
public:
    explicit FileLines(const std::string& path) : in_(path, std::ios::binary) {}
    bool Next(std::string& line) override { return static_cast<bool>(std::getline(in_, line)); }
    void Restart() override
    {
        in_.clear();
        in_.seekg(0);
    }

private:
    std::ifstream in_;
};

// The process's peak resident set (Linux), in bytes; ResetPeak starts it
// again from what is resident now.
size_t Peak()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0) return std::stoull(line.substr(6)) * 1024;
    }
    return 0;
}
void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

void BM_ScaleAcceptEveryFileChanged(benchmark::State& state)
{
    const ScaleTree& tree = ScaleTreeOf(static_cast<int32_t>(state.range(0)));
    const std::string path = "accept_bench_report.jsonl";
    RecordTable loaded, accepted;
    tree.AppendSorted(loaded);
    {
        RecordTable scan;
        tree.AppendSorted(scan);
        std::FILE* out = std::fopen(path.c_str(), "wb");
        for (int32_t i = 0; i < scan.Count(); ++i) {
            scan.Details(i).size += 1;
            const std::string line = DifferenceLine(Size, scan, i, loaded, i, ContentCheck::Checksums, true, Same) + "\n";
            std::fwrite(line.data(), 1, line.size(), out);
        }
        ReportSummary summary;
        summary.signatureSha256 = "ab";
        const std::string last = SummaryLine(summary) + "\n";
        std::fwrite(last.data(), 1, last.size(), out);
        std::fclose(out);
    }
    size_t before = 0, peak = 0;
    int64_t counts[3] = {};
    for (auto _ : state) {
        accepted.Clear();
        ResetPeak();
        before = Peak();
        FileLines lines(path);
        ReviewedReport report;
        std::string problem = ReadReviewedReport(lines, Same, report);
        if (problem.empty()) problem = ApplyReviewedChanges(loaded, true, report, lines, Same, accepted, counts);
        peak = Peak();
        if (!problem.empty()) state.SkipWithError(problem.c_str());
    }
    std::remove(path.c_str());
    state.counters["records"] = loaded.Count();
    state.counters["changed"] = static_cast<double>(counts[2]);
    state.counters["signature_MB"] = loaded.MemoryUsed() / 1e6;
    state.counters["peak_over_start_MB"] = (peak - before) / 1e6;
    state.counters["bytes_a_record"] = static_cast<double>(peak - before + loaded.MemoryUsed()) / loaded.Count();
}

}  // namespace

BENCHMARK(BM_ScaleAcceptEveryFileChanged)->Arg(BenchScaleSizes().large)->Iterations(1)->Unit(benchmark::kMillisecond);
