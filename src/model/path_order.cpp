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

int ComparePaths(const FileRecord& a, const FileRecord& b)
{
    return ComparePathTexts(a.path, b.path);
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
