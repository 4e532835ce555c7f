#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "ui/control_ids.h"
#include "ui/panel_format.h"

namespace {

std::string Megabytes(int64_t bytes)
{
    char buffer[PANEL_TEXT_SIZE];
    FormatMegabytes(bytes, buffer, sizeof buffer);
    return buffer;
}

}  // namespace

TEST(FormatMegabytes, RoundsToOneDecimal)
{
    EXPECT_EQ(Megabytes(0), "0.0");
    EXPECT_EQ(Megabytes(1572864), "1.5");
    EXPECT_EQ(Megabytes(1048575), "1.0");
    EXPECT_EQ(Megabytes(1048576), "1.0");
    EXPECT_EQ(Megabytes(52428), "0.0");   // 0.04999...
    EXPECT_EQ(Megabytes(157286), "0.1");  // 0.149999... rounds down
    EXPECT_EQ(Megabytes(-1572864), "-1.5");
}

TEST(FormatMegabytes, LargeCountsGoThroughSinglePrecision)
{
    // Exact in double, but single precision keeps 24 bits of mantissa:
    // 16777217 MB is the first whole number it cannot hold.
    EXPECT_EQ(Megabytes(int64_t(16777216) * 1048576), "16777216.0");
    EXPECT_EQ(Megabytes(int64_t(16777217) * 1048576), "16777216.0");
    EXPECT_EQ(Megabytes(INT64_MAX), "8796093022208.0");
}

TEST(FormatMegabytes, ShortBufferIsTruncatedNotOverrun)
{
    char buffer[4] = {'x', 'x', 'x', 'x'};
    FormatMegabytes(1572864 * 10, buffer, 4);  // "15.0"
    EXPECT_STREQ(buffer, "15.");
}

TEST(FormatFileTime, HasNoLeadingZeros)
{
    char buffer[PANEL_TEXT_SIZE];
    FormatFileTime(2008, 3, 5, 9, 7, 3, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "2008-3-5 9:7:3");
    FormatFileTime(2026, 12, 31, 23, 59, 0, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "2026-12-31 23:59:0");
}

TEST(StatusText, NamesTheFourStatesAndNothingElse)
{
    EXPECT_STREQ(StatusText(1), "Building O/S signature");
    EXPECT_STREQ(StatusText(2), "Comparing O/S signature");
    EXPECT_STREQ(StatusText(3), "Stopped");
    EXPECT_STREQ(StatusText(4), "Sorting index");
    EXPECT_EQ(StatusText(0), nullptr);
    EXPECT_EQ(StatusText(5), nullptr);
    EXPECT_EQ(StatusText(-1), nullptr);
}

TEST(AttributeMarks, PairEachCheckBoxWithItsBitInPanelOrder)
{
    const int ids[ATTRIBUTE_MARK_COUNT] = {IDC_MAIN_ARCHIVE, IDC_MAIN_COMPRESSED, IDC_MAIN_ENCRYPTED,
                                           IDC_MAIN_HIDDEN, IDC_MAIN_READ_ONLY, IDC_MAIN_SYSTEM};
    const uint32_t bits[ATTRIBUTE_MARK_COUNT] = {0x20, 0x800, 0x4000, 0x2, 0x1, 0x4};
    for (int i = 0; i < ATTRIBUTE_MARK_COUNT; ++i) {
        EXPECT_EQ(ATTRIBUTE_MARKS[i].controlId, ids[i]) << i;
        EXPECT_EQ(ATTRIBUTE_MARKS[i].bit, bits[i]) << i;
    }
}
