#include "scan/checksum_pool.h"

#include <windows.h>
#include <winioctl.h>

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
    ChecksumReaders::Pool* pool;
    HANDLE thread;
    int32_t slot;
    wchar_t path[PATH_CHARS];
    unsigned char block[CHECKSUM_BLOCK_SIZE];
};

}  // namespace

// The readers of one Include directory's walk, and the ring they take files from.
struct ChecksumReaders::Pool {
    explicit Pool(ScanContext& scan) : scan(scan) {}
    ScanContext& scan;
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

namespace {

using Pool = ChecksumReaders::Pool;

// Names the file of slot on the panel, with a running sum from 0.
void Show(Pool& pool, int32_t slot)
{
    pool.shownSlot = slot;
    pool.shownDone = false;
    AppState& state = pool.scan.state;
    char path[RECORD_PATH_SIZE];
    state.ScanTable.CopyPath(slot, path);
    state.PublishCurrentFile(path, state.ScanTable.Details(slot));
    state.currentChecksum.store(0, std::memory_order_relaxed);
}

void ShowFile(Pool& pool, int32_t slot)
{
    AcquireSRWLockExclusive(&pool.panelLock);
    if (slot > pool.shownSlot || pool.shownDone) {
        Show(pool, slot);
    }
    ReleaseSRWLockExclusive(&pool.panelLock);
}

void ShowSum(void* context, uint32_t sum)
{
    const Reader& reader = *static_cast<const Reader*>(context);
    const int32_t slot = reader.slot;
    Pool& pool = *reader.pool;
    AcquireSRWLockExclusive(&pool.panelLock);
    if (slot != pool.shownSlot && pool.shownDone) {
        Show(pool, slot);
    }
    if (slot == pool.shownSlot) {
        pool.scan.state.currentChecksum.store(sum, std::memory_order_relaxed);
    }
    ReleaseSRWLockExclusive(&pool.panelLock);
}

void FileDone(Pool& pool, int32_t slot)
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
    Pool& pool = *reader.pool;
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
    ScanContext& scan = reader.pool->scan;
    while (TakeFile(reader)) {
        // After a Stop the rest of the ring is only emptied, so that the
        // walker is never left waiting; those files keep checksum 0.
        if (scan.stop.Requested()) {
            StoreChecksum(scan, reader.slot, 0);
            continue;
        }
        ShowFile(*reader.pool, reader.slot);
        FileDigest digest;
        StoreChecksum(scan, reader.slot, FileChecksum(scan, reader.path, reader.block, ShowSum, &reader, &digest), &digest);
        FileDone(*reader.pool, reader.slot);
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

int ReaderCount(int requested, const char* directory)
{
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

ChecksumReaders::ChecksumReaders(ScanContext& scan, const char* directory)
{
    if (scan.state.calculateChecksums.load(std::memory_order_relaxed) == 0) {
        return;
    }
    pool_.reset(new Pool(scan));
    Pool& pool = *pool_;
    int wanted = ReaderCount(scan.state.checksumReaders, directory);
    for (int i = 0; i < wanted; ++i) {
        Reader& reader = pool.readers[pool.readerCount];
        reader.pool = &pool;
        HANDLE thread = CreateThread(nullptr, 0, ReadFiles, &reader, 0, nullptr);
        if (thread == nullptr) {
            break;  // fewer readers, or none: the walker sums what nobody takes
        }
        pool.readers[pool.readerCount++].thread = thread;
    }
}

ChecksumReaders::~ChecksumReaders()
{
    if (!pool_ || pool_->readerCount == 0) {
        return;
    }
    Pool& pool = *pool_;
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

bool ChecksumReaders::Queue(int32_t slot, const wchar_t* fullPath)
{
    size_t length = std::wcslen(fullPath);
    if (!pool_ || pool_->readerCount == 0 || length >= PATH_CHARS) {
        return false;
    }
    Pool& pool = *pool_;
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
