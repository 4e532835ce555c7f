#include "scan/operation.h"

#include <cstdio>
#include <cstring>

#include "compare/compare_signatures.h"
#include "model/app_state.h"
#include "model/messages.h"
#include "scan/checksum_pool.h"
#include "scan/record_sort.h"
#include "scan/walker.h"

bool OperationPreconditionsMet()
{
    if (appState.operationMode.load() == Compare && appState.signatureLoaded.load() == 0) {
        ShowMessage(MessageKind::Warning, "Olvarin - No signature loaded",
                    "You need to create or load a signature file before\n"
                    "doing a compare operation");
        return false;
    }
    // Exclude entries count too: a list of nothing but Exclude entries runs
    // and scans nothing.
    if (appState.directoryList.count <= 0) {
        ShowMessage(MessageKind::Warning, NO_DIRECTORY_TITLE,
                    "You need to select a directory or disk to scan\n"
                    "from the Config window before starting this operation.");
        return false;
    }
    return true;
}

namespace {

void ClearScan()
{
    ClearScanCounts();
    appState.fileLimitReached.store(0, std::memory_order_relaxed);
    appState.memoryExhausted.store(0, std::memory_order_relaxed);
    appState.scanStopped.store(0, std::memory_order_relaxed);
    // Sortable, so that a scan that memory ran out on still sorts what it
    // holds; digests only where the scan takes them.
    const bool digests = appState.calculateChecksums.load() != 0 && appState.useSha256.load() != 0;
    appState.ScanTable.Clear(digests, true);
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
    SortRecords(appState.ScanTable);
}

void PublishNewSignature()
{
    appState.LoadedTable.TakeFrom(appState.ScanTable);
    appState.LoadedTable.DropSortRoom();
    // The scan's own marks go no further: a signature holds 0 there.
    for (int32_t i = 0; i < appState.LoadedTable.Count(); ++i) {
        appState.LoadedTable.Details(i).reserved = 0;
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
    ShowMessage(MessageKind::Warning, "Files not recorded", text);
}

void RunOperation()
{
    if (!OperationPreconditionsMet()) {
        return;
    }
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
