#include "scan/checksum_pool.h"

#include <windows.h>
#include <winioctl.h>

#include <atomic>
#include <cstring>
#include <cwchar>

#include "model/app_state.h"
#include "scan/checksum.h"
#include "scan/walker.h"

namespace {

constexpr int MAX_READERS = 8;
// Files handed over and not yet taken. Enough that the walker, which
// enumerates far faster than files open, rarely has to wait for a reader to
// wake it; the readers wake it only once the ring is half empty again.
constexpr int RING_SIZE = 128;
// Room for any path whose recorded form fits a record, in the extended form.
constexpr size_t PATH_CHARS = 1024;

struct Pending {
    int32_t slot;
    wchar_t path[PATH_CHARS];
};

struct Reader {
    HANDLE thread;
    int32_t slot;
    wchar_t path[PATH_CHARS];
    unsigned char block[CHECKSUM_BLOCK_SIZE];
};

// One walk at a time, on the worker thread: the pool is process-wide, like
// the tables it writes into.
struct Pool {
    SRWLOCK lock = SRWLOCK_INIT;
    CONDITION_VARIABLE filled = CONDITION_VARIABLE_INIT;
    CONDITION_VARIABLE drained = CONDITION_VARIABLE_INIT;
    Pending ring[RING_SIZE];
    int head = 0;
    int count = 0;
    int sleepingReaders = 0;
    bool walkerWaiting = false;
    bool closing = false;
    Reader readers[MAX_READERS];
    int readerCount = 0;

    // The panel names the file taken last and shows its running sum; an
    // earlier file still being read shows nothing, so that the name and the
    // sum on the panel always belong to one file. Once the file shown is
    // done, the next reader to report takes the panel over, so that a large
    // file still being read is never hidden behind one already finished.
    SRWLOCK panelLock = SRWLOCK_INIT;
    int32_t shownSlot = -1;
    bool shownDone = false;
};
Pool pool;

std::atomic<int> requestedReaders{0};

// Names the file of slot on the panel, with a running sum from 0.
void Show(int32_t slot)
{
    pool.shownSlot = slot;
    pool.shownDone = false;
    char path[RECORD_PATH_SIZE];
    appState.ScanTable.CopyPath(slot, path);
    PublishCurrentFile(path, appState.ScanTable.Details(slot));
    appState.currentChecksum.store(0, std::memory_order_relaxed);
}

void ShowFile(int32_t slot)
{
    AcquireSRWLockExclusive(&pool.panelLock);
    if (slot > pool.shownSlot || pool.shownDone) {
        Show(slot);
    }
    ReleaseSRWLockExclusive(&pool.panelLock);
}

void ShowSum(void* context, uint32_t sum)
{
    const int32_t slot = *static_cast<const int32_t*>(context);
    AcquireSRWLockExclusive(&pool.panelLock);
    if (slot != pool.shownSlot && pool.shownDone) {
        Show(slot);
    }
    if (slot == pool.shownSlot) {
        appState.currentChecksum.store(sum, std::memory_order_relaxed);
    }
    ReleaseSRWLockExclusive(&pool.panelLock);
}

void FileDone(int32_t slot)
{
    AcquireSRWLockExclusive(&pool.panelLock);
    if (slot == pool.shownSlot) {
        pool.shownDone = true;
    }
    ReleaseSRWLockExclusive(&pool.panelLock);
}

// Takes the next file into reader, or returns false once the walk is over
// and nothing is left.
bool TakeFile(Reader& reader)
{
    AcquireSRWLockExclusive(&pool.lock);
    while (pool.count == 0 && !pool.closing) {
        ++pool.sleepingReaders;
        SleepConditionVariableSRW(&pool.filled, &pool.lock, INFINITE, 0);
        --pool.sleepingReaders;
    }
    if (pool.count == 0) {
        ReleaseSRWLockExclusive(&pool.lock);
        return false;
    }
    const Pending& next = pool.ring[pool.head];
    reader.slot = next.slot;
    std::wcscpy(reader.path, next.path);
    pool.head = (pool.head + 1) % RING_SIZE;
    --pool.count;
    bool wakeWalker = pool.walkerWaiting && pool.count <= RING_SIZE / 2;
    if (wakeWalker) {
        pool.walkerWaiting = false;
    }
    ReleaseSRWLockExclusive(&pool.lock);
    if (wakeWalker) {
        WakeConditionVariable(&pool.drained);
    }
    return true;
}

DWORD WINAPI ReadFiles(LPVOID parameter)
{
    Reader& reader = *static_cast<Reader*>(parameter);
    while (TakeFile(reader)) {
        // After a Stop the rest of the ring is only emptied, so that the
        // walker is never left waiting; those files keep checksum 0.
        if (appState.stopRequested.load(std::memory_order_relaxed) != 0) {
            StoreChecksum(reader.slot, 0);
            continue;
        }
        ShowFile(reader.slot);
        FileDigest digest;
        StoreChecksum(reader.slot, FileChecksum(reader.path, reader.block, ShowSum, &reader.slot, &digest), &digest);
        FileDone(reader.slot);
    }
    return 0;
}

// Whether the drive that holds directory is a rotating disk, where reads in
// parallel would only make the heads seek between files. A drive that does
// not answer (a network drive, or under emulation) counts as not rotating.
bool IncursSeekPenalty(const char* directory)
{
    // A drive's root comes as "C:", which alone means the drive's current
    // folder, on whatever volume that lies: ask of "C:\" instead.
    const bool driveAlone = directory[0] != '\0' && directory[1] == ':' && directory[2] == '\0';
    const char root[] = {directory[0], ':', '\\', '\0'};
    char mountPoint[MAX_PATH];
    char volume[MAX_PATH];
    if (!GetVolumePathNameA(driveAlone ? root : directory, mountPoint, sizeof mountPoint) ||
        !GetVolumeNameForVolumeMountPointA(mountPoint, volume, sizeof volume)) {
        return false;
    }
    // "\\?\Volume{...}\" names the volume's root; without the backslash, the
    // volume itself, which can be asked about its disk.
    size_t length = std::strlen(volume);
    if (length > 0 && volume[length - 1] == '\\') {
        volume[length - 1] = '\0';
    }
    HANDLE device = CreateFileA(volume, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                nullptr);
    if (device == INVALID_HANDLE_VALUE) {
        return false;
    }
    STORAGE_PROPERTY_QUERY query = {};
    query.PropertyId = StorageDeviceSeekPenaltyProperty;
    query.QueryType = PropertyStandardQuery;
    DEVICE_SEEK_PENALTY_DESCRIPTOR answer = {};
    DWORD got = 0;
    BOOL asked = DeviceIoControl(device, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query, &answer,
                                 sizeof answer, &got, nullptr);
    CloseHandle(device);
    return asked && got >= sizeof answer && answer.IncursSeekPenalty;
}

int ReaderCount(const char* directory)
{
    int requested = requestedReaders.load();
    if (requested > 0) {
        return requested < MAX_READERS ? requested : MAX_READERS;
    }
    SYSTEM_INFO system = {};
    GetSystemInfo(&system);
    int processors = static_cast<int>(system.dwNumberOfProcessors);
    if (processors <= 1 || IncursSeekPenalty(directory)) {
        return 1;
    }
    return processors < MAX_READERS ? processors : MAX_READERS;
}

}  // namespace

ChecksumReaders::ChecksumReaders(const char* directory)
{
    if (appState.calculateChecksums.load(std::memory_order_relaxed) == 0) {
        return;
    }
    pool.head = 0;
    pool.count = 0;
    pool.closing = false;
    pool.walkerWaiting = false;
    pool.shownSlot = -1;
    pool.shownDone = false;
    int wanted = ReaderCount(directory);
    for (int i = 0; i < wanted; ++i) {
        HANDLE thread = CreateThread(nullptr, 0, ReadFiles, &pool.readers[pool.readerCount], 0, nullptr);
        if (thread == nullptr) {
            break;  // fewer readers, or none: the walker sums what nobody takes
        }
        pool.readers[pool.readerCount++].thread = thread;
    }
}

ChecksumReaders::~ChecksumReaders()
{
    if (pool.readerCount == 0) {
        return;
    }
    AcquireSRWLockExclusive(&pool.lock);
    pool.closing = true;
    ReleaseSRWLockExclusive(&pool.lock);
    WakeAllConditionVariable(&pool.filled);
    HANDLE threads[MAX_READERS];
    for (int i = 0; i < pool.readerCount; ++i) {
        threads[i] = pool.readers[i].thread;
    }
    WaitForMultipleObjects(static_cast<DWORD>(pool.readerCount), threads, TRUE, INFINITE);
    for (int i = 0; i < pool.readerCount; ++i) {
        CloseHandle(threads[i]);
    }
    pool.readerCount = 0;
}

bool QueueChecksum(int32_t slot, const wchar_t* fullPath)
{
    size_t length = std::wcslen(fullPath);
    if (pool.readerCount == 0 || length >= PATH_CHARS) {
        return false;
    }
    AcquireSRWLockExclusive(&pool.lock);
    while (pool.count == RING_SIZE) {
        pool.walkerWaiting = true;
        SleepConditionVariableSRW(&pool.drained, &pool.lock, INFINITE, 0);
    }
    Pending& next = pool.ring[(pool.head + pool.count) % RING_SIZE];
    next.slot = slot;
    std::wmemcpy(next.path, fullPath, length + 1);
    ++pool.count;
    bool wakeReader = pool.sleepingReaders > 0;
    ReleaseSRWLockExclusive(&pool.lock);
    if (wakeReader) {
        WakeConditionVariable(&pool.filled);
    }
    return true;
}

void SetChecksumReaderCount(int count)
{
    requestedReaders.store(count);
}
