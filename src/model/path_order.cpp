#include "model/path_order.h"

namespace {

inline int Fold(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
}

}  // namespace

int ComparePathTexts(const char* a, const char* b)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(a);
    const unsigned char* q = reinterpret_cast<const unsigned char*>(b);
    for (;; ++p, ++q) {
        int x = Fold(*p);
        int y = Fold(*q);
        if (x != y) {
            return x - y;
        }
        if (x == 0) {
            return 0;
        }
    }
}

namespace {

// Reads a stored path byte by byte across its two pieces; 0 past its end.
struct PathReader {
    const RecordPath& path;
    int at = 0;
    int Next()
    {
        int i = at++;
        if (i < path.folderLength) return static_cast<unsigned char>(path.folder[i]);
        i -= path.folderLength;
        return i < path.nameLength ? static_cast<unsigned char>(path.name[i]) : 0;
    }
};

}  // namespace

int ComparePaths(const RecordPath& a, const RecordPath& b)
{
    // Most pairs share a long folder text, often byte for byte.
    int same = 0;
    const int folders = a.folderLength < b.folderLength ? a.folderLength : b.folderLength;
    while (same < folders && a.folder[same] == b.folder[same]) {
        ++same;
    }
    PathReader x{a, same}, y{b, same};
    for (;;) {
        int p = Fold(static_cast<unsigned char>(x.Next()));
        int q = Fold(static_cast<unsigned char>(y.Next()));
        if (p != q) {
            return p - q;
        }
        if (p == 0) {
            return 0;
        }
    }
}

bool SamePathStart(const char* a, const char* b, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        int x = Fold(static_cast<unsigned char>(a[i]));
        if (x != Fold(static_cast<unsigned char>(b[i]))) {
            return false;
        }
        if (x == 0) {
            return true;
        }
    }
    return true;
}
