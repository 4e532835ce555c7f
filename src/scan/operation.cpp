#include "scan/operation.h"

#include <atomic>
#include <cstdio>
#include <cstring>

#include "compare/compare_signatures.h"
#include "model/app_state.h"
#include "scan/checksum_pool.h"
#include "scan/record_sort.h"
#include "scan/walker.h"
#include "ui/control_ids.h"
#include "ui/message_box.h"
#include "ui/status_panel.h"

namespace {

constexpr UINT_PTR REFRESH_TIMER = 1;
constexpr UINT REFRESH_PERIOD_MS = 100;

// The buttons that an operation switches, in the order they are switched.
// Stop is the one that is enabled while an operation runs.
constexpr int SWITCHED_BUTTONS[] = {
    IDC_MAIN_CREATE, IDC_MAIN_COMPARE, IDC_MAIN_VIEW_RESULT, IDC_MAIN_CONFIG, IDC_MAIN_SAVE,
    IDC_MAIN_LOAD,   IDC_MAIN_STOP,    IDC_HELP_BUTTON,      IDC_MAIN_ABOUT,  IDC_MAIN_EXIT,
};

// Set on the worker thread alone, so that EndOperation knows whether it ends
// the operation for good or is a Stop arriving while the worker finishes.
thread_local bool onWorkerThread = false;

HANDLE StartWithCreateThread(LPTHREAD_START_ROUTINE routine)
{
    return CreateThread(nullptr, 0, routine, nullptr, 0, nullptr);
}

std::atomic<WorkerThreadStarter> startWorkerThread{StartWithCreateThread};

void SwitchButtons(HWND window, bool running)
{
    for (int id : SWITCHED_BUTTONS) {
        bool enable = (id == IDC_MAIN_STOP) ? running : !running;
        EnableWindow(GetDlgItem(window, id), enable ? TRUE : FALSE);
    }
}

void DisableStopButtonOf(HWND__* window)
{
    DisableStopButton(window);
}

// ResetSignature lives in the portable core and reaches the Stop button
// through this hook; any program with the operations has it installed.
struct StopButtonHookInstaller {
    StopButtonHookInstaller() { SetDisableStopButtonHook(DisableStopButtonOf); }
} stopButtonHookInstaller;

}  // namespace

bool OperationPreconditionsMet()
{
    HWND owner = appState.mainWindow.load();
    if (appState.operationMode.load() == Compare && appState.signatureLoaded.load() == 0) {
        ShowMessageBox(owner,
                       "You need to create or load a signature file before\n"
                       "doing a compare operation",
                       "Olvarin - No signature loaded", MB_ICONWARNING | MB_OK);
        return false;
    }
    // Exclude entries count too: a list of nothing but Exclude entries runs
    // and scans nothing.
    if (appState.directoryList.count <= 0) {
        ShowMessageBox(owner,
                       "You need to select a directory or disk to scan\n"
                       "from the Config window before starting this operation.",
                       "Olvarin - No Directory Selected", MB_ICONWARNING | MB_OK);
        return false;
    }
    return true;
}

namespace {

void ClearScan()
{
    appState.fileLimitReached.store(0, std::memory_order_relaxed);
    appState.scanDirectoryCount.store(0, std::memory_order_relaxed);
    appState.scanFileCount.store(0, std::memory_order_relaxed);
    appState.scanTotalBytes.store(0, std::memory_order_relaxed);
    appState.scanSkippedCount.store(0, std::memory_order_relaxed);
    appState.scanStopped.store(0, std::memory_order_relaxed);
    ClearCurrentFile();
    // The walk, the Create's copy and the comparison all rely on every slot
    // after the scan's records being empty.
    std::memset(appState.ScanTable, 0, sizeof appState.ScanTable);
}

void WalkIncludedDirectories()
{
    const DirectoryList& list = appState.directoryList;
    for (int slot = 0; slot < MAX_DIRECTORIES; ++slot) {
        if (appState.stopRequested.load(std::memory_order_relaxed) != 0) {
            break;
        }
        if (list.actions[slot] != Include) {
            continue;
        }
        // A path from a damaged file may lack its NUL; walk it as far as it fits.
        char path[DIRECTORY_PATH_SIZE];
        std::memcpy(path, list.paths[slot], sizeof path);
        path[sizeof path - 1] = '\0';
        ChecksumReaders readers(path);
        WalkDirectory(path, list);
    }
}

}  // namespace

void ScanIncludedDirectories()
{
    ClearScan();
    // stopRequested was cleared by whoever started the operation, so that a
    // Stop pressed before this point still counts.
    appState.operationStatus.store(Building);
    WalkIncludedDirectories();
    // Every reader has ended here: a Stop seen now may have cut the walk or
    // a checksum short; one that comes later finds the scan complete.
    appState.scanStopped.store(appState.stopRequested.load() != 0 ? 1 : 0, std::memory_order_relaxed);

    appState.operationStatus.store(Sorting);
    SortRecords(appState.ScanTable, appState.scanFileCount.load());
}

void PublishNewSignature()
{
    std::memcpy(appState.LoadedTable, appState.ScanTable, sizeof appState.LoadedTable);
    // The scan's own marks go no further: a signature holds 0 there.
    for (FileRecord& record : appState.LoadedTable) {
        record.details.reserved = 0;
    }
    {
        std::lock_guard<std::mutex> lock(appState.textLock);
        static const char NEW_NAME[] = "New signature";
        std::memcpy(appState.header.name, NEW_NAME, sizeof NEW_NAME);
        appState.header.totalBytes =
            static_cast<int64_t>(appState.scanTotalBytes.load(std::memory_order_relaxed));
        appState.header.fileCount = appState.scanFileCount.load(std::memory_order_relaxed);
        appState.header.directoryCount = appState.scanDirectoryCount.load(std::memory_order_relaxed);
    }
    appState.directoryList.includeDriveLetter =
        static_cast<uint8_t>(appState.includeDriveLetter.load() & 0xFF);
    appState.directoryList.calculateChecksums =
        static_cast<uint8_t>(appState.calculateChecksums.load() & 0xFF);
    appState.directoryList.digestKind =
        appState.calculateChecksums.load() != 0 && appState.useSha256.load() != 0 ? DIGEST_SHA256 : DIGEST_NONE;
    appState.signatureLoaded.store(1);
}

void ReportSkippedEntries()
{
    int32_t skipped = appState.scanSkippedCount.load(std::memory_order_relaxed);
    if (skipped == 0) {
        return;
    }
    char text[128];
    std::snprintf(text, sizeof text,
                  "Files or folders not recorded because their paths are longer than %d characters: %d",
                  RECORD_PATH_SIZE - 1, static_cast<int>(skipped));
    ShowMessageBox(appState.mainWindow.load(), text, "Files not recorded", MB_ICONWARNING | MB_OK);
}

namespace {

void RunOperation()
{
    if (!OperationPreconditionsMet()) {
        return;
    }
    SetTimer(appState.mainWindow.load(), REFRESH_TIMER, REFRESH_PERIOD_MS, nullptr);
    bool create = appState.operationMode.load() == Create;
    if (create) {
        PublishText(appState.header.name, SIGNATURE_NAME_SIZE, "A new signature is being created");
    }
    ScanIncludedDirectories();
    if (create) {
        PublishNewSignature();
        ReportSkippedEntries();
    } else {
        appState.operationStatus.store(Comparing);
        CompareSignatures();
    }
}

}  // namespace

void SetWorkerThreadStarter(WorkerThreadStarter starter)
{
    startWorkerThread.store(starter != nullptr ? starter : StartWithCreateThread);
}

void DisableStopButton(HWND window)
{
    EnableWindow(GetDlgItem(window, IDC_MAIN_STOP), FALSE);
}

void StartOperation(HWND window)
{
    // Only one worker at a time, even should a command reach us while a
    // finishing worker still holds the tables.
    int32_t idle = 0;
    if (!appState.workerRunning.compare_exchange_strong(idle, 1)) {
        return;
    }
    appState.stopRequested.store(0);
    SwitchButtons(window, true);

    HANDLE thread = startWorkerThread.load()(OperationWorker);
    if (thread == nullptr) {
        // No worker will ever end this operation: end it here.
        appState.workerRunning.store(0);
        EndOperation(window);
        return;
    }
    // Nobody waits for the worker; it ends by returning.
    CloseHandle(thread);
}

DWORD WINAPI OperationWorker(LPVOID)
{
    onWorkerThread = true;
    try {
        RunOperation();
    } catch (...) {
        // Nothing in the operation throws on purpose; whatever happened, the
        // buttons must come back.
    }
    EndOperation(appState.mainWindow.load());
    return 0;
}

void EndOperation(HWND window)
{
    appState.stopRequested.store(1);
    if (!onWorkerThread && appState.workerRunning.load() != 0) {
        // Stop, or the window closing, while the worker still sorts, copies
        // or compares: the tables stay the worker's until its own end, so
        // only Stop goes off now. Timer 1 keeps the panel following the
        // worker's last steps.
        DisableStopButton(window);
        RefreshStatusPanel(window);
        return;
    }
    KillTimer(appState.mainWindow.load(), REFRESH_TIMER);
    appState.operationStatus.store(Stopped);
    if (onWorkerThread) {
        // The worker is done with the tables. Free the way for the next
        // operation before the buttons come back, so that a click on a button
        // that shows enabled is never ignored; what is left here only reads.
        appState.workerRunning.store(0);
    }
    // The panel shows the final state before the buttons come back, so that
    // whoever sees them enabled also reads the finished figures.
    RefreshStatusPanel(window);
    SwitchButtons(window, false);
}
