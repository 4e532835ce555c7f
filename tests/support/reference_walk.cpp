#include "support/reference_walk.h"

#include "scan/path_order.h"

namespace {

void Record(DifferenceTable& table, int32_t kind, int32_t scanIndex, int32_t loadedIndex)
{
    if (table.entryCount < MAX_DIFFERENCES) {
        table.entries[table.entryCount++] = {kind, scanIndex, loadedIndex};
    } else {
        table.droppedCount++;
    }
}

int32_t Details(const FileDetails& a, const FileDetails& b, bool checksums)
{
    if (static_cast<uint32_t>(a.size >> 32) != static_cast<uint32_t>(b.size >> 32) ||
        static_cast<uint32_t>(a.size) != static_cast<uint32_t>(b.size)) {
        return Size;
    }
    if (checksums && a.checksum != b.checksum && b.checksum != 0) return Checksum;
    if (a.creationTime.dwHighDateTime != b.creationTime.dwHighDateTime ||
        a.creationTime.dwLowDateTime != b.creationTime.dwLowDateTime) {
        return CreationTime;
    }
    if (a.lastWriteTime.dwHighDateTime != b.lastWriteTime.dwHighDateTime ||
        a.lastWriteTime.dwLowDateTime != b.lastWriteTime.dwLowDateTime) {
        return ModifyTime;
    }
    if (a.attributes != b.attributes) return Attributes;
    return 0;
}

}  // namespace

void ReferenceWalk(const RecordTable& scan, const RecordTable& loaded, bool checksums,
                   DifferenceTable& table)
{
    table.entryCount = 0;
    table.droppedCount = 0;
    int s = 0;
    int l = 0;
    while (s < MAX_FILES && l < MAX_FILES) {
        const char* S = scan[s].path;
        if (ComparePathTexts(S, loaded[l].path) == 0) {
            int32_t kind = Details(scan[s].details, loaded[l].details, checksums);
            if (kind != 0) Record(table, kind, s, l);
            ++s;
            ++l;
            continue;
        }
        for (int k = l + 1;; ++k) {
            const char* K = k < MAX_FILES ? loaded[k].path : "";
            if (ComparePathTexts(S, K) == 0 || S[0] == '\0') {
                Record(table, Missing, -1, l);
                ++l;
                break;
            }
            if (ComparePathTexts(S, K) < 0 || K[0] == '\0') {
                Record(table, Extra, s, -1);
                ++s;
                break;
            }
        }
    }
}
