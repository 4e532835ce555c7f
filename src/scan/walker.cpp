#include "scan/walker.h"

#include <cstring>

#include "model/app_state.h"
#include "scan/checksum.h"
#include "scan/checksum_pool.h"
#include "ui/message_box.h"

namespace {

// Each level of the walk builds the paths of its entries in place in one
// buffer of this size, changing only the last component.
constexpr size_t LEVEL_BUFFER_SIZE = 500;
constexpr char SEARCH_PATTERN[] = "\\*.*";

bool EqualsIgnoringAsciiCase(const char* a, const char* b, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + ('a' - 'A'));
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + ('a' - 'A'));
        if (x != y) {
            return false;  // also stops at the shorter text's NUL
        }
    }
    return true;
}

// A plain prefix test on characters, not on path components: an Exclude
// entry C:\Temp also excludes C:\Temp2.
bool IsExcluded(const char* path, const DirectoryList& list)
{
    for (int slot = 0; slot < MAX_DIRECTORIES; ++slot) {
        if (list.actions[slot] != Exclude) {
            continue;
        }
        size_t n = strnlen(list.paths[slot], DIRECTORY_PATH_SIZE - 1);
        if (EqualsIgnoringAsciiCase(path, list.paths[slot], n)) {
            return true;
        }
    }
    return false;
}

bool IsDotOrDotDot(const char* name)
{
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

// Shows the limit message once; every level then leaves its loop.
void ReportFileLimit()
{
    appState.fileLimitReached.store(1, std::memory_order_relaxed);
    ShowMessageBox(appState.mainWindow.load(),
                   "Error: The maximum number of indexable files has been reached",
                   "Too many files", MB_ICONWARNING | MB_OK);
}

long ReadHandle(void* source, unsigned char* buffer, size_t size)
{
    DWORD got = 0;
    if (!ReadFile(static_cast<HANDLE>(source), buffer, static_cast<DWORD>(size), &got, nullptr)) {
        return -1;
    }
    return static_cast<long>(got);
}

}  // namespace

const char* RecordedPath(const char* fullPath, bool includeDriveLetter)
{
    if (fullPath[0] == '\0' || fullPath[1] == '\0') {
        return fullPath + std::strlen(fullPath);
    }
    if (includeDriveLetter && fullPath[1] == ':') {
        return fullPath;
    }
    return fullPath + 2;
}

uint32_t FileChecksum(const wchar_t* fullPath, unsigned char* block, ChecksumProgress progress, void* context)
{
    if (appState.calculateChecksums.load(std::memory_order_relaxed) == 0) {
        return 0;
    }
    // Straight to the system, reading in large blocks: the C library's
    // stream would add its own calls and a copy to every file, and under
    // the emulation every call counts. Shared the way the C library shares.
    HANDLE file = CreateFileW(fullPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return 0;
    }
    uint32_t sum = ChecksumBlocks(ReadHandle, file, block, progress, context);
    CloseHandle(file);
    return sum;
}

void CaptureFile(const char* fullPath, const WIN32_FIND_DATAA& entry)
{
    const char* recorded =
        RecordedPath(fullPath, appState.includeDriveLetter.load(std::memory_order_relaxed) != 0);
    uint64_t size = (static_cast<uint64_t>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;

    int32_t slot = appState.scanFileCount.load(std::memory_order_relaxed);
    FileRecord& record = appState.ScanTable[slot];
    // The walker only hands over paths whose recorded form fits; the bound
    // keeps the record whole even if a caller did not check.
    std::strncpy(record.path, recorded, RECORD_PATH_SIZE - 1);
    record.path[RECORD_PATH_SIZE - 1] = '\0';
    record.details.attributes = entry.dwFileAttributes;
    record.details.creationTime = {entry.ftCreationTime.dwLowDateTime, entry.ftCreationTime.dwHighDateTime};
    record.details.lastWriteTime = {entry.ftLastWriteTime.dwLowDateTime, entry.ftLastWriteTime.dwHighDateTime};
    record.details.size = size;

    // Checksums open files by their wide path; without them, no file is opened.
    wchar_t widePath[LEVEL_BUFFER_SIZE];
    widePath[0] = L'\0';
    if (appState.calculateChecksums.load(std::memory_order_relaxed) != 0 &&
        MultiByteToWideChar(CP_ACP, 0, fullPath, -1, widePath, LEVEL_BUFFER_SIZE) == 0) {
        widePath[0] = L'\0';  // cannot be opened: checksum 0
    }
    if (!QueueChecksum(slot, widePath)) {
        PublishCurrentFile(record);
        record.details.checksum = FileChecksum(widePath);
        appState.currentChecksum.store(record.details.checksum, std::memory_order_relaxed);
    }
    appState.scanTotalBytes.fetch_add(size, std::memory_order_relaxed);
    appState.scanFileCount.store(slot + 1, std::memory_order_relaxed);
}

void WalkDirectory(const char* path, const DirectoryList& list)
{
    if (IsExcluded(path, list)) {
        return;
    }
    appState.scanDirectoryCount.fetch_add(1, std::memory_order_relaxed);

    char buffer[LEVEL_BUFFER_SIZE];
    size_t pathLength = std::strlen(path);
    PublishText(appState.currentDirectory, STATUS_TEXT_SIZE, path);
    if (pathLength + sizeof SEARCH_PATTERN > sizeof buffer) {
        return;  // cannot be enumerated: counted, no records
    }
    std::memcpy(buffer, path, pathLength);
    std::memcpy(buffer + pathLength, SEARCH_PATTERN, sizeof SEARCH_PATTERN);

    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA(buffer, &entry);
    if (find == INVALID_HANDLE_VALUE) {
        return;
    }
    const bool keepDrive = appState.includeDriveLetter.load(std::memory_order_relaxed) != 0;
    do {
        if (appState.fileLimitReached.load(std::memory_order_relaxed) != 0) {
            break;
        }
        if (appState.stopRequested.load(std::memory_order_relaxed) != 0) {
            break;
        }
        if (appState.scanFileCount.load(std::memory_order_relaxed) >= MAX_FILES) {
            ReportFileLimit();
            break;
        }
        const bool isDirectory = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (isDirectory && IsDotOrDotDot(entry.cFileName)) {
            continue;
        }
        // Build "path\name" in place. An entry that does not fit (with room
        // for a subdirectory's search pattern) is skipped, never truncated:
        // a cut path would name another file.
        size_t nameLength = std::strlen(entry.cFileName);
        size_t fullLength = pathLength + 1 + nameLength;
        size_t needed = fullLength + (isDirectory ? sizeof SEARCH_PATTERN : 1);
        if (needed > sizeof buffer) {
            continue;
        }
        buffer[pathLength] = '\\';
        std::memcpy(buffer + pathLength + 1, entry.cFileName, nameLength + 1);
        if (isDirectory) {
            WalkDirectory(buffer, list);
            PublishText(appState.currentDirectory, STATUS_TEXT_SIZE, path);
        } else if (std::strlen(RecordedPath(buffer, keepDrive)) < RECORD_PATH_SIZE) {
            CaptureFile(buffer, entry);
        }
    } while (FindNextFileA(find, &entry));
    FindClose(find);
}
