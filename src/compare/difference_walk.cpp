#include "compare/difference_walk.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "model/path_order.h"

namespace {

// The first detail in which two records of the same path differ, or 0, in
// the order the report ranks them.
int32_t DetailDifference(const RecordTable& scan, int32_t s, const RecordTable& loaded, int32_t l, ContentCheck content)
{
    const uint32_t changed = ChangedFields(scan, s, loaded, l, content);
    if (changed & CHANGED_SIZE) return Size;
    if (changed & (CHANGED_CHECKSUM | CHANGED_SHA256)) return Checksum;
    if (changed & CHANGED_CREATED) return CreationTime;
    if (changed & CHANGED_LAST_WRITE) return ModifyTime;
    return (changed & CHANGED_ATTRIBUTES) ? Attributes : 0;
}

void RecordEntry(void* context, int32_t kind, int32_t scanIndex, int32_t loadedIndex)
{
    DifferenceTable& table = *static_cast<DifferenceTable*>(context);
    if (kind == Unchecked) {
        ++table.uncheckedCount;
    } else {
        AddDifference(table, kind, scanIndex, loadedIndex);
    }
}

// Hands a signature record the scan did not find on as Missing, or as
// Unchecked where the judge says the scan could not look for it.
struct Visit {
    DifferenceVisitor visit;
    void* context;
    MissingJudge* judge;
    const RecordTable& loaded;

    void operator()(int32_t kind, int32_t s, int32_t l) const
    {
        if (kind == Missing && judge != nullptr && !judge->LookedFor(loaded, l)) kind = Unchecked;
        visit(context, kind, s, l);
    }
};

// Whether two paths are spelt byte for byte alike. The folder piece ends at
// the last backslash, so alike paths split alike.
bool SameBytes(const RecordPath& a, const RecordPath& b)
{
    return a.folderLength == b.folderLength && a.nameLength == b.nameLength &&
           std::memcmp(a.name, b.name, a.nameLength) == 0 &&
           (a.folder == b.folder || std::memcmp(a.folder, b.folder, a.folderLength) == 0);
}

// Records whose paths are equal up to letter case: on a case-sensitive
// folder (or a share) they are different files. Those spelt byte for byte
// alike are paired first, in order; the rest pair in order, a change of
// letter case being the same file; whatever is left is Extra or Missing.
// Returns after the two runs.
void PairRuns(const RecordTable& scan, int32_t& s, const RecordTable& loaded, int32_t& l, ContentCheck content,
              const Visit& visit)
{
    const RecordPath first = scan.Path(s);
    int32_t scanEnd = s + 1, loadedEnd = l + 1;
    while (scanEnd < scan.Count() && ComparePaths(scan.Path(scanEnd), first) == 0) ++scanEnd;
    while (loadedEnd < loaded.Count() && ComparePaths(loaded.Path(loadedEnd), first) == 0) ++loadedEnd;
    std::vector<int32_t> partner(static_cast<size_t>(scanEnd - s), -1);
    std::vector<bool> taken(static_cast<size_t>(loadedEnd - l), false);
    for (int pass = 0; pass < 2; ++pass) {
        for (int32_t i = s; i < scanEnd; ++i) {
            for (int32_t k = l; k < loadedEnd && partner[i - s] < 0; ++k) {
                if (!taken[k - l] && (pass == 1 || SameBytes(scan.Path(i), loaded.Path(k)))) {
                    partner[i - s] = k;
                    taken[k - l] = true;
                }
            }
        }
    }
    for (int32_t i = s; i < scanEnd; ++i) {
        const int32_t k = partner[i - s];
        if (k < 0) {
            visit(Extra, i, -1);
        } else if (int32_t kind = DetailDifference(scan, i, loaded, k, content)) {
            visit(kind, i, k);
        }
    }
    for (int32_t k = l; k < loadedEnd; ++k) {
        if (!taken[k - l]) visit(Missing, -1, k);
    }
    s = scanEnd;
    l = loadedEnd;
}

}  // namespace

uint32_t ChangedFields(const RecordTable& scanTable, int32_t s, const RecordTable& loadedTable, int32_t l,
                       ContentCheck content)
{
    const FileDetails& scan = scanTable.Details(s);
    const FileDetails& loaded = loadedTable.Details(l);
    uint32_t changed = 0;
    if (scan.size != loaded.size) changed |= CHANGED_SIZE;
    if (scan.attributes != loaded.attributes) changed |= CHANGED_ATTRIBUTES;
    if (Ticks(scan.creationTime) != Ticks(loaded.creationTime)) changed |= CHANGED_CREATED;
    if (Ticks(scan.lastWriteTime) != Ticks(loaded.lastWriteTime)) changed |= CHANGED_LAST_WRITE;
    // A stored checksum of 0 means "not summed" (checksums were off, or the
    // file could not be opened), so it never differs; a stored record
    // without a digest is not compared by its digest. A scan checksum of 0,
    // or a missing digest, is a file that could not be read, unless a Stop
    // kept it from being taken.
    const bool taken = !scanTable.ChecksumNotTaken(s);
    if (content != ContentCheck::None && taken && scan.checksum != loaded.checksum && loaded.checksum != 0) {
        changed |= CHANGED_CHECKSUM;
    }
    if (content == ContentCheck::Digests && taken && loadedTable.HasDigest(l) &&
        (!scanTable.HasDigest(s) || std::memcmp(scanTable.Digest(s), loadedTable.Digest(l), DIGEST_SIZE) != 0)) {
        changed |= CHANGED_SHA256;
    }
    return changed;
}

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
void VisitDifferences(const RecordTable& scan, const RecordTable& loaded, ContentCheck content,
                      DifferenceVisitor visitor, void* context, MissingJudge* judge)
{
    const Visit visit = {visitor, context, judge, loaded};
    const int32_t scanCount = scan.Count();
    const int32_t loadedCount = loaded.Count();
    int32_t s = 0;
    int32_t l = 0;
    int32_t ahead = 0;  // no look-ahead done yet
    int32_t aheadScan = -1;
    while (s < scanCount && l < loadedCount) {
        const RecordPath scanPath = scan.Path(s);
        const RecordPath loadedPath = loaded.Path(l);
        if (ComparePaths(scanPath, loadedPath) == 0) {
            if (!SameBytes(scanPath, loadedPath)) {
                PairRuns(scan, s, loaded, l, content, visit);
                continue;
            }
            int32_t kind = DetailDifference(scan, s, loaded, l, content);
            if (kind != 0) {
                visit(kind, s, l);
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
            visit(Missing, -1, l);
            ++l;
        } else {
            visit(Extra, s, -1);
            ++s;
        }
    }
    for (; l < loadedCount; ++l) {
        visit(Missing, -1, l);
    }
    for (; s < scanCount; ++s) {
        visit(Extra, s, -1);
    }
}

void WalkDifferences(const RecordTable& scan, const RecordTable& loaded, ContentCheck content,
                     DifferenceTable& table, MissingJudge* judge)
{
    table.entryCount = 0;
    table.droppedCount = 0;
    table.uncheckedCount = 0;
    VisitDifferences(scan, loaded, content, RecordEntry, &table, judge);
}

void SortDifferences(DifferenceTable& table)
{
    std::stable_sort(table.entries, table.entries + table.entryCount,
                     [](const DifferenceEntry& a, const DifferenceEntry& b) {
                         return CompareDifferenceKinds(a, b) < 0;
                     });
}

void FindDifferences(const RecordTable& scan, const RecordTable& loaded, ContentCheck content,
                     DifferenceTable& table, MissingJudge* judge)
{
    WalkDifferences(scan, loaded, content, table, judge);
    SortDifferences(table);
}
