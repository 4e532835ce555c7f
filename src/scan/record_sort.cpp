#include "scan/record_sort.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "model/path_order.h"

namespace {

constexpr int CHUNK = 8;

// Below this many records a range is finished by insertion sort.
constexpr int SMALL_RANGE = 12;

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
// lowest byte is zero holds the end of its path (paths hold no NUL). All
// eight bytes are worked on at once: this runs once per record and depth, on
// every record. The path's two pieces are read as one text.
inline uint64_t Chunk(const RecordPath& path, int depth)
{
    const int available = path.folderLength + path.nameLength - depth;
    if (available <= 0) {
        return 0;
    }
    // Up to 8 bytes past either piece may be read; they are masked off.
    uint64_t v;
    if (depth + CHUNK <= path.folderLength) {
        v = LoadBigEndian(reinterpret_cast<const unsigned char*>(path.folder) + depth);
    } else if (depth >= path.folderLength) {
        v = LoadBigEndian(reinterpret_cast<const unsigned char*>(path.name) + (depth - path.folderLength));
    } else {
        unsigned char joined[2 * CHUNK];
        const int inFolder = path.folderLength - depth;
        std::memcpy(joined, path.folder + depth, static_cast<size_t>(inFolder));
        std::memcpy(joined + inFolder, path.name, CHUNK);
        v = LoadBigEndian(joined);
    }
    if (available < CHUNK) {
        v &= ~(~0ULL >> (8 * available));
    }

    // 'A'..'Z' get 0x20 added; bytes above 127 are left alone. The zeros
    // past the end stay zeros.
    uint64_t low = v & LOW_BITS;
    uint64_t atLeastA = (low + EachByte(0x80 - 'A')) & HIGH_BITS;
    uint64_t aboveZ = (low + EachByte(0x80 - 'Z' - 1)) & HIGH_BITS;
    uint64_t capitals = atLeastA & ~aboveZ & ~v;
    return v | (capitals >> 2);
}

// The sort of one table, on the table's sort room: order[i] is the index of
// the record that belongs at i; keys[i] is the chunk of order[i]'s path at
// the depth its range is sorted on, kept beside the index so that
// partitioning never touches the records.
class Sorter {
public:
    Sorter(const RecordTable& table, int32_t* order, uint64_t* keys) : table_(table), order(order), keys(keys) {}

    inline uint64_t ChunkOf(int32_t index, int depth)
    {
        return Chunk(table_.Path(index), depth);
    }

    inline void PrefetchPath(int32_t index, int depth)
    {
        RecordPath path = table_.Path(index);
        Prefetch(depth < path.folderLength ? path.folder + depth : path.name);
    }

    inline bool HoldsEnd(uint64_t key) { return (key & 0xFF) == 0; }

    // Whether slot a sorts before slot b: by path, both known equal before byte
    // depth, and records of equal paths by slot, which is the order the walk
    // captured them in.
    inline bool Before(int32_t a, int32_t b, int depth)
    {
        for (;; depth += CHUNK) {
            uint64_t x = ChunkOf(a, depth);
            uint64_t y = ChunkOf(b, depth);
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
    int FirstDifference(int lo, int hi, int from)
    {
        constexpr int MAX_CHUNKS = (RECORD_PATH_SIZE + CHUNK - 1) / CHUNK;
        uint64_t first[MAX_CHUNKS];
        int firstEnd = from;  // depth of the chunk holding the end of the first path
        for (;; firstEnd += CHUNK) {
            first[firstEnd / CHUNK] = ChunkOf(order[lo], firstEnd);
            if (HoldsEnd(first[firstEnd / CHUNK])) {
                break;
            }
        }
        int limit = firstEnd + CHUNK;  // no difference seen yet
        constexpr int AHEAD = 8;
        for (int i = lo + 1; i < hi; ++i) {
            if (i + AHEAD < hi) {
                PrefetchPath(order[i + AHEAD], from);
            }
            const RecordPath path = table_.Path(order[i]);
            for (int depth = from; depth < limit; depth += CHUNK) {
                if (Chunk(path, depth) != first[depth / CHUNK]) {
                    limit = depth;
                    break;
                }
            }
        }
        return limit > firstEnd ? -1 : limit;
    }

    void LoadKeys(int lo, int hi, int depth)
    {
        constexpr int AHEAD = 8;
        for (int i = lo; i < hi; ++i) {
            if (i + AHEAD < hi) {
                PrefetchPath(order[i + AHEAD], depth);
            }
            keys[i] = ChunkOf(order[i], depth);
        }
    }

    void InsertionSort(int lo, int hi, int depth)
    {
        for (int i = lo + 1; i < hi; ++i) {
            int32_t moving = order[i];
            int j = i;
            for (; j > lo && Before(moving, order[j - 1], depth); --j) {
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
    void SortRange(int lo, int hi, int depth, int budget)
    {
        for (;;) {
            if (hi - lo < SMALL_RANGE) {
                InsertionSort(lo, hi, depth);
                return;
            }
            if (budget == 0) {
                std::sort(order + lo, order + hi, [this, depth](int32_t a, int32_t b) {
                    return Before(a, b, depth);
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
                depth = FirstDifference(lo, hi, depth + CHUNK);
                if (depth < 0) {
                    SortEqualPaths(lo, hi);
                    return;
                }
                LoadKeys(lo, hi, depth);
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
                    LoadKeys(part.lo, part.hi, depth + CHUNK);
                    SortRange(part.lo, part.hi, depth + CHUNK, RecursionBudget(part.hi - part.lo));
                } else {
                    SortRange(part.lo, part.hi, depth, budget);
                }
            }
            const Part& largest = parts[2];
            lo = largest.lo;
            hi = largest.hi;
            if (largest.deeper && hi - lo > 1) {
                depth += CHUNK;
                LoadKeys(lo, hi, depth);
                budget = RecursionBudget(hi - lo);
            }
        }
    }

private:
    const RecordTable& table_;
    int32_t* order;
    uint64_t* keys;
};

}  // namespace

// The sort works on indexes; the records are then moved once each.
void SortRecords(RecordTable& records)
{
    const int32_t count = records.Count();
    if (count <= 1) {
        return;
    }
    int32_t* order;
    uint64_t* keys;
    records.SortRoom(&order, &keys);
    Sorter sorter(records, order, keys);
    for (int32_t i = 0; i < count; ++i) {
        order[i] = i;
        keys[i] = sorter.ChunkOf(i, 0);
    }
    sorter.SortRange(0, count, 0, sorter.RecursionBudget(count));
    records.Permute(order);
}

void PutInPathOrder(RecordTable& records)
{
    for (int32_t i = 1; i < records.Count(); ++i) {
        if (ComparePaths(records.Path(i - 1), records.Path(i)) > 0) {
            SortRecords(records);
            records.DropSortRoom();
            return;
        }
    }
}
