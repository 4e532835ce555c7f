// A table of file records that grows with the files: the loaded signature or
// the running scan.
//
// A file server holds millions of files, most of them in folders shared with
// many others, so a record keeps no path field of its own: each run of
// records in one folder points at one copy of the folder's text, and each
// record at its own name. Records live in blocks that never move, so that
// the checksum readers can fill records while the walk appends more; texts
// live in blocks of their own. Both kinds of block start small and double
// up to a fixed size, so that a table of a few records takes a few
// kilobytes. Digests are kept only in a table that holds them. Portable: no
// Windows header.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "model/signature.h"

// One record by value, with its whole path: what a caller hands in or takes
// out one at a time. Not how a table stores it.
struct FileRecord {
    char path[RECORD_PATH_SIZE];
    FileDetails details;
    uint8_t hasDigest;
    uint8_t digest[DIGEST_SIZE];
};

// A stored path in two pieces: the folder's text (up to and including its
// last backslash; empty for a path without one) and the name after it. The
// whole path is folder followed by name, at most 299 characters, no NUL.
// Up to 8 bytes past either piece may be read, never used.
struct RecordPath {
    const char* folder;
    const char* name;
    uint16_t folderLength;
    uint16_t nameLength;
};

// Records held per whole block: past the first RECORDS_PER_BLOCK records,
// the granularity of every allocation of records.
constexpr int32_t RECORDS_PER_BLOCK = 4096;

class RecordTable {
public:
    RecordTable() = default;
    ~RecordTable();
    RecordTable(const RecordTable&) = delete;
    RecordTable& operator=(const RecordTable&) = delete;

    // Empties the table and gives back its memory. digests: the records
    // will carry SHA-256 digests. sortable: a scan's table; room for
    // SortRecords is kept in step with the records, so that a table that
    // memory ran out on can still be sorted, and each record can be marked
    // as one whose checksum was never taken.
    void Clear(bool digests = false, bool sortable = false);

    // Makes the table refuse memory past this many bytes, as though the heap
    // had run out there: how tests reach the out-of-memory paths. 0, as
    // made, lifts the limit. Kept by Clear.
    void SetMemoryLimit(size_t bytes) { memoryLimit_ = bytes; }

    // Takes other's records (and leaves other empty), freeing its own.
    void TakeFrom(RecordTable& other);

    int32_t Count() const { return count_; }
    bool HoldsDigests() const { return digests_; }

    // Appends a record of the path's first length bytes (1 to 299, no NUL
    // among them) with no digest, and returns its index. Throws
    // std::bad_alloc, leaving the table as it was, when memory runs out.
    int32_t Append(const char* path, size_t length, const FileDetails& details);
    // The same for a whole record; its digest is kept when the table holds
    // digests.
    int32_t Append(const FileRecord& record);

    RecordPath Path(int32_t index) const
    {
        const Entry& entry = At(index);
        return {Text(entry.folder), Text(entry.name), entry.folderLength, entry.nameLength};
    }
    // The whole path and its NUL into out (RECORD_PATH_SIZE bytes); returns
    // its length.
    size_t CopyPath(int32_t index, char* out) const;
    FileDetails& Details(int32_t index) { return At(index).details; }
    const FileDetails& Details(int32_t index) const { return At(index).details; }
    bool HasDigest(int32_t index) const;
    // DIGEST_SIZE bytes; zeros where the record has none.
    const uint8_t* Digest(int32_t index) const;
    // nullptr: the record has no digest. Ignored in a table without digests.
    void SetDigest(int32_t index, const uint8_t* digest);
    FileRecord Get(int32_t index) const;

    // A scan's mark of a record whose checksum it never took, because a Stop
    // came first: its 0 then says nothing of the file. Only a sortable
    // table keeps marks (a new record has none); elsewhere there is none.
    void MarkChecksumNotTaken(int32_t index, bool notTaken);
    bool ChecksumNotTaken(int32_t index) const
    {
        const Place place = PlaceOf(index);
        return marks_[place.block] != nullptr && marks_[place.block][place.offset] != 0;
    }

    // Room for sorting Count() records: order and keys, at least Count()
    // long each. From the sortable table's own room, else freshly allocated
    // (which may throw std::bad_alloc).
    void SortRoom(int32_t** order, uint64_t** keys);
    // Moves record order[i] to index i for every i. order is a permutation
    // of 0 to Count() - 1; it is used up.
    void Permute(int32_t* order);
    // Frees the sort room: a signature is never sorted again.
    void DropSortRoom();

    // Bytes this table holds from the heap.
    size_t MemoryUsed() const { return memoryUsed_; }

private:
    // Texts are named by their text block and offset in 32 bits, so that a
    // record takes as little room in the 64-bit build as in the 32-bit one.
    struct Entry {
        FileDetails details;
        uint32_t folder;
        uint32_t name;
        uint16_t folderLength;
        uint16_t nameLength;
    };
    static_assert(sizeof(Entry) == 48, "a record takes 48 bytes in the 32-bit and the 64-bit build");
    struct DigestSlot {
        uint8_t has;
        uint8_t bytes[DIGEST_SIZE];
    };

    // The first RECORDS_PER_BLOCK records fill blocks 0 to SMALL_BLOCKS - 1
    // of 64, 64, 128, ... 2,048 records; record i past them is at
    // i % RECORDS_PER_BLOCK in block i / RECORDS_PER_BLOCK + SMALL_BLOCKS - 1.
    // So a large table finds a record as fast as with whole blocks only.
    static constexpr int RECORD_BLOCK_BITS = 12;
    static constexpr int FIRST_BLOCK_BITS = 6;
    static constexpr int32_t FIRST_BLOCK_RECORDS = 1 << FIRST_BLOCK_BITS;
    static constexpr int SMALL_BLOCKS = RECORD_BLOCK_BITS - FIRST_BLOCK_BITS + 1;
    static constexpr int MAX_RECORD_BLOCKS =
        SMALL_BLOCKS - 1 + (MAX_FILES + RECORDS_PER_BLOCK - 1) / RECORDS_PER_BLOCK;
    static_assert(RECORDS_PER_BLOCK == 1 << RECORD_BLOCK_BITS, "a whole block is a power of two");
    struct Place {
        uint32_t block;
        uint32_t offset;
    };
    static Place PlaceOf(int32_t index)
    {
        const uint32_t i = static_cast<uint32_t>(index);
        if (i >= static_cast<uint32_t>(RECORDS_PER_BLOCK)) {
            return {(i >> RECORD_BLOCK_BITS) + SMALL_BLOCKS - 1, i & (RECORDS_PER_BLOCK - 1)};
        }
        const uint32_t high = i >> FIRST_BLOCK_BITS;
        if (high == 0) {
            return {0, i};
        }
        const uint32_t block = 32 - static_cast<uint32_t>(__builtin_clz(high));  // block b >= 1 starts at 32 << b
        return {block, i - (1u << (block + FIRST_BLOCK_BITS - 1))};
    }
    static size_t BlockRecords(int block)
    {
        return block == 0              ? FIRST_BLOCK_RECORDS
               : block < SMALL_BLOCKS ? FIRST_BLOCK_RECORDS << (block - 1)
                                      : RECORDS_PER_BLOCK;
    }

    // A text is named by its block's number and its offset there. Text
    // blocks double from 4 KiB to 256 KiB; a small block leaves the top of
    // its offsets unused.
    static constexpr int TEXT_BLOCK_BITS = 18;  // 256 KiB a block
    static constexpr int FIRST_TEXT_BLOCK_BITS = 12;
    static constexpr uint32_t MAX_TEXT_BLOCKS = 1u << (32 - TEXT_BLOCK_BITS);
    static constexpr uint32_t FIRST_TEXT_ARRAY = 8;
    static size_t TextBlockSize(uint32_t block)
    {
        return size_t{1} << std::min<uint32_t>(FIRST_TEXT_BLOCK_BITS + block, TEXT_BLOCK_BITS);
    }

    Entry& At(int32_t index) const
    {
        const Place place = PlaceOf(index);
        return blocks_[place.block][place.offset];
    }
    DigestSlot& DigestAt(int32_t index) const
    {
        const Place place = PlaceOf(index);
        return digestBlocks_[place.block][place.offset];
    }
    const char* Text(uint32_t ref) const
    {
        return textBlocks_[ref >> TEXT_BLOCK_BITS] + (ref & ((1u << TEXT_BLOCK_BITS) - 1));
    }
    uint32_t StoreText(const char* text, size_t length);
    void GrowTextArray();
    void* Take(size_t size);
    void Give(void* block, size_t size);
    void EnsureSortRoom();
    void AllocateSortRoom(int32_t capacity);

    int32_t count_ = 0;
    bool digests_ = false;
    bool sortable_ = false;
    Entry* blocks_[MAX_RECORD_BLOCKS] = {};
    DigestSlot* digestBlocks_[MAX_RECORD_BLOCKS] = {};
    uint8_t* marks_[MAX_RECORD_BLOCKS] = {};

    // Texts: the array of every text block's pointer and its room (a scan's
    // never moves: see GrowTextArray), how many blocks are in use and how
    // much of the last.
    std::unique_ptr<char*[]> textBlocks_;
    uint32_t textArraySize_ = 0;
    uint32_t textBlockCount_ = 0;
    size_t textUsed_ = 0;
    uint32_t lastFolder_ = 0;
    int32_t lastFolderLength_ = -1;  // none yet

    int32_t* sortOrder_ = nullptr;
    uint64_t* sortKeys_ = nullptr;
    int32_t sortCapacity_ = 0;

    size_t memoryUsed_ = 0;
    size_t memoryLimit_ = 0;
};
