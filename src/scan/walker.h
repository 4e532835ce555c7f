#pragma once

#include <windows.h>

#include <string>

#include "model/app_state.h"
#include "model/observer.h"
#include "model/signature.h"
#include "model/stop_token.h"
#include "scan/checksum.h"

class ChecksumReaders;

// One scan: the state it records into (its ScanTable, counters and
// options), whom it tells, what stops it, and the readers that sum the
// files of the Include directory being walked (none: the walk sums them).
struct ScanContext {
    AppState& state;
    OperationObserver& observer;
    const StopToken& stop;
    ChecksumReaders* readers;
};

// Walks one directory into the ScanTable, depth first, applying the Exclude
// entries of list. path is a full directory path in the ANSI code page, as
// the configuration holds it, without a trailing backslash (a drive root is
// passed as "C:", a share as "\\srv\share"). Entries are reached by their
// true names, whatever the code page holds; a path too long for a record is
// counted in scanSkippedCount instead.
void WalkDirectory(ScanContext& scan, const char* path, const DirectoryList& list);

// Captures one file into the next ScanTable slot, unless memory has run
// out, which ends the walk as the file limit does. fullPath is the path as the
// walker built it in the ANSI code page, drive letter included: what the
// record and the status panel show. openPath names the same file by its true
// name, prefixed with \\?\, for opening it.
void CaptureFile(ScanContext& scan, const char* fullPath, const wchar_t* openPath, const WIN32_FIND_DATAW& entry);

// Checksum of the file at fullPath (a wide path, \\?\ prefix included), or 0
// when the scan takes no checksums or the file cannot be opened. Reads into
// block (nullptr: this thread's own) and hands the running sum to progress,
// as ChecksumBlocks does. With SHA-256 on, the same reading also fills digest.
uint32_t FileChecksum(ScanContext& scan, const wchar_t* fullPath, unsigned char* block = nullptr,
                      ChecksumProgress progress = nullptr, void* context = nullptr, FileDigest* digest = nullptr);

// Stores the checksum of ScanTable slot's file. A 0 that comes once a Stop
// was asked for (the file not begun, or its sum cut short) is marked as
// never taken: the comparison must not read it as a file that could not be
// opened.
// The digest, when given and whole, goes into the record too.
void StoreChecksum(ScanContext& scan, int32_t slot, uint32_t checksum, const FileDigest* digest = nullptr);

// The system's words for an error code, on one line, and the code:
// "Access is denied, error 5".
std::string SystemReason(uint32_t error);

// An unread folder as the reports and messages name it: "path (reason)".
std::string Described(const UnreadFolder& folder);

// The recorded form of fullPath: unchanged when the drive letter is kept and
// the path starts with "X:", else without its first two characters; empty
// when the path is shorter than two characters.
const char* RecordedPath(const char* fullPath, bool includeDriveLetter);
