// Scan benchmarks under Wine: the platform's floors next to our own walk,
// measured side by side in one run over one tree.
//
//     wine_bench.exe TREE [ROUNDS]
//
// Floors: a bare FindFirstFileA walk; opening and closing every file;
// opening and reading every file in 64 KiB blocks, with one thread and with
// two; and the walk and the one-thread reading again through the wide
// functions with the \\?\ prefix, as our walk now asks. Each target is held
// against the faster of its ANSI and wide floor. Ours: Create and then
// Compare of the same tree against it, without and with checksums, each run
// as the worker runs it. Prints one line per measurement (best of
// ROUNDS), the ratios to the floors, the peak working set and the most the
// record tables held.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "model/app_state.h"
#include "operation/operation.h"
#include "operation/wording.h"

namespace {

double Now()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

struct Totals {
    long long files = 0;
    long long bytes = 0;
};

template <typename OnFile>
void BareWalk(const std::string& dir, OnFile onFile)
{
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((dir + "\\*.*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (std::strcmp(entry.cFileName, ".") == 0 || std::strcmp(entry.cFileName, "..") == 0) continue;
            BareWalk(dir + "\\" + entry.cFileName, onFile);
        } else {
            onFile(dir + "\\" + entry.cFileName);
        }
    } while (FindNextFileA(find, &entry));
    FindClose(find);
}

template <typename OnFile>
void BareWalkW(const std::wstring& dir, OnFile onFile)
{
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((dir + L"\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (std::wcscmp(entry.cFileName, L".") == 0 || std::wcscmp(entry.cFileName, L"..") == 0) continue;
            BareWalkW(dir + L"\\" + entry.cFileName, onFile);
        } else {
            onFile(dir + L"\\" + entry.cFileName);
        }
    } while (FindNextFileW(find, &entry));
    FindClose(find);
}

// The tree is a plain ASCII drive path.
std::wstring Extended(const std::string& tree)
{
    return L"\\\\?\\" + std::wstring(tree.begin(), tree.end());
}

Totals FloorWalkW(const std::string& tree)
{
    Totals t;
    BareWalkW(Extended(tree), [&](const std::wstring&) { t.files++; });
    return t;
}

// Reads an opened file to its end in 64 KiB blocks and closes it.
void ReadAndClose(HANDLE f, Totals& t)
{
    static char block[64 * 1024];
    if (f == INVALID_HANDLE_VALUE) return;
    DWORD got = 0;
    while (ReadFile(f, block, sizeof block, &got, nullptr) && got > 0) t.bytes += got;
    t.files++;
    CloseHandle(f);
}

Totals FloorOpenReadW(const std::string& tree)
{
    Totals t;
    BareWalkW(Extended(tree), [&](const std::wstring& path) {
        HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        ReadAndClose(f, t);
    });
    return t;
}

Totals FloorWalk(const std::string& tree)
{
    Totals t;
    BareWalk(tree, [&](const std::string&) { t.files++; });
    return t;
}

Totals FloorOpenClose(const std::string& tree)
{
    Totals t;
    BareWalk(tree, [&](const std::string& path) {
        HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (f != INVALID_HANDLE_VALUE) {
            t.files++;
            CloseHandle(f);
        }
    });
    return t;
}

Totals FloorOpenRead(const std::string& tree)
{
    Totals t;
    BareWalk(tree, [&](const std::string& path) {
        HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        ReadAndClose(f, t);
    });
    return t;
}

// The same, with several threads: each walks and reads whole top-level
// entries of the tree, taken in turn. What reading in parallel can reach.
Totals FloorOpenReadThreads(const std::string& tree, int threads)
{
    std::vector<std::string> tops;
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((tree + "\\*.*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return {};
    do {
        if (std::strcmp(entry.cFileName, ".") != 0 && std::strcmp(entry.cFileName, "..") != 0) {
            tops.push_back(tree + "\\" + entry.cFileName);
        }
    } while (FindNextFileA(find, &entry));
    FindClose(find);

    std::atomic<size_t> next{0};
    std::vector<Totals> totals(threads);
    std::vector<std::thread> workers;
    for (int i = 0; i < threads; ++i) {
        workers.emplace_back([&, i] {
            std::vector<char> block(64 * 1024);
            auto read = [&](const std::string& path) {
                HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
                if (f == INVALID_HANDLE_VALUE) return;
                DWORD got = 0;
                while (ReadFile(f, block.data(), static_cast<DWORD>(block.size()), &got, nullptr) && got > 0) {
                    totals[i].bytes += got;
                }
                totals[i].files++;
                CloseHandle(f);
            };
            for (size_t k; (k = next++) < tops.size();) {
                if (GetFileAttributesA(tops[k].c_str()) & FILE_ATTRIBUTE_DIRECTORY) {
                    BareWalk(tops[k], read);
                } else {
                    read(tops[k]);
                }
            }
        });
    }
    Totals t;
    for (int i = 0; i < threads; ++i) {
        workers[i].join();
        t.files += totals[i].files;
        t.bytes += totals[i].bytes;
    }
    return t;
}

// The most heap the two record tables held together after any operation.
size_t largestTables = 0;

int shownMessages = 0;
std::string lastMessage;

struct MessageCounter : OperationObserver {
    void Tell(const Message& message) override
    {
        ++shownMessages;
        lastMessage = WindowWording(message).text;
    }
} messageCounter;

// The one signature state all runs share, as the window program has one.
AppState& appState = *new AppState();
StopToken stop;

// One whole operation, run the way the worker thread runs it, over one
// Include directory.
Totals Operation(const std::string& tree, OperationMode mode, bool checksums, bool sha256 = false)
{
    DirectoryList& list = appState.directoryList;
    std::memset(&list, 0, sizeof list);
    list.count = 1;
    std::strncpy(list.paths[0], tree.c_str(), DIRECTORY_PATH_SIZE - 1);
    list.actions[0] = Include;
    appState.calculateChecksums = checksums ? 1 : 0;
    appState.useSha256 = sha256 ? 1 : 0;
    if (mode == Create) {
        CreateSignature(appState, messageCounter, stop, OperationOptions());
    } else {
        CompareWithSignature(appState, messageCounter, stop, OperationOptions());
    }
    // After a Compare both tables are full: the most they hold at once.
    largestTables = std::max(largestTables, appState.LoadedTable.MemoryUsed() + appState.ScanTable.MemoryUsed());
    Totals t;
    t.files = appState.scanFileCount;
    if (checksums) t.bytes = static_cast<long long>(appState.scanTotalBytes.load());
    return t;
}

struct Result {
    explicit Result(const char* n) : name(n) {}
    const char* name;
    double best = 1e30;
    Totals totals;
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: wine_bench TREE [ROUNDS]\n");
        return 2;
    }
    std::string tree = argv[1];
    int rounds = argc > 2 ? std::atoi(argv[2]) : 3;

    std::vector<std::pair<Result, std::function<Totals()>>> runs = {
        {Result("floor: bare FindFirstFileA walk"), [&] { return FloorWalk(tree); }},
        {Result("floor: open and close every file"), [&] { return FloorOpenClose(tree); }},
        {Result("floor: open and read every file (64 KiB)"), [&] { return FloorOpenRead(tree); }},
        {Result("floor: bare FindFirstFileW walk"), [&] { return FloorWalkW(tree); }},
        {Result("floor: open and read every file, wide (64 KiB)"), [&] { return FloorOpenReadW(tree); }},
        {Result("floor: open and read every file, two threads"), [&] { return FloorOpenReadThreads(tree, 2); }},
        {Result("Create without checksums"), [&] { return Operation(tree, Create, false); }},
        {Result("Compare without checksums"), [&] { return Operation(tree, Compare, false); }},
        {Result("Create with checksums"), [&] { return Operation(tree, Create, true); }},
        {Result("Compare with checksums"), [&] { return Operation(tree, Compare, true); }},
        {Result("Create with SHA-256"), [&] { return Operation(tree, Create, true, true); }},
    };
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    const double startWorkingSet = memory.WorkingSetSize / 1e6;
    FloorOpenRead(tree);  // warm the cache
    for (int round = 0; round < rounds; ++round) {
        for (auto& run : runs) {
            double start = Now();
            Totals t = run.second();
            double seconds = Now() - start;
            run.first.best = std::min(run.first.best, seconds);
            run.first.totals = t;
        }
    }
    for (auto& run : runs) {
        const Result& r = run.first;
        std::printf("%-44s %8.3f s %9lld files %9.1f files/s", r.name, r.best, r.totals.files,
                    r.totals.files / r.best);
        if (r.totals.bytes > 0) std::printf(" %8.1f MB/s", r.totals.bytes / r.best / 1e6);
        std::printf("\n");
    }
    auto best = [&](size_t i) { return runs[i].first.best; };
    const double walk = std::min(best(0), best(3));
    const double openRead = std::min(best(2), best(4));
    std::printf("ratio Create without checksums / bare walk: %.2f\n", best(6) / walk);
    std::printf("ratio Compare without checksums / bare walk: %.2f\n", best(7) / walk);
    for (size_t i : {8, 9}) {
        std::printf("ratio %s / open and read, one thread: %.2f; two threads: %.2f\n", runs[i].first.name,
                    best(i) / openRead, best(i) / best(5));
    }
    // Each Compare runs over the tree its Create has just recorded: anything
    // but the no-difference message means the benchmark measured something else.
    if (shownMessages != 2 * rounds || lastMessage != "The signatures are identical. All files are the same") {
        std::printf("unexpected messages: %d, last: %s\n", shownMessages, lastMessage.c_str());
        return 1;
    }
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    // The start figure is the process with Wine's DLLs loaded and nothing of
    // ours touched yet. The tables line is what the record tables took from
    // the heap at their fullest, beside the difference table, which is
    // static and counts once touched.
    std::printf("start working set: %.1f MB\n", startWorkingSet);
    std::printf("peak working set: %.1f MB\n", memory.PeakWorkingSetSize / 1e6);
    std::printf("tables: %.1f MB\n", (static_cast<double>(largestTables) + sizeof(DifferenceTable)) / 1e6);
    return 0;
}
