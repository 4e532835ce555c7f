#pragma once

#include <windows.h>

#include "model/signature.h"
#include "scan/checksum.h"

// Walks one directory into the ScanTable, depth first, applying the Exclude
// entries of list. path is a full directory path in the ANSI code page, as
// the configuration holds it, without a trailing backslash (a drive root is
// passed as "C:", a share as "\\srv\share"). Entries are reached by their
// true names, whatever the code page holds; a path too long for a record is
// counted in scanSkippedCount instead.
void WalkDirectory(const char* path, const DirectoryList& list);

// Lowers the number of files a walk records (MAX_FILES, and no more), as
// tests do to reach the limit; 0 restores MAX_FILES.
void SetFileLimit(int32_t limit);

// Captures one file into the next ScanTable slot, unless memory has run
// out, which ends the walk as the file limit does. fullPath is the path as the
// walker built it in the ANSI code page, drive letter included: what the
// record and the status panel show. openPath names the same file by its true
// name, prefixed with \\?\, for opening it.
void CaptureFile(const char* fullPath, const wchar_t* openPath, const WIN32_FIND_DATAW& entry);

// Checksum of the file at fullPath (a wide path, \\?\ prefix included), or 0 when checksums
// are off or the file cannot be opened. Reads into block and hands the
// running sum to progress, as ChecksumBlocks does; by default this thread's
// own block and the status panel.
// With SHA-256 on, the same reading also fills digest.
uint32_t FileChecksum(const wchar_t* fullPath, unsigned char* block = nullptr,
                      ChecksumProgress progress = nullptr, void* context = nullptr, FileDigest* digest = nullptr);

// Stores the checksum of ScanTable slot's file. A 0 that comes once a Stop
// was asked for (the file not begun, or its sum cut short) is marked as
// never taken: the comparison must not read it as a file that could not be
// opened.
// The digest, when given and whole, goes into the record too.
void StoreChecksum(int32_t slot, uint32_t checksum, const FileDigest* digest = nullptr);

// The recorded form of fullPath: unchanged when the drive letter is kept and
// the path starts with "X:", else without its first two characters; empty
// when the path is shorter than two characters.
const char* RecordedPath(const char* fullPath, bool includeDriveLetter);
