#pragma once

#include <cstdint>
#include <memory>

struct ScanContext;

// While a walk with checksums runs, a few reader threads sum the captured
// files: opening and reading files one after another leaves the disk and
// the system idle between requests. Each reader has one block buffer of its
// own and writes each checksum into its file's own ScanTable slot. The
// walker hands files over through a fixed ring and waits while it is full.
//
// The readers of one walk. Created around the walk of one Include directory:
// it starts the readers when checksums are on (none otherwise), and its end
// waits for the last checksum and for every reader to have ended, so that
// the table can then be sorted. After a Stop the readers skip the files they
// have not begun, which keep checksum 0, as do the files they were summing.
//
// How many readers a walk starts: the scan state's checksumReaders, or
// when that is 0 one per processor, at most 8; one on a drive that reports
// a seek penalty.
class ChecksumReaders {
public:
    ChecksumReaders(ScanContext& scan, const char* directory);
    ~ChecksumReaders();
    ChecksumReaders(const ChecksumReaders&) = delete;
    ChecksumReaders& operator=(const ChecksumReaders&) = delete;

    // Hands the file of ScanTable slot over to the readers. Returns false
    // when no reader runs or the path does not fit the ring: the caller then
    // sums the file itself. The reader that takes the file publishes it as
    // the current file, so that the panel names the file whose running sum
    // it shows.
    bool Queue(int32_t slot, const wchar_t* fullPath);

    struct Pool;

private:
    std::unique_ptr<Pool> pool_;
};
