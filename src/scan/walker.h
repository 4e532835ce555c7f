#pragma once

#include <windows.h>

#include "model/signature.h"
#include "scan/checksum.h"

// Walks one directory into the ScanTable, depth first, applying the Exclude
// entries of list. path is a full directory path without a trailing
// backslash (a drive root is passed as "C:").
void WalkDirectory(const char* path, const DirectoryList& list);

// Captures one file into the next ScanTable slot. fullPath is the path as the
// walker built it, drive letter included.
void CaptureFile(const char* fullPath, const WIN32_FIND_DATAA& entry);

// Checksum of the file at fullPath (a wide full path), or 0 when checksums
// are off or the file cannot be opened. Reads into block and hands the
// running sum to progress, as ChecksumBlocks does; by default this thread's
// own block and the status panel.
uint32_t FileChecksum(const wchar_t* fullPath, unsigned char* block = nullptr,
                      ChecksumProgress progress = nullptr, void* context = nullptr);

// The recorded form of fullPath: unchanged when the drive letter is kept and
// the path starts with "X:", else without its first two characters. Returns
// nullptr when the path is shorter than two characters.
const char* RecordedPath(const char* fullPath, bool includeDriveLetter);
