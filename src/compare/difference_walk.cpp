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
int32_t DetailDifference(const RecordTable& scanTable, int32_t s, const RecordTable& loadedTable, int32_t l,
                         ContentCheck content)
{
    const FileDetails& scan = scanTable.Details(s);
    const FileDetails& loaded = loadedTable.Details(l);
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
    if (content == ContentCheck::Digests && taken && loadedTable.HasDigest(l) &&
        (!scanTable.HasDigest(s) || std::memcmp(scanTable.Digest(s), loadedTable.Digest(l), DIGEST_SIZE) != 0)) {
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
// end of the records, the scan record is Extra. Once one table has run out,
// every record left in the other is Missing or Extra.
//
// The look-ahead remembers where it stopped (`ahead`) and for which scan path
// (`aheadScan`): every signature record strictly between the loaded cursor
// and `ahead` sorts before that scan path. Such a record also sorts before
// any scan path that does not sort before it, so the next look-ahead may
// start at `ahead` instead of rereading those records. A run of Missing
// records, or a run of Extra records against one long stretch of the
// signature, thus costs one pass instead of one pass per record, and the
// outcome of every step is the one a fresh look-ahead would give.
void WalkDifferences(const RecordTable& scan, const RecordTable& loaded, ContentCheck content,
                     DifferenceTable& table)
{
    table.entryCount = 0;
    table.droppedCount = 0;

    const int32_t scanCount = scan.Count();
    const int32_t loadedCount = loaded.Count();
    int32_t s = 0;
    int32_t l = 0;
    int32_t ahead = 0;  // no look-ahead done yet
    int32_t aheadScan = -1;
    while (s < scanCount && l < loadedCount) {
        const RecordPath scanPath = scan.Path(s);
        if (ComparePaths(scanPath, loaded.Path(l)) == 0) {
            int32_t kind = DetailDifference(scan, s, loaded, l, content);
            if (kind != 0) {
                AddDifference(table, kind, s, l);
            }
            ++s;
            ++l;
            continue;
        }

        int32_t k = l + 1;
        if (aheadScan >= 0 && ahead > k &&
            (aheadScan == s || ComparePaths(scanPath, scan.Path(aheadScan)) >= 0)) {
            k = ahead;
        }
        int32_t kind = Extra;
        for (; k < loadedCount; ++k) {
            int order = ComparePaths(scanPath, loaded.Path(k));
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
    for (; l < loadedCount; ++l) {
        AddDifference(table, Missing, -1, l);
    }
    for (; s < scanCount; ++s) {
        AddDifference(table, Extra, s, -1);
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
