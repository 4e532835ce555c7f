// The state of one signature and of the operation that runs on it: what a
// front end's thread and an operation's thread share. Each front end owns
// its own; two operations on two AppStates never meet.
//
// While an operation runs the worker alone writes the counters, the
// current-file fields and the tables; the UI thread reads them for the status
// panel. Numbers and flags are atomics (relaxed order is enough: nothing is
// ordered by them). The three texts that change during a scan, the current
// directory, the current file and the header's name, are written and read
// under textLock so that a reader never sees half a string.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "model/difference.h"
#include "model/record_table.h"
#include "model/signature.h"

enum OperationMode : int32_t {
    Create = 1,
    Compare = 2,
};

enum OperationStatus : int32_t {
    Building = 1,
    Comparing = 2,
    Stopped = 3,
    Sorting = 4,
};

constexpr int STATUS_TEXT_SIZE = 256;  // current directory and current file

// A folder whose listing failed: the scan could not look into it, so what
// the signature holds under it is neither compared nor missing.
struct UnreadFolder {
    std::string path;      // as walked, in the ANSI code page
    std::string recorded;  // in the form records take (drive letter as the options say)
    uint32_t error;        // the system's error code
    bool holdsRecords;     // the signature holds records under it (known once compared)
};

struct AppState {
    SignatureHeader header = {};
    DirectoryList directoryList = {};
    // The loaded signature (sorted when a Create made it) and the running
    // scan. A Create's scan becomes the signature by TakeFrom.
    RecordTable LoadedTable;
    RecordTable ScanTable;
    DifferenceTable differenceTable = {};

    std::atomic<int32_t> includeDriveLetter{};
    std::atomic<int32_t> calculateChecksums{};
    // SHA-256 digests beside the checksums; only with calculateChecksums.
    std::atomic<int32_t> useSha256{};
    std::atomic<int32_t> operationMode{};
    std::atomic<int32_t> operationStatus{};
    // Set when the scan could record no more files: at its file limit, or
    // because memory ran out (memoryExhausted as well).
    std::atomic<int32_t> fileLimitReached{};
    std::atomic<int32_t> memoryExhausted{};
    std::atomic<int32_t> signatureLoaded{};
    // Set from the start of an operation until its end has been handled on
    // the UI thread; while it is set no command may touch the tables.
    std::atomic<int32_t> workerRunning{};

    std::atomic<int32_t> scanFileCount{};
    std::atomic<int32_t> scanDirectoryCount{};
    std::atomic<uint64_t> scanTotalBytes{};
    // Files and folders left out because their recorded path would not fit
    // a record; a folder counts once and is not entered.
    std::atomic<int32_t> scanSkippedCount{};
    // Set when a Stop cut the last scan short: files it did not reach are
    // absent from the ScanTable, and a checksum of 0 there may be one it
    // never took rather than a file that could not be opened.
    std::atomic<int32_t> scanStopped{};
    // Written by the walk alone and read once it has ended.
    std::vector<UnreadFolder> unreadFolders;
    // Links not entered because they lead back to a folder above them.
    std::vector<std::string> loopFolders;

    // Guarded by textLock: currentDirectory, currentFile and header.name.
    std::mutex textLock;
    char currentDirectory[STATUS_TEXT_SIZE] = {};
    char currentFile[STATUS_TEXT_SIZE] = {};

    std::atomic<uint32_t> currentFileTimeLow{};
    std::atomic<uint32_t> currentFileTimeHigh{};
    std::atomic<int64_t> currentFileSize{};
    std::atomic<uint32_t> currentAttributes{};
    std::atomic<uint32_t> currentChecksum{};

    // A scan records at most this many files (tests lower it to reach the
    // limit), through so many checksum readers (0: as the machine gives).
    int32_t fileLimit = MAX_FILES;
    int checksumReaders = 0;
    // How tests make a listing fail as the system would: the error for the
    // folder at path, or 0 to list it.
    uint32_t (*listingFault)(const char* path) = nullptr;

    // CopyKeepingEnd into a fixed field, under textLock.
    void PublishText(char* field, int fieldSize, const char* text);
    // Copies a field written by PublishText into buffer, under textLock.
    void ReadPublishedText(const char* field, char* buffer, int bufferSize);
    // Empties the "current file" group of the status panel.
    void ClearCurrentFile();
    // Zeroes the scan's counts (folders, files, bytes, paths left out) and
    // empties the "current file" group: where a new scan and a reset both start.
    void ClearScanCounts();
    // Shows a captured record as the current file: its path, creation time,
    // attributes and size. The checksum field is left to whoever sums the file.
    void PublishCurrentFile(const char* path, const FileDetails& details);
};

// Copies text into buffer (more than 3 bytes). A text that does not fit is
// shortened from the front behind "...", so that its end (the file name)
// stays visible.
void CopyKeepingEnd(char* buffer, size_t bufferSize, const char* text);

// Puts the signature state into "No signature loaded", with no record. The
// window program also disables its Stop button then.
void ResetSignature(AppState& state);
