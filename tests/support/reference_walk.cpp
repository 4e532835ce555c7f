#include "support/reference_walk.h"

#include <cstring>

#include "model/path_order.h"

namespace {

void Record(DifferenceTable& table, int32_t kind, int32_t scanIndex, int32_t loadedIndex)
{
    if (table.entryCount == MAX_DIFFERENCES) table.droppedCount++;
    else table.entries[table.entryCount++] = {kind, scanIndex, loadedIndex};
}

bool Same(const FileTime& a, const FileTime& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

int32_t Details(const FileRecord& s, const FileRecord& l, ContentCheck content)
{
    const FileDetails &a = s.details, &b = l.details;
    bool stopped = a.reserved == NOT_TAKEN, sums = content != ContentCheck::None;
    if (a.size != b.size) return Size;
    if (sums && !stopped && a.checksum != b.checksum && b.checksum != 0) return Checksum;
    bool digestLost = s.hasDigest != 1 || std::memcmp(s.digest, l.digest, DIGEST_SIZE) != 0;
    if (content == ContentCheck::Digests && !stopped && l.hasDigest == 1 && digestLost) return Checksum;
    if (!Same(a.creationTime, b.creationTime)) return CreationTime;
    if (!Same(a.lastWriteTime, b.lastWriteTime)) return ModifyTime;
    return a.attributes != b.attributes ? Attributes : 0;
}

}  // namespace

void ReferenceWalk(const std::vector<FileRecord>& scan, const std::vector<FileRecord>& loaded, ContentCheck content,
                   DifferenceTable& table)
{
    table.entryCount = table.droppedCount = 0;
    const int32_t S = static_cast<int32_t>(scan.size()), L = static_cast<int32_t>(loaded.size());
    int32_t s = 0, l = 0;
    while (s < S || l < L) {
        if (s == S || l == L) {
            s == S ? Record(table, Missing, -1, l++) : Record(table, Extra, s++, -1);
            continue;
        }
        const char* P = scan[s].path;
        if (std::strcmp(P, loaded[l].path) == 0) {
            if (int32_t kind = Details(scan[s], loaded[l], content)) Record(table, kind, s, l);
            ++s, ++l;
            continue;
        }
        if (ComparePathTexts(P, loaded[l].path) == 0) {
            // Whole runs of paths equal up to case: the alike spelt pair first, then the rest in order.
            int32_t s2 = s, l2 = l;
            while (s2 < S && ComparePathTexts(P, scan[s2].path) == 0) ++s2;
            while (l2 < L && ComparePathTexts(P, loaded[l2].path) == 0) ++l2;
            std::vector<int32_t> partner(S, -1);
            std::vector<bool> taken(L, false);
            for (bool exact : {true, false})
                for (int32_t i = s; i < s2; ++i)
                    for (int32_t k = l; k < l2 && partner[i] < 0; ++k)
                        if (!taken[k] && (!exact || std::strcmp(scan[i].path, loaded[k].path) == 0)) partner[i] = k, taken[k] = true;
            for (int32_t i = s; i < s2; ++i) {
                if (partner[i] < 0) Record(table, Extra, i, -1);
                else if (int32_t kind = Details(scan[i], loaded[partner[i]], content)) Record(table, kind, i, partner[i]);
            }
            for (int32_t k = l; k < l2; ++k) if (!taken[k]) Record(table, Missing, -1, k);
            s = s2, l = l2;
            continue;
        }
        for (int32_t k = l + 1;; ++k) {
            if (k < L && ComparePathTexts(P, loaded[k].path) == 0) {
                Record(table, Missing, -1, l++);
                break;
            }
            if (k == L || ComparePathTexts(P, loaded[k].path) < 0) {
                Record(table, Extra, s++, -1);
                break;
            }
        }
    }
}

void FillTable(RecordTable& table, const std::vector<FileRecord>& records)
{
    table.Clear(true, true);
    for (const FileRecord& record : records) table.MarkChecksumNotTaken(table.Append(record), record.details.reserved == NOT_TAKEN);
}
