#include "model/record_table.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace {

// A text block ends in slack that no text uses, so that reading 8 bytes
// from anywhere in a text stays inside the block.
constexpr size_t TEXT_SLACK = 8;

}  // namespace

RecordTable::~RecordTable()
{
    Clear();
}

void* RecordTable::Take(size_t size)
{
    if (memoryLimit_ != 0 && memoryUsed_ + size > memoryLimit_) {
        throw std::bad_alloc();
    }
    // Not cleared: every byte is written before it is used, and the bytes a
    // sort reads past a text's end are masked off.
    void* block = ::operator new(size);
    memoryUsed_ += size;
    return block;
}

void RecordTable::Give(void* block, size_t size)
{
    if (block == nullptr) {
        return;
    }
    ::operator delete(block);
    memoryUsed_ -= size;
}

void RecordTable::Clear(bool digests, bool sortable)
{
    for (int b = 0; b < MAX_RECORD_BLOCKS && blocks_[b] != nullptr; ++b) {
        const size_t records = BlockRecords(b);
        Give(blocks_[b], sizeof(Entry) * records);
        blocks_[b] = nullptr;
        Give(digestBlocks_[b], sizeof(DigestSlot) * records);
        digestBlocks_[b] = nullptr;
        Give(marks_[b], records);
        marks_[b] = nullptr;
    }
    for (uint32_t b = 0; b < textBlockCount_; ++b) {
        Give(textBlocks_[b], TextBlockSize(b));
    }
    textBlocks_.reset();
    textArraySize_ = 0;
    textBlockCount_ = 0;
    textUsed_ = 0;
    lastFolder_ = 0;
    lastFolderLength_ = -1;
    DropSortRoom();
    count_ = 0;
    digests_ = digests;
    sortable_ = sortable;
}

void RecordTable::TakeFrom(RecordTable& other)
{
    if (&other == this) {
        return;
    }
    Clear();
    std::swap(count_, other.count_);
    std::swap(digests_, other.digests_);
    std::swap(sortable_, other.sortable_);
    std::swap(blocks_, other.blocks_);
    std::swap(digestBlocks_, other.digestBlocks_);
    std::swap(marks_, other.marks_);
    std::swap(textBlocks_, other.textBlocks_);
    std::swap(textArraySize_, other.textArraySize_);
    std::swap(textBlockCount_, other.textBlockCount_);
    std::swap(textUsed_, other.textUsed_);
    std::swap(lastFolder_, other.lastFolder_);
    std::swap(lastFolderLength_, other.lastFolderLength_);
    std::swap(sortOrder_, other.sortOrder_);
    std::swap(sortKeys_, other.sortKeys_);
    std::swap(sortCapacity_, other.sortCapacity_);
    std::swap(memoryUsed_, other.memoryUsed_);
}

uint32_t RecordTable::StoreText(const char* text, size_t length)
{
    if (textBlockCount_ == 0 || textUsed_ + length + TEXT_SLACK > TextBlockSize(textBlockCount_ - 1)) {
        if (textBlockCount_ == MAX_TEXT_BLOCKS) {
            throw std::bad_alloc();  // 4 GB of texts: never, within MAX_FILES paths
        }
        if (textBlockCount_ == textArraySize_) {
            GrowTextArray();
        }
        textBlocks_[textBlockCount_] = static_cast<char*>(Take(TextBlockSize(textBlockCount_)));
        ++textBlockCount_;
        textUsed_ = 0;
    }
    const uint32_t ref = ((textBlockCount_ - 1) << TEXT_BLOCK_BITS) | static_cast<uint32_t>(textUsed_);
    std::memcpy(textBlocks_[textBlockCount_ - 1] + textUsed_, text, length);
    textUsed_ += length;
    return ref;
}

// A scan's (sortable) table is read by the checksum readers while the walk
// adds blocks, so its array of text block pointers is made whole before its
// first text and never moves. Any other table is filled by one thread alone;
// its array doubles as its blocks come. Neither is counted in MemoryUsed.
void RecordTable::GrowTextArray()
{
    const uint32_t size = sortable_ ? MAX_TEXT_BLOCKS : std::max(2 * textArraySize_, FIRST_TEXT_ARRAY);
    std::unique_ptr<char*[]> grown(new char*[size]);
    std::copy_n(textBlocks_.get(), textBlockCount_, grown.get());
    textBlocks_ = std::move(grown);
    textArraySize_ = size;
}

// The sort works on two arrays as long as the table. A sortable table grows
// them before each record that would not fit: doubling up to a whole block
// of records, then a sixteenth at a time. Their contents need no keeping, so
// the old arrays go before the new ones come: the arrays never take twice
// their room. Should memory run out there, the arrays of the old size come
// back (their room was just freed) and the record is refused, so that the
// table can still sort every record it has.
void RecordTable::EnsureSortRoom()
{
    if (!sortable_ || count_ < sortCapacity_) {
        return;
    }
    const int32_t old = sortCapacity_;
    DropSortRoom();
    try {
        const int32_t grown = old < RECORDS_PER_BLOCK ? std::max(2 * old, FIRST_BLOCK_RECORDS)
                                                      : old + std::max(old / 16, RECORDS_PER_BLOCK);
        AllocateSortRoom(std::min(MAX_FILES, grown));
    } catch (const std::bad_alloc&) {
        AllocateSortRoom(old);
        throw;
    }
}

void RecordTable::AllocateSortRoom(int32_t capacity)
{
    if (capacity == 0) {
        return;
    }
    sortOrder_ = static_cast<int32_t*>(Take(sizeof(int32_t) * static_cast<size_t>(capacity)));
    try {
        sortKeys_ = static_cast<uint64_t*>(Take(sizeof(uint64_t) * static_cast<size_t>(capacity)));
    } catch (const std::bad_alloc&) {
        Give(sortOrder_, sizeof(int32_t) * static_cast<size_t>(capacity));
        sortOrder_ = nullptr;
        throw;
    }
    sortCapacity_ = capacity;
}

void RecordTable::DropSortRoom()
{
    Give(sortOrder_, sizeof(int32_t) * static_cast<size_t>(sortCapacity_));
    Give(sortKeys_, sizeof(uint64_t) * static_cast<size_t>(sortCapacity_));
    sortOrder_ = nullptr;
    sortKeys_ = nullptr;
    sortCapacity_ = 0;
}

void RecordTable::SortRoom(int32_t** order, uint64_t** keys)
{
    if (sortCapacity_ < count_) {
        DropSortRoom();
        AllocateSortRoom(count_);
    }
    *order = sortOrder_;
    *keys = sortKeys_;
}

int32_t RecordTable::Append(const char* path, size_t length, const FileDetails& details)
{
    if (count_ >= MAX_FILES) {
        throw std::bad_alloc();  // never reached: every caller stops at its limit first
    }
    length = std::min(length, static_cast<size_t>(RECORD_PATH_SIZE - 1));
    EnsureSortRoom();
    const uint32_t block = PlaceOf(count_).block;
    const size_t records = BlockRecords(static_cast<int>(block));
    if (blocks_[block] == nullptr) {
        blocks_[block] = static_cast<Entry*>(Take(sizeof(Entry) * records));
    }
    if (digests_ && digestBlocks_[block] == nullptr) {
        digestBlocks_[block] = static_cast<DigestSlot*>(Take(sizeof(DigestSlot) * records));
    }
    if (sortable_ && marks_[block] == nullptr) {
        marks_[block] = static_cast<uint8_t*>(Take(records));
    }

    // The folder is the text up to the last backslash; consecutive records
    // of one folder share one copy of it.
    size_t folderLength = length;
    while (folderLength > 0 && path[folderLength - 1] != '\\') {
        --folderLength;
    }
    uint32_t folder = lastFolder_;
    if (static_cast<int32_t>(folderLength) != lastFolderLength_ ||
        std::memcmp(Text(folder), path, folderLength) != 0) {
        folder = StoreText(path, folderLength);
    }
    // Stored even when empty, so that the name always points into a block.
    const uint32_t name = StoreText(path + folderLength, length - folderLength);
    lastFolder_ = folder;
    lastFolderLength_ = static_cast<int32_t>(folderLength);

    Entry& entry = At(count_);
    entry.details = details;
    entry.folder = folder;
    entry.name = name;
    entry.folderLength = static_cast<uint16_t>(folderLength);
    entry.nameLength = static_cast<uint16_t>(length - folderLength);
    if (digests_) {
        SetDigest(count_, nullptr);
    }
    MarkChecksumNotTaken(count_, false);
    return count_++;
}

int32_t RecordTable::Append(const FileRecord& record)
{
    int32_t index = Append(record.path, strnlen(record.path, RECORD_PATH_SIZE - 1), record.details);
    SetDigest(index, record.hasDigest == 1 ? record.digest : nullptr);
    return index;
}

size_t RecordTable::CopyPath(int32_t index, char* out) const
{
    const Entry& entry = At(index);
    std::memcpy(out, Text(entry.folder), entry.folderLength);
    std::memcpy(out + entry.folderLength, Text(entry.name), entry.nameLength);
    size_t length = entry.folderLength + entry.nameLength;
    out[length] = '\0';
    return length;
}

bool RecordTable::HasDigest(int32_t index) const
{
    return digests_ && DigestAt(index).has == 1;
}

const uint8_t* RecordTable::Digest(int32_t index) const
{
    static const uint8_t NONE[DIGEST_SIZE] = {};
    return digests_ ? DigestAt(index).bytes : NONE;
}

void RecordTable::SetDigest(int32_t index, const uint8_t* digest)
{
    if (!digests_) {
        return;
    }
    DigestSlot& slot = DigestAt(index);
    slot.has = digest != nullptr ? 1 : 0;
    if (digest != nullptr) {
        std::memcpy(slot.bytes, digest, DIGEST_SIZE);
    } else {
        std::memset(slot.bytes, 0, DIGEST_SIZE);
    }
}

void RecordTable::MarkChecksumNotTaken(int32_t index, bool notTaken)
{
    const Place place = PlaceOf(index);
    if (marks_[place.block] != nullptr) {
        marks_[place.block][place.offset] = notTaken ? 1 : 0;
    }
}

FileRecord RecordTable::Get(int32_t index) const
{
    FileRecord record = {};
    CopyPath(index, record.path);
    record.details = Details(index);
    record.hasDigest = HasDigest(index) ? 1 : 0;
    std::memcpy(record.digest, Digest(index), DIGEST_SIZE);
    return record;
}

// Along each cycle of the permutation, with one spare record per cycle.
// Each index is placed once, for its entry, digest and mark alike.
void RecordTable::Permute(int32_t* order)
{
    for (int32_t start = 0; start < count_; ++start) {
        if (order[start] == start) {
            continue;
        }
        Place to = PlaceOf(start);
        const Entry spare = blocks_[to.block][to.offset];
        const DigestSlot spareDigest = digests_ ? digestBlocks_[to.block][to.offset] : DigestSlot{};
        const uint8_t spareMark = marks_[to.block] != nullptr ? marks_[to.block][to.offset] : 0;
        for (int32_t index = start;;) {
            const int32_t from = order[index];
            order[index] = index;  // placed
            uint8_t* const marks = marks_[to.block];
            if (from == start) {
                blocks_[to.block][to.offset] = spare;
                if (digests_) digestBlocks_[to.block][to.offset] = spareDigest;
                if (marks != nullptr) marks[to.offset] = spareMark;
                break;
            }
            const Place next = PlaceOf(from);
            blocks_[to.block][to.offset] = blocks_[next.block][next.offset];
            if (digests_) digestBlocks_[to.block][to.offset] = digestBlocks_[next.block][next.offset];
            if (marks != nullptr) marks[to.offset] = ChecksumNotTaken(from) ? 1 : 0;
            index = from;
            to = next;
        }
    }
}
