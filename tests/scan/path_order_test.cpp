#include <gtest/gtest.h>

#include "scan/path_order.h"

namespace {

int Sign(int v) { return (v > 0) - (v < 0); }
int Order(const char* a, const char* b) { return Sign(ComparePathTexts(a, b)); }

}  // namespace

TEST(ComparePaths, FoldsOnlyAsciiCapitals)
{
    EXPECT_EQ(Order("\\Data\\X.TXT", "\\data\\x.txt"), 0);
    // 0xC4 and 0xE4 are a capital and small letter in many code pages, but
    // the order folds nothing outside A to Z.
    EXPECT_NE(Order("\\\xC4", "\\\xE4"), 0);
    EXPECT_EQ(Order("", ""), 0);
}

TEST(ComparePaths, OrdersPunctuationBeforeLetters)
{
    EXPECT_LT(Order("\\a.txt", "\\a\\b.txt"), 0);  // '.' before '\'
    EXPECT_LT(Order("\\a\\b", "\\a_b"), 0);        // '\' before '_'
    EXPECT_LT(Order("\\a_b", "\\ab"), 0);          // '_' before every letter
    EXPECT_LT(Order("\\A_B", "\\aB"), 0);
    EXPECT_LT(Order("\\dir\\x", "\\dirx"), 0);
}

TEST(ComparePaths, TakesBytesAsUnsignedAndPrefixesFirst)
{
    EXPECT_LT(Order("\\z", "\\\x80"), 0);
    EXPECT_LT(Order("\\\x7F", "\\\xFF"), 0);
    EXPECT_LT(Order("\\abc", "\\abcd"), 0);
    EXPECT_GT(Order("\\abcd", "\\ABC"), 0);
    EXPECT_LT(Order("", "\\a"), 0);
}

TEST(ComparePaths, ReturnsTheDifferenceOfTheFirstDifferingBytes)
{
    FileRecord a = {};
    FileRecord b = {};
    a.path[0] = 'B';  // folds to 'b'
    b.path[0] = 'a';
    EXPECT_EQ(ComparePaths(a, b), 1);
    EXPECT_EQ(ComparePaths(b, a), -1);
}
