#include "scan/record_sort.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

// The last byte a path may use; a path that fills its field without a NUL
// ends there, so the sort never reads past the field.
constexpr int PATH_END = RECORD_PATH_SIZE - 1;
constexpr int CHUNK = 8;

// Below this many records a range is finished by insertion sort.
constexpr int SMALL_RANGE = 12;

// Where each record goes: order[i] is the slot whose record belongs at i.
int32_t order[MAX_FILES];
// keys[i] is the chunk of order[i]'s path at the depth its range is sorted on,
// kept beside the index so that partitioning never touches the records.
uint64_t keys[MAX_FILES];

constexpr uint64_t HIGH_BITS = 0x8080808080808080ULL;
constexpr uint64_t LOW_BITS = 0x7F7F7F7F7F7F7F7FULL;

inline uint64_t EachByte(unsigned char c) { return 0x0101010101010101ULL * c; }

inline uint64_t LoadBigEndian(const unsigned char* p)
{
#if defined(__GNUC__) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return __builtin_bswap64(v);
#else
    uint64_t v = 0;
    for (int i = 0; i < 8; ++i) {
        v = (v << 8) | p[i];
    }
    return v;
#endif
}

inline void Prefetch(const void* address)
{
#if defined(__GNUC__)
    __builtin_prefetch(address);
#else
    (void)address;
#endif
}

// The folded bytes of a path from byte depth on, eight of them packed first
// byte highest, the end of the path and everything after it as zeros.
// Chunks compare as unsigned integers exactly as the paths do; a chunk whose
// lowest byte is zero holds the end of its path. All eight bytes are worked
// on at once: this runs once per record and depth, on every record.
inline uint64_t Chunk(const FileRecord& record, int depth)
{
    // depth + 8 stays inside the record (depth <= PATH_END - 3), so the
    // bytes past the field are read but always masked off below.
    const unsigned char* p = reinterpret_cast<const unsigned char*>(record.path) + depth;
    uint64_t v = LoadBigEndian(p);

    // Bit 7 of each zero byte, and of the byte where the field ends.
    uint64_t zeros = ~(((v & LOW_BITS) + LOW_BITS) | v) & HIGH_BITS;
    int available = PATH_END - depth;
    if (available < CHUNK) {
        zeros |= 0x80ULL << (8 * (CHUNK - 1 - available));
    }
    // Spread from the first end byte down over all later ones.
    zeros |= zeros >> 8;
    zeros |= zeros >> 16;
    zeros |= zeros >> 32;
    uint64_t ended = (zeros >> 7) * 0xFF;

    // 'A'..'Z' get 0x20 added; bytes above 127 are left alone.
    uint64_t low = v & LOW_BITS;
    uint64_t atLeastA = (low + EachByte(0x80 - 'A')) & HIGH_BITS;
    uint64_t aboveZ = (low + EachByte(0x80 - 'Z' - 1)) & HIGH_BITS;
    uint64_t capitals = atLeastA & ~aboveZ & ~v;
    v |= capitals >> 2;

    return v & ~ended;
}

inline bool HoldsEnd(uint64_t key) { return (key & 0xFF) == 0; }

// Whether slot a sorts before slot b: by path, both known equal before byte
// depth, and records of equal paths by slot, which is the order the walk
// captured them in.
inline bool Before(const FileRecord* records, int32_t a, int32_t b, int depth)
{
    for (;; depth += CHUNK) {
        uint64_t x = Chunk(records[a], depth);
        uint64_t y = Chunk(records[b], depth);
        if (x != y) {
            return x < y;
        }
        if (HoldsEnd(x)) {
            return a < b;
        }
    }
}

// Records of equal paths go in slot order.
void SortEqualPaths(int lo, int hi)
{
    std::sort(order + lo, order + hi);
}

// The first depth from `from` on at which the paths of order[lo, hi) do not
// all have the same chunk, or -1 when they are all equal. All of them agree
// before `from`. One pass that reads each record straight through, instead of
// one pass over the whole range per chunk of a long common prefix.
int FirstDifference(const FileRecord* records, int lo, int hi, int from)
{
    constexpr int MAX_CHUNKS = (RECORD_PATH_SIZE + CHUNK - 1) / CHUNK;
    uint64_t first[MAX_CHUNKS];
    int firstEnd = from;  // depth of the chunk holding the end of the first path
    for (;; firstEnd += CHUNK) {
        first[firstEnd / CHUNK] = Chunk(records[order[lo]], firstEnd);
        if (HoldsEnd(first[firstEnd / CHUNK])) {
            break;
        }
    }
    int limit = firstEnd + CHUNK;  // no difference seen yet
    constexpr int AHEAD = 8;
    for (int i = lo + 1; i < hi; ++i) {
        if (i + AHEAD < hi) {
            Prefetch(records[order[i + AHEAD]].path + from);
        }
        const FileRecord& record = records[order[i]];
        for (int depth = from; depth < limit; depth += CHUNK) {
            if (Chunk(record, depth) != first[depth / CHUNK]) {
                limit = depth;
                break;
            }
        }
    }
    return limit > firstEnd ? -1 : limit;
}

void LoadKeys(const FileRecord* records, int lo, int hi, int depth)
{
    constexpr int AHEAD = 8;
    for (int i = lo; i < hi; ++i) {
        if (i + AHEAD < hi) {
            Prefetch(records[order[i + AHEAD]].path + depth);
        }
        keys[i] = Chunk(records[order[i]], depth);
    }
}

void InsertionSort(const FileRecord* records, int lo, int hi, int depth)
{
    for (int i = lo + 1; i < hi; ++i) {
        int32_t moving = order[i];
        int j = i;
        for (; j > lo && Before(records, moving, order[j - 1], depth); --j) {
            order[j] = order[j - 1];
        }
        order[j] = moving;
    }
}

inline void Swap(int i, int j)
{
    std::swap(order[i], order[j]);
    std::swap(keys[i], keys[j]);
}

inline uint64_t Median(uint64_t a, uint64_t b, uint64_t c)
{
    return std::max(std::min(a, b), std::min(std::max(a, b), c));
}

uint64_t ChoosePivot(int lo, int hi)
{
    int n = hi - lo;
    int mid = lo + n / 2;
    if (n < 64) {
        return Median(keys[lo], keys[mid], keys[hi - 1]);
    }
    int step = n / 8;
    return Median(Median(keys[lo], keys[lo + step], keys[lo + 2 * step]),
                  Median(keys[mid - step], keys[mid], keys[mid + step]),
                  Median(keys[hi - 1 - 2 * step], keys[hi - 1 - step], keys[hi - 1]));
}

// How many bad splits a range of n may take at one depth before it is handed
// to std::sort: twice the depth of a balanced split.
int RecursionBudget(int n)
{
    int levels = 0;
    while (n > 1) {
        n >>= 1;
        ++levels;
    }
    return 2 * levels + 2;
}

// Sorts order[lo, hi), all of whose paths agree before byte depth and whose
// keys hold their chunks at depth: three ways on the chunk, then the equal
// part one chunk deeper. The two smaller parts are sorted by recursion and
// the largest by the loop, so the recursion stays within log2(n) calls. A
// range that keeps splitting badly at one depth (budget spent) goes to
// std::sort, so no input makes the sort quadratic.
void SortRange(const FileRecord* records, int lo, int hi, int depth, int budget)
{
    for (;;) {
        if (hi - lo < SMALL_RANGE) {
            InsertionSort(records, lo, hi, depth);
            return;
        }
        if (budget == 0) {
            std::sort(order + lo, order + hi, [records, depth](int32_t a, int32_t b) {
                return Before(records, a, b, depth);
            });
            return;
        }
        --budget;

        uint64_t pivot = ChoosePivot(lo, hi);
        // [lo, lt) less, [lt, i) equal, [gt, hi) greater than the pivot.
        int lt = lo;
        int i = lo;
        int gt = hi;
        while (i < gt) {
            uint64_t key = keys[i];
            if (key < pivot) {
                Swap(lt++, i++);
            } else if (key > pivot) {
                Swap(i, --gt);
            } else {
                ++i;
            }
        }

        // The equal part is finished when the pivot chunk held the end of the
        // path; otherwise it is sorted one chunk deeper, on fresh keys.
        bool equalDone = HoldsEnd(pivot);
        if (lt == lo && gt == hi) {
            if (equalDone) {
                SortEqualPaths(lo, hi);
                return;
            }
            // A common prefix: go straight to its end.
            depth = FirstDifference(records, lo, hi, depth + CHUNK);
            if (depth < 0) {
                SortEqualPaths(lo, hi);
                return;
            }
            LoadKeys(records, lo, hi, depth);
            budget = RecursionBudget(hi - lo);
            continue;
        }
        struct Part {
            int lo, hi;
            bool deeper;
        } parts[3] = {{lo, lt, false}, {lt, gt, true}, {gt, hi, false}};
        if (equalDone) {
            SortEqualPaths(lt, gt);
            parts[1].hi = lt;  // nothing left to do there
        }
        std::sort(parts, parts + 3,
                  [](const Part& a, const Part& b) { return a.hi - a.lo < b.hi - b.lo; });

        for (int k = 0; k < 2; ++k) {
            const Part& part = parts[k];
            if (part.hi - part.lo <= 1) {
                continue;
            }
            if (part.deeper) {
                LoadKeys(records, part.lo, part.hi, depth + CHUNK);
                SortRange(records, part.lo, part.hi, depth + CHUNK,
                          RecursionBudget(part.hi - part.lo));
            } else {
                SortRange(records, part.lo, part.hi, depth, budget);
            }
        }
        const Part& largest = parts[2];
        lo = largest.lo;
        hi = largest.hi;
        if (largest.deeper && hi - lo > 1) {
            depth += CHUNK;
            LoadKeys(records, lo, hi, depth);
            budget = RecursionBudget(hi - lo);
        }
    }
}

}  // namespace

// A record is 369 bytes, so the sort works on indexes and then moves each
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
        keys[i] = Chunk(records[i], 0);
    }
    SortRange(records, 0, count, 0, RecursionBudget(count));

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
