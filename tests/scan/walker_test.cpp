#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "model/app_state.h"
#include "operation/operation.h"
#include "scan/checksum.h"
#include "support/test_files.h"

namespace {

// A fresh folder holding the files named, each "abc", folders made on the way.
std::string Tree(const std::string& name, std::initializer_list<const char*> files)
{
    std::string root = MakeTestFolder(name);
    for (std::string file : files) {
        for (size_t at = file.find('\\', 1); at != std::string::npos; at = file.find('\\', at + 1)) {
            MakeFolder(root + file.substr(0, at));
        }
        WriteTestFile(root + file, "abc");
    }
    return root;
}

using Entries = std::vector<std::pair<int, std::string>>;

// A Create of the entries (by slot; a path ending in '-' is an Exclude
// entry) through so many readers (0: as the machine gives), or a Compare of
// them with the signature the last Create left; it writes its report to
// report (empty: none).
struct Operations {
    explicit Operations(AppState& state) : appState(state) {}
    AppState& appState;
    MessageRecorder recorder;
    StopToken stop;
    std::string report;

    OperationResult operator()(bool compare, const Entries& entries, int readers = 0, bool driveLetter = false,
                               bool checksums = true);
    // A Create's records as "path size checksum".
    std::set<std::string> Scan(const Entries& entries, int readers = 0, bool driveLetter = false, bool checksums = true)
    {
        (*this)(false, entries, readers, driveLetter, checksums);
        std::set<std::string> out;
        for (int i = 0; i < appState.LoadedTable.Count(); ++i) {
            const FileRecord r = appState.LoadedTable.Get(i);
            out.insert(std::string(r.path) + " " + std::to_string(r.details.size) + " " + std::to_string(r.details.checksum));
        }
        return out;
    }
};

OperationResult Operations::operator()(bool compare, const Entries& entries, int readers, bool driveLetter, bool checksums)
{
    appState.directoryList = {};
    for (const auto& entry : entries) {
        bool exclude = entry.second.back() == '-';
        std::strcpy(appState.directoryList.paths[entry.first], entry.second.substr(0, entry.second.size() - exclude).c_str());
        appState.directoryList.actions[entry.first] = exclude ? Exclude : Include;
    }
    appState.directoryList.count = static_cast<int32_t>(entries.size());
    appState.includeDriveLetter = driveLetter;
    appState.calculateChecksums = checksums;
    appState.checksumReaders = readers;
    OperationOptions options;
    options.reportPath = report;
    return compare ? CompareWithSignature(appState, recorder, stop, options) : CreateSignature(appState, recorder, stop, options);
}

}  // namespace

// An Exclude entry is a prefix test on characters ignoring case, in any
// slot (removals leave empty ones between); an Include entry that one is a
// prefix of is skipped without being counted. Paths lose the drive letter
// unless it is asked for; files are summed only when asked.
TEST(Walker, ExcludeDriveLetterChecksumLongPathAndRealSystem32Rules)
{
    auto owner = std::make_unique<AppState>();
    AppState& appState = *owner;
    Operations run{appState};
    std::string root = Tree("exclusion", {"\\a.txt", "\\Temp\\b.txt", "\\Temp2\\c.txt", "\\TempFiles\\d.txt",
                                          "\\keep\\e.txt", "\\keep\\sub\\f.txt", "\\zz-inside\\g.txt"});
    std::string r = root.substr(2);
    EXPECT_EQ(run.Scan({{0, root}, {1, root + "\\zz-inside"}, {7, root + "\\TEMP-"}, {9, root + "\\zz--"}}, 0, false, false),
              (std::set<std::string>{r + "\\a.txt 3 0", r + "\\keep\\e.txt 3 0", r + "\\keep\\sub\\f.txt 3 0"}));
    EXPECT_EQ(appState.scanDirectoryCount, 3);  // root, keep, keep\sub
    EXPECT_EQ(appState.scanTotalBytes, 9u);
    EXPECT_EQ(run.Scan({{0, root + "\\keep"}, {1, root + "\\keep\\sub-"}}, 0, true),
              std::set<std::string>{root + "\\keep\\e.txt 3 1610"});

    // Paths longer than the records or the walk's buffers are skipped whole,
    // never cut; nothing is written past a buffer.
    std::string deep = MakeTestFolder("long");
    std::wstring folder = L"\\\\?\\" + std::wstring(deep.begin(), deep.end());
    std::set<std::string> real;
    for (std::string path = deep + "\\" + std::string(60, 'n'); path.size() < 560; path += "\\" + std::string(60, 'n')) {
        folder += L"\\" + std::wstring(60, L'n');
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
        CloseHandle(CreateFileW((folder + L"\\f.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
        real.insert(path + "\\f.txt 0 255");
    }
    std::set<std::string> recorded = run.Scan({{0, deep}}, 0, true);
    for (const std::string& path : recorded) EXPECT_TRUE(real.count(path) && path.size() <= 299 + 6) << path;
    // Every file whose path fits is reached, however long; the first folder
    // that does not fit is counted once and not entered.
    int fits = 0, skipped = 1;
    for (size_t length = deep.size() + 61; length <= 299; length += 61) ++(length + 6 > 299 ? skipped : fits);
    EXPECT_EQ(recorded.size(), static_cast<size_t>(fits));
    EXPECT_EQ(appState.scanSkippedCount, skipped);

    // A 32-bit program on 64-bit Windows that names System32 is shown
    // SysWOW64 unless it asks otherwise: the walk and its checksum readers see
    // the real folder, a file only there and its own content where SysWOW64 differs.
    if (!UnderWow64()) return;
    const std::string own = SystemFolder("system32", "olvarin-wow64"), wow = SystemFolder("syswow64", "olvarin-wow64");
    WriteTestFile(own + "\\only.txt", "abc");
    WriteTestFile(own + "\\twin.txt", "ab");
    WriteTestFile(wow + "\\twin.txt", "the 32-bit twin");
    WriteTestFile(wow + "\\wow.txt", "x");
    const std::string system32 = "C:\\Windows\\System32\\olvarin-wow64";
    EXPECT_EQ(run.Scan({{0, system32}}, 2, true), (std::set<std::string>{system32 + "\\only.txt 3 1610", system32 + "\\twin.txt 2 1058"}));
}

// With the limit lowered to two files (the rule is the same at any count), a
// walk that is exactly full is whole, however many folders follow; a file
// past it ends the walk. Memory that runs out ends the walk the same way,
// with its own message, once.
TEST(Walker, AFullTableShowsTheMessageOnlyForAFileBeyondItAndSoDoesMemoryRunningOut)
{
    std::string root = Tree("limit", {"\\full\\1.txt", "\\full\\2.txt", "\\over\\1.txt", "\\over\\2.txt",
                                      "\\over\\3.txt", "\\after\\4.txt", "\\empty\\none\\5.txt"});
    DeleteFileA((root + "\\empty\\none\\5.txt").c_str());
    for (int run : {0, 1, 2}) {
        auto owner = std::make_unique<AppState>();
        AppState& appState = *owner;
        Operations create{appState};
        appState.fileLimit = 2;
        if (run == 2) appState.ScanTable.SetMemoryLimit(1);
        create(false, run == 0 ? Entries{{0, root + "\\full"}, {1, root + "\\empty"}} : Entries{{0, root + "\\over"}, {1, root + "\\after"}});
        EXPECT_EQ(appState.scanFileCount, run == 2 ? 0 : 2);
        EXPECT_EQ(appState.fileLimitReached, run == 0 ? 0 : 1);
        EXPECT_EQ(appState.memoryExhausted, run == 2 ? 1 : 0);
        EXPECT_EQ(appState.scanDirectoryCount, run == 0 ? 3 : 2);
        const char* message = run == 0 ? nullptr : run == 1 ? "Too many files|Error: The maximum number of indexable files has been reached"
            : "Out of memory|Error: Memory ran out after 0 files were recorded; the files after them are not covered";
        EXPECT_EQ(create.recorder.shown, message ? std::vector<std::string>{message} : std::vector<std::string>{});
    }
}

namespace {

// Runs the operation on the folders with four readers and stops once all
// `total` files are captured and the readers sum the first four of the last
// five (taken in the order captured; the panel names the last one taken)
// while one waits.
OperationResult StoppedWhileFourReadersAreBusy(Operations& run, bool compare, const Entries& folders, int32_t total)
{
    AppState& appState = run.appState;
    appState.scanFileCount = 0;  // the last scan's figures do not count
    run.stop.Clear();
    OperationResult result;
    std::thread scan([&] { result = run(compare, folders, 4); });
    bool busy = WaitUntil([&] {
        char shown[STATUS_TEXT_SIZE];
        appState.ReadPublishedText(appState.currentFile, shown, sizeof shown);
        return appState.scanFileCount == total && appState.currentChecksum != 0 &&
               std::string(shown) == appState.ScanTable.Get(total - 2).path;
    });
    run.stop.Request();
    scan.join();
    run.stop.Clear();
    EXPECT_TRUE(busy && result.stopped);
    return result;
}

}  // namespace

// Readers in parallel take the files in any order; the records must come
// out as one reader makes them. A Stop ends every reader within its block
// and keeps no sum it cut short, so nothing unchanged reads as changed.
TEST(Walker, ParallelReadersRecordWhatOneReaderRecordsAndAStopLeavesNoFalseChecksum)
{
    std::string root = MakeTestFolder("parallel");
    for (int i = 0; i < 300; ++i) {
        std::string folder = root + "\\d" + std::to_string(i % 4);
        if (i < 4) MakeFolder(folder);
        size_t size = i % 10 == 0 ? 0 : (i * 7919u) % (2 * CHECKSUM_BLOCK_SIZE + 99);
        WriteTestFile(folder + "\\f" + std::to_string(i), std::string(size, static_cast<char>('a' + i % 26)));
    }
    WriteTestFile(root + "\\held.txt", "abc");  // held without sharing: checksum 0
    HANDLE holder = CreateFileA((root + "\\held.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    auto owner = std::make_unique<AppState>();
    AppState& appState = *owner;
    Operations run{appState};
    std::vector<FileRecord> records[2];
    for (int readers : {1, 4}) {
        run(false, {{0, root}}, readers);
        for (int32_t i = 0; i < appState.LoadedTable.Count(); ++i) records[readers > 1].push_back(appState.LoadedTable.Get(i));
    }
    CloseHandle(holder);
    ASSERT_EQ(records[0].size(), 301u);
    ASSERT_EQ(records[1].size(), 301u);
    EXPECT_EQ(std::memcmp(records[0].data(), records[1].data(), 301 * sizeof(FileRecord)), 0);
    EXPECT_EQ(std::string(records[1][300].path), root.substr(2) + "\\held.txt");
    EXPECT_EQ(records[1][300].details.checksum, 0u);

    // Five files that take a while to sum, not zeros, in a second Include
    // folder, walked once the first is summed.
    const Entries both = {{0, root}, {1, MakeTestFolder("parallel-slow")}};
    for (int i = 0; i < 5; ++i) {
        std::FILE* f = std::fopen((both[1].second + "\\big" + std::to_string(i)).c_str(), "wb");
        EXPECT_TRUE(f && std::fputs("big", f) >= 0 && !std::fseek(f, 512 << 20, SEEK_SET) && std::fputs("big", f) >= 0 && !std::fclose(f));
    }
    // A stopped Create keeps true checksums or 0: a full Compare finds nothing.
    StoppedWhileFourReadersAreBusy(run, false, both, 306);
    EXPECT_FALSE(run(true, both, 4).differences);
    // A stopped Compare against the full signature lists nothing but its Stop.
    run(false, both, 4);
    run.report = MakeTestFolder("report") + "\\report.txt";
    ASSERT_TRUE(StoppedWhileFourReadersAreBusy(run, true, both, 306).differences);
    EXPECT_EQ(ReadWholeFile(run.report), "**** Olvarin Result file V1.3 build 1001 ****\r\n\r\n"
                                         "**** Compare stopped before the end: files not reached are listed as missing ****\r\n");
}

// Names the ANSI code page lacks are reached by their true names, recorded
// as the ANSI functions list them (two that read alike both kept) and
// summed, so a change of content is found. Entries whose paths cannot fit a
// record are told of: at the end of a Create in a message, at the end of a
// Compare in the report, which is written even when nothing else differs.
TEST(Walker, NamesOutsideTheCodePageAreSummedAndEntriesTooLongToRecordAreTold)
{
    std::string root = MakeTestFolder("names"), r = root.substr(2);
    std::wstring wide = L"\\\\?\\" + std::wstring(root.begin(), root.end()), deep = wide;
    for (int level = 0; level < 2; ++level) ASSERT_TRUE(CreateDirectoryW((deep += L"\\" + std::wstring(200, L'L')).c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((wide + L"\\Ωmega").c_str(), nullptr));
    for (const wchar_t* name : {L"\\日本.txt", L"\\café.txt", L"\\Ωmega\\in.txt"}) WriteTestFile(wide + name, "abc");
    WriteTestFile(wide + L"\\中文.txt", "");
    auto owner = std::make_unique<AppState>();
    AppState& appState = *owner;
    Operations run{appState};
    EXPECT_EQ(run.Scan({{0, root}}), (std::set<std::string>{r + "\\??.txt 3 1610", r + "\\??.txt 0 255", r + "\\caf\xE9.txt 3 1610",
                                                       r + "\\Omega\\in.txt 3 1610"}));
    EXPECT_EQ(run.recorder.shown, std::vector<std::string>{"Files not recorded|Files or folders not recorded "
                                                           "because their paths are longer than 299 characters: 1"});
    run.report = MakeTestFolder("report") + "\\report.txt";
    ASSERT_TRUE(run(true, {{0, root}}).differences);
    EXPECT_EQ(ReadWholeFile(run.report), "**** Olvarin Result file V1.3 build 1001 ****\r\n\r\n**** Files or folders not checked because "
                        "their paths are longer than 299 characters: 1 ****\r\n");

    WriteTestFile(wide + L"\\日本.txt", "abd");
    ASSERT_TRUE(run(true, {{0, root}}).differences);
    ASSERT_EQ(appState.differenceTable.entryCount, 1);
    EXPECT_EQ(appState.differenceTable.entries[0].kind, Checksum);
    EXPECT_EQ(std::string(appState.ScanTable.Get(appState.differenceTable.entries[0].scanIndex).path), r + "\\??.txt");
    EXPECT_EQ(run.recorder.shown.size(), 1u);
}

// Two Creates at once, on two threads in one process, each on its own
// state with its own readers: each records its own tree, whole.
TEST(Walker, TwoCreatesAtOnceOnTwoThreadsEachRecordTheirOwnTree)
{
    std::string roots[2];
    std::set<std::string> expected[2], got[2];
    for (int t = 0; t < 2; ++t) {
        roots[t] = MakeTestFolder(t == 0 ? "two-a" : "two-b");
        MakeFolder(roots[t] + "\\d");
        for (int i = 0; i < 400 + 100 * t; ++i) {
            std::string name = (i % 2 ? "\\d\\f" : "\\f") + std::to_string(i);
            WriteTestFile(roots[t] + name, "abc");
            expected[t].insert(roots[t].substr(2) + name + " 3 1610");
        }
    }
    std::unique_ptr<AppState> owners[2] = {std::make_unique<AppState>(), std::make_unique<AppState>()};
    std::thread creates[2];
    for (int t = 0; t < 2; ++t) creates[t] = std::thread([&, t] { got[t] = Operations{*owners[t]}.Scan({{0, roots[t]}}, 2); });
    for (std::thread& create : creates) create.join();
    EXPECT_EQ(got[0], expected[0]);
    EXPECT_EQ(got[1], expected[1]);
}

namespace {

std::string faultyFolder;  // the listing that fails, and how
DWORD faultError = 0;
uint32_t ListingFault(const char* path) { return faultyFolder == path ? faultError : 0; }

}  // namespace

// A folder whose listing fails (access denied, a drive not ready) is not
// read: what the signature holds under it is neither compared nor missing,
// and the report says so. A folder that is not there (path not found) is
// gone: its files are missing. The same for an Include folder itself.
TEST(Walker, RecordsUnderAFolderThatCannotBeReadAreUncheckedAndThoseOfAFolderGoneAreMissing)
{
    const std::string root = Tree("unread", {"\\keep.txt", "\\sub\\b.txt", "\\sub\\deeper\\c.txt"});
    auto owner = std::make_unique<AppState>();
    AppState& appState = *owner;
    Operations run{appState};
    run.Scan({{0, root}});
    appState.listingFault = ListingFault;
    run.report = MakeTestFolder("unread-report") + "\\report.txt";
    for (const std::string& folder : {root + "\\sub", root}) {
        for (DWORD error : {ERROR_ACCESS_DENIED, ERROR_NOT_READY, ERROR_PATH_NOT_FOUND}) {
            SCOPED_TRACE(folder + " " + std::to_string(error));
            faultyFolder = folder, faultError = error;
            ASSERT_TRUE(run(true, {{0, root}}).differences);
            const int64_t under = folder == root ? 3 : 2;
            const bool gone = error == ERROR_PATH_NOT_FOUND;
            EXPECT_EQ(appState.differenceTable.uncheckedCount, gone ? 0 : under);
            EXPECT_EQ(appState.differenceTable.entryCount, gone ? under : 0);
            const std::string line = "**** Files not checked because their folders could not be read: " + std::to_string(under) +
                                     ", in " + folder + " (";
            EXPECT_EQ(ReadWholeFile(run.report).find(line) != std::string::npos, !gone) << ReadWholeFile(run.report);
        }
    }
    // A Create that cannot read a folder says which.
    faultyFolder = root + "\\sub", faultError = ERROR_ACCESS_DENIED;
    EXPECT_TRUE(run(false, {{0, root}}).unread);
    ASSERT_EQ(run.recorder.shown.size(), 1u);
    EXPECT_EQ(run.recorder.shown[0].find("Folders not read|Folders that could not be read, whose files are not recorded: 1\n" + root + "\\sub ("), 0u);
}
