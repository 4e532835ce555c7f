#include "compare/difference_walk.h"

#include <algorithm>
#include <cstring>

#include "model/path_order.h"

namespace {

uint64_t TimeValue(const FileTime& t)
{
    return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

// The first detail in which two records of the same path differ, or 0.
int32_t DetailDifference(const FileRecord& scanRecord, const FileRecord& loadedRecord, ContentCheck content)
{
    const FileDetails& scan = scanRecord.details;
    const FileDetails& loaded = loadedRecord.details;
    if (scan.size != loaded.size) {
        return Size;
    }
    // A stored checksum of 0 means "not summed" (checksums were off, or the
    // file could not be opened), so it never differs; a stored record
    // without a digest is not compared by its digest. A scan checksum of 0,
    // or a missing digest, is a file that could not be read, unless a Stop
    // kept it from being taken.
    const bool taken = scan.reserved != CHECKSUM_NOT_TAKEN;
    if (content != ContentCheck::None && taken && scan.checksum != loaded.checksum && loaded.checksum != 0) {
        return Checksum;
    }
    if (content == ContentCheck::Digests && taken && loadedRecord.hasDigest == 1 &&
        (scanRecord.hasDigest != 1 || std::memcmp(scanRecord.digest, loadedRecord.digest, DIGEST_SIZE) != 0)) {
        return Checksum;
    }
    if (TimeValue(scan.creationTime) != TimeValue(loaded.creationTime)) {
        return CreationTime;
    }
    if (TimeValue(scan.lastWriteTime) != TimeValue(loaded.lastWriteTime)) {
        return ModifyTime;
    }
    if (scan.attributes != loaded.attributes) {
        return Attributes;
    }
    return 0;
}

}  // namespace

void AddDifference(DifferenceTable& table, int32_t kind, int32_t scanIndex, int32_t loadedIndex)
{
    if (table.entryCount >= MAX_DIFFERENCES) {
        table.droppedCount++;
        return;
    }
    DifferenceEntry& entry = table.entries[table.entryCount];
    entry.kind = kind;
    entry.scanIndex = scanIndex;
    entry.loadedIndex = loadedIndex;
    table.entryCount++;
}

int CompareDifferenceKinds(const DifferenceEntry& a, const DifferenceEntry& b)
{
    return a.kind - b.kind;
}

// Two cursors walk the tables in path order. Where the paths differ, the walk
// looks ahead in the signature for the scan path: found further on, the
// current signature record is Missing; not found before a greater path or the
// end of the records, the scan record is Extra.
//
// The look-ahead remembers where it stopped (`ahead`) and for which scan path
// (`aheadScan`): every signature slot strictly between the loaded cursor and
// `ahead` holds a non-empty path that sorts before that scan path. Such a
// slot also sorts before any scan path that does not sort before it, so the
// next look-ahead may start at `ahead` instead of rereading those slots. A
// run of Missing records, or a run of Extra records against one long stretch
// of the signature, thus costs one pass instead of one pass per record, and
// the outcome of every step is the one a fresh look-ahead would give.
void WalkDifferences(const RecordTable& scan, const RecordTable& loaded, ContentCheck content,
                     DifferenceTable& table)
{
    table.entryCount = 0;
    table.droppedCount = 0;

    int s = 0;
    int l = 0;
    int ahead = 0;       // no look-ahead done yet
    int aheadScan = -1;
    while (s < MAX_FILES && l < MAX_FILES) {
        const char* scanPath = scan[s].path;
        if (ComparePathTexts(scanPath, loaded[l].path) == 0) {
            int32_t kind = DetailDifference(scan[s], loaded[l], content);
            if (kind != 0) {
                AddDifference(table, kind, s, l);
            }
            ++s;
            ++l;
            continue;
        }
        if (scanPath[0] == '\0') {
            // The scan has run out of records: the rest of the signature is
            // missing.
            AddDifference(table, Missing, -1, l);
            ++l;
            continue;
        }

        int k = l + 1;
        if (aheadScan >= 0 && ahead > k &&
            (aheadScan == s || ComparePathTexts(scanPath, scan[aheadScan].path) >= 0)) {
            k = ahead;
        }
        int32_t kind = Extra;
        for (;; ++k) {
            const char* aheadPath = k < MAX_FILES ? loaded[k].path : "";
            if (aheadPath[0] == '\0') {
                break;
            }
            int order = ComparePathTexts(scanPath, aheadPath);
            if (order == 0) {
                kind = Missing;
                break;
            }
            if (order < 0) {
                break;
            }
        }
        ahead = k;
        aheadScan = s;
        if (kind == Missing) {
            AddDifference(table, Missing, -1, l);
            ++l;
        } else {
            AddDifference(table, Extra, s, -1);
            ++s;
        }
    }
}

void SortDifferences(DifferenceTable& table)
{
    std::stable_sort(table.entries, table.entries + table.entryCount,
                     [](const DifferenceEntry& a, const DifferenceEntry& b) {
                         return CompareDifferenceKinds(a, b) < 0;
                     });
}

void FindDifferences(const RecordTable& scan, const RecordTable& loaded, ContentCheck content,
                     DifferenceTable& table)
{
    WalkDifferences(scan, loaded, content, table);
    SortDifferences(table);
}
