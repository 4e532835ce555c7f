#include <gtest/gtest.h>

#include <cstdint>

#include "model/app_state.h"
#include "model/panel_format.h"

TEST(PanelFormat, MegabytesRoundToOneDecimalThroughSinglePrecisionAndTimesHaveNoLeadingZeros)
{
    // 0.149999... rounds down; single precision keeps 24 bits, so 16777217
    // MB is the first whole number it cannot hold.
    const struct { int64_t bytes; const char* text; } cases[] = {
        {0, "0.0"}, {1572864, "1.5"}, {1048575, "1.0"}, {52428, "0.0"}, {-1572864, "-1.5"}, {157286, "0.1"},
        {int64_t(16777217) * 1048576, "16777216.0"},
    };
    char buffer[PANEL_TEXT_SIZE], shortBuffer[4];
    for (const auto& c : cases) {
        FormatMegabytes(c.bytes, buffer, sizeof buffer);
        EXPECT_STREQ(buffer, c.text) << c.bytes;
    }
    FormatMegabytes(1572864 * 10, shortBuffer, 4);  // "15.0" truncated, not overrun
    EXPECT_STREQ(shortBuffer, "15.");
    FormatFileTime(2026, 2, 3, 4, 5, 0, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "2026-2-3 4:5:0");
    EXPECT_EQ(StatusText(0), nullptr);  // leaves the field as it is
}
