// Accept at scale: a signature of every file of the large scale tree and a
// reviewed report that changes every one of them, read from a file as
// accept reads it. Beside the time, the most memory the process held while
// it ran, over what it held before: the signature, the one accept builds
// and what accept keeps of the report.
#include <benchmark/benchmark.h>

#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>
#include <string>

#include "compare/reviewed_report.h"
#include "scale_tree.h"

namespace {

std::string Same(const std::string& text) { return text; }

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
    // The accept runs in a child of its own, whose peak starts from what is
    // resident when it starts: the signature, nothing of making the report.
    double growth = 0;
    for (auto _ : state) {
        int pipe[2];
        if (::pipe(pipe) != 0) state.SkipWithError("no pipe");
        const pid_t child = ::fork();
        if (child == 0) {
            // The kernel's own peak is kept lazily: a watcher reads the heap
            // in use every few milliseconds instead.
            auto heap = [] { const struct mallinfo2 m = mallinfo2(); return m.uordblks + m.hblkhd; };
            const size_t before = heap();
            std::atomic<bool> done{false};
            std::atomic<size_t> most{before};
            std::thread watcher([&] {
                while (!done) {
                    most = std::max<size_t>(most, heap());
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
                }
            });
            FileLines lines(path);
            ReviewedReport report;
            int64_t counts[3] = {};
            std::string problem = ReadReviewedReport(lines, Same, report);
            if (problem.empty()) problem = ApplyReviewedChanges(loaded, true, report, lines, Same, accepted, counts);
            done = true;
            watcher.join();
            const double grown = problem.empty() && counts[2] == loaded.Count() ? double(most - before) : -1;
            (void)!::write(pipe[1], &grown, sizeof grown);
            ::_exit(0);
        }
        (void)!::read(pipe[0], &growth, sizeof growth);
        ::waitpid(child, nullptr, 0);
        ::close(pipe[0]), ::close(pipe[1]);
        if (growth < 0) state.SkipWithError("accept refused the report, or changed not every file");
    }
    std::remove(path.c_str());
    state.counters["records"] = loaded.Count();
    state.counters["signature_MB"] = loaded.MemoryUsed() / 1e6;
    state.counters["accept_grew_MB"] = growth / 1e6;
    // What a Compare holds at its peak is two tables; accept holds the
    // signature and what it grew by.
    state.counters["bytes_a_record"] = (growth + loaded.MemoryUsed()) / loaded.Count();
}

}  // namespace

BENCHMARK(BM_ScaleAcceptEveryFileChanged)->Arg(BenchScaleSizes().large)->Iterations(1)->Unit(benchmark::kMillisecond);
