#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "ui/panel_format.h"

TEST(PanelFormat, MegabytesRoundToOneDecimalThroughSinglePrecision)
{
    const struct { int64_t bytes; const char* text; } cases[] = {
        {0, "0.0"}, {1572864, "1.5"}, {1048575, "1.0"}, {52428, "0.0"}, {-1572864, "-1.5"},
        {157286, "0.1"},  // 0.149999... rounds down
        // Single precision keeps 24 bits: 16777217 MB is the first whole
        // number it cannot hold.
        {int64_t(16777217) * 1048576, "16777216.0"},
        {INT64_MAX, "8796093022208.0"},
    };
    for (const auto& c : cases) {
        char buffer[PANEL_TEXT_SIZE];
        FormatMegabytes(c.bytes, buffer, sizeof buffer);
        EXPECT_STREQ(buffer, c.text) << c.bytes;
    }
    char shortBuffer[4] = {'x', 'x', 'x', 'x'};
    FormatMegabytes(1572864 * 10, shortBuffer, 4);  // "15.0" truncated, not overrun
    EXPECT_STREQ(shortBuffer, "15.");
}

TEST(PanelFormat, FileTimeHasNoLeadingZeros)
{
    char buffer[PANEL_TEXT_SIZE];
    FormatFileTime(2026, 12, 31, 23, 59, 0, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "2026-12-31 23:59:0");
}
