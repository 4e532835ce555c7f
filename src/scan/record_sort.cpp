#include "scan/record_sort.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "scan/path_order.h"

namespace {

// Where each record goes: order[i] is the slot whose record belongs at i.
int32_t order[MAX_FILES];

}  // namespace

// A record is 336 bytes, so the sort works on indexes and then moves each
// record once along the cycles of the permutation, with one spare record per
// cycle.
void SortRecords(FileRecord* records, int count)
{
    if (count <= 1) {
        return;
    }
    if (count > MAX_FILES) {
        count = MAX_FILES;
    }
    for (int i = 0; i < count; ++i) {
        order[i] = i;
    }
    std::sort(order, order + count, [records](int32_t a, int32_t b) {
        return ComparePaths(records[a], records[b]) < 0;
    });

    for (int start = 0; start < count; ++start) {
        if (order[start] == start) {
            continue;
        }
        FileRecord spare;
        std::memcpy(&spare, &records[start], sizeof spare);
        int to = start;
        for (;;) {
            int from = order[to];
            order[to] = to;  // placed
            if (from == start) {
                std::memcpy(&records[to], &spare, sizeof spare);
                break;
            }
            std::memcpy(&records[to], &records[from], sizeof spare);
            to = from;
        }
    }
}
