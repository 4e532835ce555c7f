#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "compare/report.h"
#include "model/app_state.h"
#include "scan/checksum.h"
#include "scan/checksum_pool.h"
#include "scan/operation.h"
#include "scan/path_order.h"
#include "support/message_recorder.h"
#include "support/test_files.h"
#include "ui/control_ids.h"
#include "ui/message_box.h"

namespace {

constexpr int IDLE_ENABLED[] = {IDC_MAIN_CREATE, IDC_MAIN_COMPARE, IDC_MAIN_VIEW_RESULT,
                                IDC_MAIN_CONFIG, IDC_MAIN_SAVE,    IDC_MAIN_LOAD,
                                IDC_HELP_BUTTON, IDC_MAIN_ABOUT,   IDC_MAIN_EXIT};

std::atomic<int> timerTicks{0};

LRESULT CALLBACK TestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_TIMER && wParam == 1) {
        timerTicks++;
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// A stand-in for the main window: the buttons that an operation switches.
HWND MakeTestWindow()
{
    static bool registered = false;
    if (!registered) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = TestWindowProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "OlvarinOperationTest";
        RegisterClassA(&wc);
        registered = true;
    }
    HWND window = CreateWindowA("OlvarinOperationTest", "test", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300,
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    for (int id : IDLE_ENABLED) {
        CreateWindowA("BUTTON", "b", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, window,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    }
    CreateWindowA("BUTTON", "Stop", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, window,
                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_MAIN_STOP)), nullptr, nullptr);
    return window;
}

// The worker switches the buttons of this thread's window, so waiting for it
// means pumping this thread's messages.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (bool finished = false; !finished;) {
        finished = done();
        if (!finished && GetTickCount() - start > timeoutMs) return false;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        if (!finished) Sleep(1);
    }
    return true;
}

void PumpFor(DWORD ms)
{
    DWORD start = GetTickCount();
    PumpUntil([&] { return GetTickCount() - start >= ms; }, ms + 1000);
}

std::string documentsFolder;

HRESULT TestDocuments(HWND, int, HANDLE, DWORD, char* path)
{
    std::strcpy(path, documentsFolder.c_str());
    return S_OK;
}

bool Enabled(HWND window, int id) { return IsWindowEnabled(GetDlgItem(window, id)) != FALSE; }

int ThreadsOfThisProcess()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        count += entry.th32OwnerProcessID == GetCurrentProcessId();
    }
    CloseHandle(snapshot);
    return count;
}

std::string WithoutDrive(const std::string& path) { return path.substr(2); }

class OperationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A Compare that finds differences writes the result file: into a
        // folder of the test's own. The test prefix opens it with a recorder.
        documentsFolder = MakeTestFolder("op-documents");
        SetFolderLookup(TestDocuments);
        window = MakeTestWindow();
        appState.mainWindow = window;
        ResetSignature(window);
        SetWorkerThreadStarter(nullptr);
    }

    void TearDown() override
    {
        SetWorkerThreadStarter(nullptr);
        SetChecksumReaderCount(0);
        SetMessageBoxHook(nullptr);
        SetFolderLookup(nullptr);
        WaitForWorker();  // never leave a worker behind for the next test
        appState.mainWindow = nullptr;
        DestroyWindow(window);
    }

    static void AddEntry(const std::string& path, DirectoryAction action)
    {
        DirectoryList& list = appState.directoryList;
        std::strcpy(list.paths[list.count], path.c_str());
        list.actions[list.count++] = action;
    }

    void Run(OperationMode mode)
    {
        appState.operationMode = mode;
        StartOperation(window);
        ASSERT_TRUE(WaitForWorker()) << "the worker did not end";
    }

    // The worker frees the way for the next operation and then gives the
    // buttons back, Exit last: wait for both.
    static bool WaitForWorker()
    {
        return PumpUntil([] {
            HWND main = appState.mainWindow.load();
            return appState.workerRunning == 0 &&
                   (main == nullptr || IsWindowEnabled(GetDlgItem(main, IDC_MAIN_EXIT)));
        }, 60000);
    }

    void ExpectRunningButtons(bool stopEnabled)
    {
        for (int id : IDLE_ENABLED) EXPECT_FALSE(Enabled(window, id)) << "button " << id;
        EXPECT_EQ(Enabled(window, IDC_MAIN_STOP), stopEnabled);
    }

    // What every ended operation leaves: idle buttons, no timer, Stopped.
    void ExpectIdle()
    {
        for (int id : IDLE_ENABLED) EXPECT_TRUE(Enabled(window, id)) << "button " << id;
        EXPECT_FALSE(Enabled(window, IDC_MAIN_STOP));
        EXPECT_EQ(appState.operationStatus, Stopped);
        EXPECT_EQ(appState.stopRequested, 1);
        EXPECT_EQ(appState.workerRunning, 0);
        EXPECT_FALSE(KillTimer(window, 1)) << "timer 1 still set";
    }

    std::vector<std::string> LoadedPaths() const
    {
        std::vector<std::string> paths;
        for (int i = 0; i < MAX_FILES && appState.LoadedTable[i].path[0] != '\0'; ++i) {
            paths.push_back(appState.LoadedTable[i].path);
        }
        return paths;
    }

    HWND window = nullptr;
};

}  // namespace

TEST_F(OperationTest, RefusalsChangeNothingAndAnExcludeOnlyListCreatesAnEmptySignature)
{
    appState.scanFileCount = 7;
    std::strcpy(appState.ScanTable[0].path, "\\kept");
    MessageRecorder recorder;

    // Both preconditions fail: only the first is told.
    Run(Compare);
    Run(Create);

    auto messages = recorder.messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].text, "You need to create or load a signature file before\ndoing a compare operation");
    EXPECT_EQ(messages[0].title, "Olvarin - No signature loaded");
    EXPECT_EQ(messages[1].text,
              "You need to select a directory or disk to scan\nfrom the Config window before starting this operation.");
    EXPECT_EQ(messages[1].title, "Olvarin - No Directory Selected");
    for (const auto& m : messages) {
        EXPECT_EQ(m.owner, window);
        EXPECT_EQ(m.type, static_cast<UINT>(MB_ICONWARNING | MB_OK));
    }
    EXPECT_EQ(appState.scanFileCount, 7);
    EXPECT_STREQ(appState.ScanTable[0].path, "\\kept");
    EXPECT_STREQ(appState.header.name, "No signature loaded");
    EXPECT_EQ(appState.signatureLoaded, 0);
    ExpectIdle();

    // A list that only excludes makes an empty signature.
    std::string root = MakeTestFolder("op-exclude-only");
    WriteTestFile(root + "\\a.txt", "x");
    AddEntry(root, Exclude);
    std::strcpy(appState.LoadedTable[0].path, "\\old record");
    appState.header.fileCount = 9;
    Run(Create);
    EXPECT_EQ(recorder.messages().size(), 2u);
    EXPECT_STREQ(appState.header.name, "New signature");
    EXPECT_EQ(appState.header.fileCount, 0);
    EXPECT_EQ(appState.header.directoryCount, 0);
    EXPECT_EQ(appState.header.totalBytes, 0);
    EXPECT_EQ(appState.signatureLoaded, 1);
    EXPECT_STREQ(appState.LoadedTable[0].path, "");
    ExpectIdle();
}

TEST_F(OperationTest, CreateThenCompareFindsEachKindOfChange)
{
    std::string root = MakeTestFolder("op-compare");
    MakeFolder(root + "\\Sub");
    for (const char* name : {"\\deleted.txt", "\\grown.txt", "\\rewritten.txt", "\\readonly.txt",
                             "\\touched.txt", "\\tampered.txt", "\\Same.txt", "\\Sub\\same2.txt"}) {
        WriteTestFile(root + name, "contents");
    }
    AddEntry(root, Include);
    appState.calculateChecksums = 1;
    appState.includeDriveLetter = 1;
    MessageRecorder recorder;

    Run(Create);

    std::vector<std::string> paths = LoadedPaths();
    ASSERT_EQ(paths.size(), 8u);
    EXPECT_STREQ(appState.header.name, "New signature");
    EXPECT_EQ(appState.header.fileCount, 8);
    EXPECT_EQ(appState.header.directoryCount, 2);
    EXPECT_EQ(appState.header.totalBytes, 64);
    EXPECT_EQ(appState.directoryList.includeDriveLetter, 1);
    EXPECT_EQ(appState.directoryList.calculateChecksums, 1);
    EXPECT_EQ(paths[0], root + "\\deleted.txt");  // drive letter kept
    ExpectIdle();

    Run(Compare);  // nothing changed yet
    ASSERT_EQ(recorder.messages().size(), 1u);
    EXPECT_EQ(recorder.messages()[0].title, "OK - No difference");
    EXPECT_EQ(appState.differenceTable.entryCount, 0);
    ExpectIdle();

    DeleteFileA((root + "\\deleted.txt").c_str());
    WriteTestFile(root + "\\new.txt", "new");
    WriteTestFile(root + "\\grown.txt", "contents and more");
    WriteTestFile(root + "\\rewritten.txt", "CONTENTS");
    SetFileAttributesA((root + "\\readonly.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    HANDLE touched = CreateFileA((root + "\\touched.txt").c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(touched, INVALID_HANDLE_VALUE);
    FILETIME longAgo = {0, 0x01D00000};
    SetFileTime(touched, &longAgo, &longAgo, &longAgo);
    CloseHandle(touched);
    // A signature from elsewhere may differ in its modify time alone.
    for (int i = 0; i < 8; ++i) {
        if (appState.LoadedTable[i].path == root + "\\tampered.txt") {
            appState.LoadedTable[i].details.lastWriteTime.dwLowDateTime ^= 1;
        }
    }

    Run(Compare);

    const DifferenceTable& table = appState.differenceTable;
    std::map<std::string, int> kinds;
    for (int i = 0; i < table.entryCount; ++i) {
        const DifferenceEntry& e = table.entries[i];
        EXPECT_LE(table.entries[i > 0 ? i - 1 : 0].kind, e.kind);
        EXPECT_EQ(e.kind == Extra, e.loadedIndex == -1);
        EXPECT_EQ(e.kind == Missing, e.scanIndex == -1);
        const FileRecord& r = e.scanIndex >= 0 ? appState.ScanTable[e.scanIndex] : appState.LoadedTable[e.loadedIndex];
        kinds[std::string(r.path).substr(root.size())] = e.kind;
    }
    EXPECT_EQ(kinds, (std::map<std::string, int>{{"\\new.txt", Extra},
                                                 {"\\deleted.txt", Missing},
                                                 {"\\grown.txt", Size},
                                                 {"\\rewritten.txt", Checksum},
                                                 {"\\touched.txt", CreationTime},
                                                 {"\\tampered.txt", ModifyTime},
                                                 {"\\readonly.txt", Attributes}}));
    EXPECT_EQ(table.droppedCount, 0);
    EXPECT_NE(GetFileAttributesA((documentsFolder + "\\Quillory\\Olvarin\\olvarinresult.txt").c_str()),
              INVALID_FILE_ATTRIBUTES);
    ExpectIdle();
}

TEST_F(OperationTest, StopDuringCreatePublishesWhatWasCapturedSortedOnceEveryReaderHasEnded)
{
    std::string root = MakeTestFolder("op-stop-create");
    MakeFolder(root + "\\first");
    MakeFolder(root + "\\slow");
    for (const char* name : {"\\b.txt", "\\A.txt", "\\a_b.txt", "\\C.TXT", "\\ab.txt"}) {
        WriteTestFile(root + "\\first" + name, "x");
    }
    // A sparse file far too large to be read before the test gives up
    // waiting: only a Stop ends its reader.
    std::string big = root + "\\slow\\big.bin";
    HANDLE file = CreateFileA(big.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    LARGE_INTEGER size;
    size.QuadPart = LONGLONG{1} << 40;
    SetFilePointerEx(file, size, nullptr, FILE_BEGIN);
    SetEndOfFile(file);
    CloseHandle(file);
    AddEntry(root + "\\first", Include);
    AddEntry(root + "\\slow", Include);
    appState.calculateChecksums = 1;
    SetChecksumReaderCount(4);
    MessageRecorder recorder;
    const int threadsBefore = ThreadsOfThisProcess();

    appState.operationMode = Create;
    StartOperation(window);
    ExpectRunningButtons(true);
    char current[STATUS_TEXT_SIZE];
    ASSERT_TRUE(PumpUntil([&] {
        ReadPublishedText(appState.currentFile, current, sizeof current);
        return WithoutDrive(big) == current;
    }, 30000)) << "the scan never reached the large file";
    EXPECT_STREQ(appState.header.name, "A new signature is being created");

    EndOperation(window);  // Stop

    ExpectRunningButtons(false);  // the worker still has the tables

    ASSERT_TRUE(WaitForWorker());
    // The buttons came back after every reader had ended; the worker thread
    // itself may still be returning.
    EXPECT_LE(ThreadsOfThisProcess(), threadsBefore + 1);
    EXPECT_TRUE(PumpUntil([&] { return ThreadsOfThisProcess() == threadsBefore; }, 10000));
    std::vector<std::string> paths = LoadedPaths();
    std::string first = WithoutDrive(root) + "\\first";
    EXPECT_EQ(paths, (std::vector<std::string>{first + "\\A.txt", first + "\\a_b.txt", first + "\\ab.txt",
                                               first + "\\b.txt", first + "\\C.TXT", WithoutDrive(big)}));
    EXPECT_STREQ(appState.header.name, "New signature");
    EXPECT_EQ(appState.header.fileCount, 6);
    EXPECT_EQ(appState.header.directoryCount, 2);
    EXPECT_EQ(appState.signatureLoaded, 1);
    EXPECT_TRUE(recorder.messages().empty());
    ExpectIdle();
}

// Readers in parallel take the files in any order; the records must come
// out as one reader makes them.
TEST_F(OperationTest, ParallelReadersRecordWhatOneReaderRecords)
{
    std::string root = MakeTestFolder("op-parallel");
    for (int i = 0; i < 300; ++i) {
        std::string folder = root + "\\d" + std::to_string(i % 4);
        if (i < 4) MakeFolder(folder);
        size_t size = i % 10 == 0 ? 0 : (i * 7919u) % (2 * CHECKSUM_BLOCK_SIZE + 99);
        WriteTestFile(folder + "\\f" + std::to_string(i), std::string(size, static_cast<char>('a' + i % 26)));
    }
    WriteTestFile(root + "\\abc.txt", "abc");
    // Held without sharing: it cannot be opened and keeps checksum 0.
    std::string held = root + "\\held.txt";
    WriteTestFile(held, "abc");
    HANDLE holder = CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    AddEntry(root, Include);
    appState.calculateChecksums = 1;

    std::vector<FileRecord> records[2];
    for (int readers : {1, 4}) {
        SetChecksumReaderCount(readers);
        Run(Create);
        records[readers > 1].assign(appState.LoadedTable, appState.LoadedTable + appState.header.fileCount);
    }
    CloseHandle(holder);

    ASSERT_EQ(records[0].size(), 302u);
    ASSERT_EQ(records[1].size(), 302u);
    EXPECT_EQ(std::memcmp(records[0].data(), records[1].data(), 302 * sizeof(FileRecord)), 0);
    std::map<std::string, uint32_t> checksums;
    for (const FileRecord& r : records[1]) checksums[r.path] = r.details.checksum;
    EXPECT_EQ(checksums[WithoutDrive(root) + "\\abc.txt"], 1610u);
    EXPECT_EQ(checksums[WithoutDrive(held)], 0u);
}

namespace {

HANDLE boxShown = nullptr;
HANDLE boxReleased = nullptr;

// Holds the comparison's message box open until the test lets it go.
int HoldingMessageBox(HWND, const char*, const char*, UINT)
{
    SetEvent(boxShown);
    WaitForSingleObject(boxReleased, 60000);
    return IDOK;
}

}  // namespace

TEST_F(OperationTest, StopWhileComparingKeepsCommandsOffAndTheTimerOnUntilTheWorkerEnds)
{
    std::string root = MakeTestFolder("op-stop-compare");
    WriteTestFile(root + "\\a.txt", "x");
    AddEntry(root, Include);
    {
        MessageRecorder recorder;
        Run(Create);
    }
    boxShown = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    boxReleased = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SetMessageBoxHook(HoldingMessageBox);

    appState.operationMode = Compare;
    StartOperation(window);
    ASSERT_TRUE(PumpUntil([] { return WaitForSingleObject(boxShown, 0) == WAIT_OBJECT_0; }, 30000));
    EXPECT_EQ(appState.operationStatus, Comparing);

    EndOperation(window);  // Stop while the comparison's message is open

    ExpectRunningButtons(false);
    EXPECT_EQ(appState.workerRunning, 1);
    EXPECT_EQ(appState.operationStatus, Comparing);
    appState.operationMode = Create;
    StartOperation(window);
    ExpectRunningButtons(false);
    // The panel keeps following the worker.
    timerTicks = 0;
    PumpFor(350);
    EXPECT_GE(timerTicks.load(), 1);
    ExpectRunningButtons(false);

    SetEvent(boxReleased);
    ASSERT_TRUE(WaitForWorker());
    ExpectIdle();
    // The refused Create never ran: the signature is still the one built.
    EXPECT_EQ(appState.header.fileCount, 1);
    timerTicks = 0;
    PumpFor(250);
    EXPECT_EQ(timerTicks.load(), 0);
    CloseHandle(boxShown);
    CloseHandle(boxReleased);
}

namespace {

HANDLE heldWorker = nullptr;

HANDLE StartSuspended(LPTHREAD_START_ROUTINE routine)
{
    HANDLE thread = CreateThread(nullptr, 0, routine, nullptr, CREATE_SUSPENDED, nullptr);
    DuplicateHandle(GetCurrentProcess(), thread, GetCurrentProcess(), &heldWorker, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    return thread;
}

HANDLE FailToStart(LPTHREAD_START_ROUTINE) { return nullptr; }

}  // namespace

TEST_F(OperationTest, WorkerThatCannotStartOrIsStoppedBeforeItRunsEndsTheOperation)
{
    std::string root = MakeTestFolder("op-early-stop");
    WriteTestFile(root + "\\a.txt", "x");
    AddEntry(root, Include);
    appState.operationMode = Create;
    SetWorkerThreadStarter(FailToStart);
    StartOperation(window);
    ExpectIdle();  // and Stop stays requested, as an ended operation leaves it

    SetWorkerThreadStarter(StartSuspended);
    StartOperation(window);
    ExpectRunningButtons(true);
    EndOperation(window);  // Stop before the worker has done anything
    ExpectRunningButtons(false);
    ResumeThread(heldWorker);
    CloseHandle(heldWorker);
    ASSERT_TRUE(WaitForWorker());
    EXPECT_EQ(appState.header.fileCount, 0);
    EXPECT_EQ(appState.header.directoryCount, 0);  // not one Include directory entered
    EXPECT_EQ(appState.signatureLoaded, 1);
    ExpectIdle();

    // Without a Stop the same operation scans: starting cleared the flag.
    SetWorkerThreadStarter(nullptr);
    Run(Create);
    EXPECT_EQ(appState.header.fileCount, 1);
    ExpectIdle();
}

// A folder whose path cannot fit a record is told of, at the end of a Create
// in a message and at the end of a Compare in the report, never in silence.
TEST_F(OperationTest, EntriesTooLongToRecordAreToldAndAChangeOutsideTheCodePageIsFound)
{
    std::string root = MakeTestFolder("op-untold");
    std::wstring wideRoot = L"\\\\?\\" + std::wstring(root.begin(), root.end());
    std::wstring deep = wideRoot;
    for (int level = 0; level < 2; ++level) {
        deep += L"\\" + std::wstring(200, L'L');
        ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr));
    }
    WriteTestFile(wideRoot + L"\\日本.txt", "one");
    AddEntry(root, Include);
    appState.calculateChecksums = 1;
    MessageRecorder recorder;

    Run(Create);
    ASSERT_EQ(recorder.messages().size(), 1u);
    MessageRecorder::Message told = recorder.messages()[0];
    EXPECT_EQ(told.title + ": " + told.text,
              "Files not recorded: Files or folders not recorded because their paths are longer than 299 characters: 1");
    EXPECT_EQ(told.type, static_cast<UINT>(MB_ICONWARNING | MB_OK));
    EXPECT_EQ(told.owner, window);

    Run(Compare);  // no difference, but the report still tells of the folder
    EXPECT_EQ(recorder.messages().size(), 1u);
    std::ifstream in(documentsFolder + "\\Quillory\\Olvarin\\olvarinresult.txt", std::ios::binary);
    std::string report((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(report.substr(report.find(" ****\r\n\r\n")),
              " ****\r\n\r\n**** Files or folders not checked because their paths are longer than 299 "
              "characters: 1 ****\r\n");

    WriteTestFile(wideRoot + L"\\日本.txt", "two");
    Run(Compare);
    ASSERT_EQ(appState.differenceTable.entryCount, 1);
    EXPECT_EQ(appState.differenceTable.entries[0].kind, Checksum);
    EXPECT_EQ(WithoutDrive(root) + "\\??.txt", appState.ScanTable[appState.differenceTable.entries[0].scanIndex].path);
}
