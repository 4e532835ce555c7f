#include <gtest/gtest.h>

#include "model/path_order.h"

TEST(PathOrder, FoldsOnlyAsciiCapitalsAndComparesUnsignedBytes)
{
    const struct { const char* a; const char* b; int order; } cases[] = {
        {"\\Data\\X.TXT", "\\data\\x.txt", 0}, {"", "", 0},
        {"\\\xC4", "\\\xE4", -1},  // no folding outside A to Z
        {"\\a.txt", "\\a\\b.txt", -1}, {"\\a\\b", "\\a_b", -1}, {"\\a_b", "\\ab", -1},
        {"\\A_B", "\\aB", -1}, {"\\dir\\x", "\\dirx", -1}, {"\\z", "\\\x80", -1},
        {"\\\x7F", "\\\xFF", -1}, {"\\abc", "\\abcd", -1}, {"\\abcd", "\\ABC", 1}, {"", "\\a", -1},
    };
    for (const auto& c : cases) {
        int got = ComparePathTexts(c.a, c.b), back = ComparePathTexts(c.b, c.a);
        EXPECT_EQ((got > 0) - (got < 0), c.order) << c.a << " / " << c.b;
        EXPECT_EQ((back < 0) - (back > 0), c.order) << c.b << " / " << c.a;
    }
    // Stored in folder and name pieces, paths compare whole: the difference
    // of the first differing folded bytes, wherever the pieces split.
    const RecordPath a = {"\\Dir\\", "B", 5, 1}, b = {"\\dir\\a", "", 6, 0};
    EXPECT_EQ(ComparePaths(a, b), 1);
    EXPECT_EQ(ComparePaths(b, {"\\DIR\\A", "", 6, 0}), 0);
}
