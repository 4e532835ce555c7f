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
    FileRecord a = {}, b = {};
    a.path[0] = 'B';  // folds to 'b': the difference of the first differing bytes
    b.path[0] = 'a';
    EXPECT_EQ(ComparePaths(a, b), 1);
}
