#include "scan/walker.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <new>
#include <string>

#include "model/path_order.h"
#include "scan/checksum.h"
#include "scan/checksum_pool.h"
#include "scan/real_file_system.h"

namespace {

// The walk builds every path in place in two buffers that all its levels
// share: the ANSI form, which is recorded, shown and matched against the
// Exclude entries, and the wide form with the \\?\ prefix, through which the
// system is asked. A level puts "\name" behind its own path in both, and its
// next entry writes over it. Only folders whose recorded path fits a record
// are entered, so both stay far below these sizes; every append still checks.
constexpr size_t ANSI_PATH_SIZE = 1024;
constexpr size_t WIDE_PATH_SIZE = 1024;
constexpr wchar_t SEARCH_PATTERN[] = L"\\*";
constexpr size_t PATTERN_LENGTH = sizeof SEARCH_PATTERN / sizeof SEARCH_PATTERN[0] - 1;

struct WalkPaths {
    char ansi[ANSI_PATH_SIZE];
    wchar_t wide[WIDE_PATH_SIZE];
};

// A plain prefix test on characters, not on path components: an Exclude
// entry C:\Temp also excludes C:\Temp2.
bool IsExcluded(const char* path, const DirectoryList& list)
{
    for (int slot = 0; slot < MAX_DIRECTORIES; ++slot) {
        if (list.actions[slot] != Exclude) {
            continue;
        }
        size_t n = strnlen(list.paths[slot], DIRECTORY_PATH_SIZE - 1);
        if (SamePathStart(path, list.paths[slot], n)) {
            return true;
        }
    }
    return false;
}

bool IsDotOrDotDot(const wchar_t* name)
{
    return std::wcscmp(name, L".") == 0 || std::wcscmp(name, L"..") == 0;
}

// Tells of the limit once; every level then leaves its loop.
void ReportFileLimit(ScanContext& scan)
{
    scan.state.fileLimitReached.store(1, std::memory_order_relaxed);
    scan.observer.Tell({MessageId::TooManyFiles, 0});
}

// Memory ran out before the limit: the scan ends as at the limit, keeping
// the records it has, and says why.
void ReportMemoryExhausted(ScanContext& scan)
{
    scan.state.memoryExhausted.store(1, std::memory_order_relaxed);
    scan.state.fileLimitReached.store(1, std::memory_order_relaxed);
    scan.observer.Tell({MessageId::ScanOutOfMemory, scan.state.scanFileCount.load(std::memory_order_relaxed)});
}

// The running sum of the file the walk sums itself, for the panel.
void ShowRunningSum(void* state, uint32_t sum)
{
    static_cast<AppState*>(state)->currentChecksum.store(sum, std::memory_order_relaxed);
}

long ReadHandle(void* source, unsigned char* buffer, size_t size)
{
    DWORD got = 0;
    if (!ReadFile(static_cast<HANDLE>(source), buffer, static_cast<DWORD>(size), &got, nullptr)) {
        return -1;
    }
    return static_cast<long>(got);
}

// The wide form of a configured directory, with the prefix that lifts the
// system's length limit: C:\x becomes \\?\C:\x and \\srv\share becomes
// \\?\UNC\srv\share. Any other form goes unprefixed, since the prefix also
// turns off the system's own reading of a path. Returns its length. A
// configured path (at most 259 characters) always fits.
size_t ExtendedPath(const char* path, wchar_t* out)
{
    const wchar_t* prefix = L"";
    const char* rest = path;
    if (path[0] != '\0' && path[1] == ':') {
        prefix = L"\\\\?\\";
    } else if (path[0] == '\\' && path[1] == '\\' && path[2] != '?' && path[2] != '.') {
        prefix = L"\\\\?\\UNC\\";
        rest = path + 2;
    }
    size_t prefixLength = std::wcslen(prefix);
    std::wmemcpy(out, prefix, prefixLength);
    int converted = MultiByteToWideChar(CP_ACP, 0, rest, -1, out + prefixLength,
                                        static_cast<int>(WIDE_PATH_SIZE - prefixLength));
    if (converted <= 0) {
        out[prefixLength] = L'\0';
        return prefixLength;
    }
    return prefixLength + static_cast<size_t>(converted) - 1;
}

// Puts "\name" behind the level's path in both forms: in the ANSI one
// converted exactly as the ANSI file functions convert it (best-fit letters
// and '?' included), so that records compare with those made through them.
// Returns the new length of the ANSI path, or 0 when the entry cannot be
// recorded: its recorded path would not fit a record (nor its wide path,
// with room for a search pattern, the buffer).
size_t AppendName(WalkPaths& paths, size_t ansiLength, size_t wideLength, const wchar_t* name,
                  bool keepDrive)
{
    size_t nameLength = std::wcslen(name);
    if (wideLength + 1 + nameLength + PATTERN_LENGTH + 1 > WIDE_PATH_SIZE) {
        return 0;
    }
    paths.ansi[ansiLength] = '\\';
    int converted = WideCharToMultiByte(CP_ACP, 0, name, static_cast<int>(nameLength + 1),
                                        paths.ansi + ansiLength + 1,
                                        static_cast<int>(ANSI_PATH_SIZE - ansiLength - 1), nullptr, nullptr);
    if (converted <= 0) {
        return 0;
    }
    size_t fullLength = ansiLength + static_cast<size_t>(converted);
    size_t recordedLength = fullLength - static_cast<size_t>(RecordedPath(paths.ansi, keepDrive) - paths.ansi);
    if (recordedLength >= static_cast<size_t>(RECORD_PATH_SIZE)) {
        return 0;
    }
    paths.wide[wideLength] = L'\\';
    std::wmemcpy(paths.wide + wideLength + 1, name, nameLength + 1);
    return fullLength;
}

// A folder on the walk's path from its Include directory down, known by its
// volume and file index once asked (a link that leads back to one of them
// would be walked until the paths grew too long).
struct Level {
    const Level* above;
    size_t wideLength;
    mutable bool known;
    mutable uint64_t volume;
    mutable uint64_t index;
};

// The identity of the folder at path (a link followed to its target); false
// when it cannot be opened.
bool FolderIdentity(const wchar_t* path, uint64_t& volume, uint64_t& index)
{
    HANDLE folder;
    {
        RealFileSystem real;
        folder = CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                             FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    }
    if (folder == INVALID_HANDLE_VALUE) {
        return false;
    }
    BY_HANDLE_FILE_INFORMATION information;
    const bool known = GetFileInformationByHandle(folder, &information) != 0;
    CloseHandle(folder);
    volume = information.dwVolumeSerialNumber;
    index = (static_cast<uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
    return known;
}

// Whether the link whose path the wide buffer holds leads to a folder on
// the walk's path. Only links are asked, so a tree without any costs no
// extra open.
bool LeadsBack(const WalkPaths& paths, const Level& level)
{
    uint64_t volume, index;
    if (!FolderIdentity(paths.wide, volume, index)) {
        return false;
    }
    for (const Level* above = &level; above != nullptr; above = above->above) {
        if (!above->known) {
            // A drive's root is "\\?\C:" here, which names the volume itself.
            std::wstring path(paths.wide, above->wideLength);
            if (path.back() == L':') path += L'\\';
            above->known = FolderIdentity(path.c_str(), above->volume, above->index);
        }
        if (above->known && above->volume == volume && above->index == index) {
            return true;
        }
    }
    return false;
}

// One directory, whose path the buffers hold: ansiLength and wideLength
// characters, without a trailing backslash. above: the folders over it.
void WalkLevel(ScanContext& scan, WalkPaths& paths, size_t ansiLength, size_t wideLength, const DirectoryList& list,
               const Level* above)
{
    AppState& state = scan.state;
    if (IsExcluded(paths.ansi, list)) {
        return;
    }
    state.scanDirectoryCount.fetch_add(1, std::memory_order_relaxed);
    state.PublishText(state.currentDirectory, STATUS_TEXT_SIZE, paths.ansi);
    if (wideLength + PATTERN_LENGTH + 1 > WIDE_PATH_SIZE) {
        return;  // cannot be enumerated: counted, no records
    }
    std::wmemcpy(paths.wide + wideLength, SEARCH_PATTERN, PATTERN_LENGTH + 1);

    const bool keepDrive = state.includeDriveLetter.load(std::memory_order_relaxed) != 0;
    WIN32_FIND_DATAW entry;
    HANDLE find;
    DWORD error = state.listingFault != nullptr ? state.listingFault(paths.ansi) : 0;
    if (error != 0) {
        find = INVALID_HANDLE_VALUE;
    } else {
        // Only the open names a path: the next entries come from the handle.
        RealFileSystem real;
        find = FindFirstFileW(paths.wide, &entry);
        error = find == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    }
    if (find == INVALID_HANDLE_VALUE) {
        // An empty drive root matches nothing, and a folder gone since it
        // was named holds nothing: its files are missing. Any other failure
        // (access denied, a drive or share not ready, a link whose target
        // is gone) keeps the scan out of a folder that may hold them all.
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
            state.unreadFolders.push_back({paths.ansi, RecordedPath(paths.ansi, keepDrive), error, false});
        }
        return;
    }
    const Level level = {above, wideLength, false, 0, 0};
    do {
        if (state.fileLimitReached.load(std::memory_order_relaxed) != 0) {
            break;
        }
        if (scan.stop.Requested()) {
            break;
        }
        const bool isDirectory = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (isDirectory && IsDotOrDotDot(entry.cFileName)) {
            continue;
        }
        // An entry whose path does not fit is skipped, never cut short (a cut
        // path would name another file), and counted so that the user learns
        // of it; a folder so skipped is not entered.
        size_t fullLength = AppendName(paths, ansiLength, wideLength, entry.cFileName, keepDrive);
        if (fullLength == 0) {
            state.scanSkippedCount.fetch_add(1, std::memory_order_relaxed);
        } else if (isDirectory && (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
                   LeadsBack(paths, level)) {
            state.loopFolders.push_back(paths.ansi);
            paths.ansi[ansiLength] = '\0';
        } else if (isDirectory) {
            WalkLevel(scan, paths, fullLength, wideLength + 1 + std::wcslen(entry.cFileName), list, &level);
            paths.ansi[ansiLength] = '\0';
            state.PublishText(state.currentDirectory, STATUS_TEXT_SIZE, paths.ansi);
        } else if (state.scanFileCount.load(std::memory_order_relaxed) >= std::min(state.fileLimit, MAX_FILES)) {
            // Only a file that would be recorded past the limit cuts the
            // scan short: a scan of exactly the limit's files is whole.
            ReportFileLimit(scan);
            break;
        } else {
            CaptureFile(scan, paths.ansi, paths.wide, entry);
        }
    } while (FindNextFileW(find, &entry));
    FindClose(find);
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

uint32_t FileChecksum(ScanContext& scan, const wchar_t* fullPath, unsigned char* block, ChecksumProgress progress,
                      void* context, FileDigest* digest)
{
    if (digest != nullptr) {
        digest->whole = false;
    }
    if (scan.state.calculateChecksums.load(std::memory_order_relaxed) == 0) {
        return 0;
    }
    // Straight to the system, reading in large blocks: the C library's
    // stream would add its own calls and a copy to every file, and under
    // the emulation every call counts. Shared the way the C library shares.
    HANDLE file;
    {
        RealFileSystem real;
        file = CreateFileW(fullPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    }
    if (file == INVALID_HANDLE_VALUE) {
        return 0;
    }
    const bool sha256 = scan.state.useSha256.load(std::memory_order_relaxed) != 0;
    uint32_t sum = ChecksumBlocks(ReadHandle, file, block, progress, context, sha256 ? digest : nullptr, &scan.stop);
    CloseHandle(file);
    return sum;
}

void StoreChecksum(ScanContext& scan, int32_t slot, uint32_t checksum, const FileDigest* digest)
{
    RecordTable& table = scan.state.ScanTable;
    table.Details(slot).checksum = checksum;
    table.SetDigest(slot, digest != nullptr && digest->whole ? digest->bytes : nullptr);
    table.MarkChecksumNotTaken(slot, checksum == 0 && scan.stop.Requested());
}

void CaptureFile(ScanContext& scan, const char* fullPath, const wchar_t* openPath, const WIN32_FIND_DATAW& entry)
{
    AppState& state = scan.state;
    const char* recorded = RecordedPath(fullPath, state.includeDriveLetter.load(std::memory_order_relaxed) != 0);
    FileDetails details = {};
    details.attributes = entry.dwFileAttributes;
    details.creationTime = {entry.ftCreationTime.dwLowDateTime, entry.ftCreationTime.dwHighDateTime};
    details.lastWriteTime = {entry.ftLastWriteTime.dwLowDateTime, entry.ftLastWriteTime.dwHighDateTime};
    details.size = (static_cast<uint64_t>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;

    // The walker only hands over paths whose recorded form fits; the table
    // keeps the record whole even if a caller did not check.
    int32_t slot;
    try {
        slot = state.ScanTable.Append(recorded, std::strlen(recorded), details);
    } catch (const std::bad_alloc&) {
        ReportMemoryExhausted(scan);
        return;
    }
    if (scan.readers == nullptr || !scan.readers->Queue(slot, openPath)) {
        state.PublishCurrentFile(recorded, details);
        FileDigest digest;
        StoreChecksum(scan, slot, FileChecksum(scan, openPath, nullptr, ShowRunningSum, &state, &digest), &digest);
        state.currentChecksum.store(state.ScanTable.Details(slot).checksum, std::memory_order_relaxed);
    }
    state.scanTotalBytes.fetch_add(details.size, std::memory_order_relaxed);
    state.scanFileCount.store(slot + 1, std::memory_order_relaxed);
}

void WalkDirectory(ScanContext& scan, const char* path, const DirectoryList& list)
{
    WalkPaths paths;
    size_t ansiLength = strnlen(path, ANSI_PATH_SIZE - 1);
    std::memcpy(paths.ansi, path, ansiLength);
    paths.ansi[ansiLength] = '\0';
    WalkLevel(scan, paths, ansiLength, ExtendedPath(paths.ansi, paths.wide), list, nullptr);
}

std::string Described(const UnreadFolder& folder)
{
    return folder.path + " (" + SystemReason(folder.error) + ")";
}

std::string SystemReason(uint32_t error)
{
    char text[512] = "";
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text,
                                  sizeof text, nullptr);
    while (length > 0 && std::strchr("\r\n .", text[length - 1]) != nullptr) {
        --length;
    }
    std::string reason(text, length);
    return (reason.empty() ? "" : reason + ", ") + "error " + std::to_string(error);
}
