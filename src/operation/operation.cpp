#include "operation/operation.h"

#include <windows.h>

#include <cstring>

#include "compare/report.h"
#include "operation/unread_folders.h"
#include "scan/checksum_pool.h"
#include "scan/record_sort.h"
#include "scan/walker.h"
#include "sigfile/signature_file.h"

namespace {

// Refuses a Compare without a signature or an operation without a
// directory entry. Exclude entries count too: a list of nothing but
// Exclude entries runs and scans nothing.
bool PreconditionsMet(const AppState& state, OperationObserver& observer, bool compare)
{
    if (compare && state.signatureLoaded.load() == 0) {
        observer.Tell(MessageId::NoSignatureLoaded);
        return false;
    }
    if (state.directoryList.count <= 0) {
        observer.Tell(MessageId::NoDirectorySelected);
        return false;
    }
    return true;
}

void ClearScan(AppState& state)
{
    state.ClearScanCounts();
    state.fileLimitReached.store(0, std::memory_order_relaxed);
    state.memoryExhausted.store(0, std::memory_order_relaxed);
    state.scanStopped.store(0, std::memory_order_relaxed);
    state.unreadFolders.clear();
    state.loopFolders.clear();
    // Sortable, so that a scan that memory ran out on still sorts what it
    // holds; digests only where the scan takes them.
    const bool digests = state.calculateChecksums.load() != 0 && state.useSha256.load() != 0;
    state.ScanTable.Clear(digests, true);
}

// Empties the scan, walks every Include entry of the directory list into the
// ScanTable and sorts it, setting the status as it goes.
void ScanIncludedDirectories(AppState& state, OperationObserver& observer, const StopToken& stop)
{
    ClearScan(state);
    state.operationStatus.store(Building);
    const DirectoryList& list = state.directoryList;
    ScanContext scan = {state, observer, stop, nullptr};
    for (int slot = 0; slot < MAX_DIRECTORIES && !stop.Requested(); ++slot) {
        if (list.actions[slot] != Include) {
            continue;
        }
        // A path from a damaged file may lack its NUL; walk it as far as it fits.
        char path[DIRECTORY_PATH_SIZE];
        std::memcpy(path, list.paths[slot], sizeof path);
        path[sizeof path - 1] = '\0';
        ChecksumReaders readers(scan, path);
        scan.readers = &readers;
        WalkDirectory(scan, path, list);
        scan.readers = nullptr;
    }
    // Every reader has ended here: a Stop seen now may have cut the walk or
    // a checksum short; one that comes later finds the scan complete.
    state.scanStopped.store(stop.Requested() ? 1 : 0, std::memory_order_relaxed);

    state.operationStatus.store(Sorting);
    SortRecords(state.ScanTable);
}

// The scan becomes the loaded signature "New signature" with the options in
// force, also when it was stopped or hit the file limit.
void PublishNewSignature(AppState& state)
{
    state.LoadedTable.TakeFrom(state.ScanTable);
    state.LoadedTable.DropSortRoom();
    {
        std::lock_guard<std::mutex> lock(state.textLock);
        static const char NEW_NAME[] = "New signature";
        std::memcpy(state.header.name, NEW_NAME, sizeof NEW_NAME);
        state.header.totalBytes = static_cast<int64_t>(state.scanTotalBytes.load(std::memory_order_relaxed));
        state.header.fileCount = state.scanFileCount.load(std::memory_order_relaxed);
        state.header.directoryCount = state.scanDirectoryCount.load(std::memory_order_relaxed);
    }
    state.directoryList.includeDriveLetter = static_cast<uint8_t>(state.includeDriveLetter.load() & 0xFF);
    state.directoryList.calculateChecksums = static_cast<uint8_t>(state.calculateChecksums.load() & 0xFF);
    state.directoryList.digestKind =
        state.calculateChecksums.load() != 0 && state.useSha256.load() != 0 ? DIGEST_SHA256 : DIGEST_NONE;
    state.signatureLoaded.store(1);
}

// Compares the sorted scan with the signature into the difference table.
// Entries the scan had to leave out are news too: the report names them.
// After a Stop, "identical" would claim what was never checked. True when a
// report is due; else the user learns that nothing differs.
bool FindScanDifferences(AppState& state, OperationObserver& observer, MissingJudge& judge)
{
    FindDifferences(state.ScanTable, state.LoadedTable, ContentInForce(state), state.differenceTable, &judge);
    if (state.differenceTable.entryCount == 0 && state.scanSkippedCount.load(std::memory_order_relaxed) == 0 &&
        state.differenceTable.uncheckedCount == 0 && state.scanStopped.load(std::memory_order_relaxed) == 0 &&
        state.fileLimitReached.load(std::memory_order_relaxed) == 0) {
        observer.Tell(MessageId::NoDifference);
        return false;
    }
    return true;
}

// Where both operations begin: the preconditions and the walk. False when
// the operation ends there: refused, or stopped with nothing to keep.
bool Walk(AppState& state, OperationObserver& observer, const StopToken& stop, const OperationOptions& options,
          bool compare, OperationResult& result)
{
    if (!PreconditionsMet(state, observer, compare)) {
        result.refused = true;
        return false;
    }
    if (!compare) {
        state.PublishText(state.header.name, SIGNATURE_NAME_SIZE, "A new signature is being created");
    }
    ScanIncludedDirectories(state, observer, stop);
    result.stopped = state.scanStopped.load() != 0;
    result.limited = state.fileLimitReached.load() != 0;
    return !result.stopped || options.keepWhenStopped;
}

}  // namespace

ContentCheck ContentInForce(const AppState& state)
{
    if (state.calculateChecksums.load(std::memory_order_relaxed) == 0) {
        return ContentCheck::None;
    }
    return state.useSha256.load(std::memory_order_relaxed) != 0 ? ContentCheck::Digests : ContentCheck::Checksums;
}

int ExitCode(const OperationResult& result)
{
    if (result.refused || result.failed) return EXIT_FAILED;
    if (result.stopped) return EXIT_STOPPED;
    if (result.limited) return EXIT_FILE_LIMIT;
    return result.differences || result.unread ? EXIT_DIFFERENT : EXIT_SAME;
}

OperationResult CreateSignature(AppState& state, OperationObserver& observer, const StopToken& stop,
                                const OperationOptions& options)
{
    OperationResult result;
    if (!Walk(state, observer, stop, options, false, result)) {
        return result;
    }
    PublishNewSignature(state);
    if (int32_t skipped = state.scanSkippedCount.load(std::memory_order_relaxed)) {
        observer.Tell({MessageId::EntriesNotRecorded, skipped});
    }
    result.unread = !state.unreadFolders.empty();
    if (result.unread) {
        std::string folders;
        for (const UnreadFolder& folder : state.unreadFolders) {
            folders += Described(folder) + "\n";
        }
        observer.Tell({MessageId::FoldersNotRead, static_cast<int64_t>(state.unreadFolders.size()), folders});
    }
    if (!state.loopFolders.empty()) {
        std::string links;
        for (const std::string& link : state.loopFolders) links += link + "\n";
        observer.Tell({MessageId::LinksNotFollowed, static_cast<int64_t>(state.loopFolders.size()), links});
    }
    return result;
}

OperationResult CompareWithSignature(AppState& state, OperationObserver& observer, const StopToken& stop,
                                     const OperationOptions& options)
{
    OperationResult result;
    if (!Walk(state, observer, stop, options, true, result)) {
        return result;
    }
    state.operationStatus.store(Comparing);
    UnreadFolderJudge judge(state);
    result.differences = FindScanDifferences(state, observer, judge);
    // Both reports are written whole before either takes its place, so that
    // a Ctrl+C leaves both as they were.
    char path[RESULT_PATH_SIZE] = "", text[MAX_PATH] = "", json[MAX_PATH] = "";
    if (result.differences) {
        if (options.reportPath.empty()) {
            BuildResultFilePath(path);
        } else if (options.reportPath.size() < sizeof path) {
            std::memcpy(path, options.reportPath.c_str(), options.reportPath.size() + 1);
        }
        result.failed = !WriteResultFile(state, observer, path, text);
    }
    if (!result.failed && !options.json.path.empty()) {
        result.failed = !WriteJsonReport(state, observer, options.json, ContentInForce(state), &judge,
                                         ExitCode(result), json);
    }
    if (result.failed || (stop.Requested() && !options.keepWhenStopped)) {
        result.stopped = !result.failed;
        for (const char* temporary : {text, json}) {
            if (temporary[0] != '\0') DeleteFileA(temporary);
        }
        return result;
    }
    if (text[0] != '\0') {
        if (!PutInPlace(text, path)) {
            observer.Tell(MessageId::CannotCreateReport);
            result.failed = true;
            if (json[0] != '\0') DeleteFileA(json);
            return result;
        }
        result.reportPath = path;
        observer.ReportWritten(path);
    }
    if (json[0] != '\0' && !PutInPlace(json, options.json.path.c_str())) {
        observer.Tell({MessageId::CannotWriteJson, 1, options.json.path});
        result.failed = true;
    }
    return result;
}
