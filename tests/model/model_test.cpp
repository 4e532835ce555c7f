#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "model/app_state.h"
#include "model/panel_format.h"
#include "model/path_order.h"

// What the panel shows after a failed load or at start-up.
TEST(AppState, ResetLeavesNoSignatureAndALongTextKeepsItsEnd)
{
    auto owner = std::make_unique<AppState>();
    AppState& appState = *owner;
    std::memset(&appState.header, 0x5A, sizeof appState.header);
    appState.directoryList.count = 3;
    appState.scanFileCount = appState.calculateChecksums = appState.currentChecksum = 1;
    appState.PublishText(appState.currentFile, STATUS_TEXT_SIZE, "\\a.txt");
    ResetSignature(appState);
    EXPECT_STREQ(appState.header.name, "No signature loaded");
    EXPECT_EQ(appState.header.fileCount + appState.directoryList.count + appState.scanFileCount +
              appState.calculateChecksums + appState.currentChecksum, 0);
    EXPECT_STREQ(appState.currentFile, "None");

    // A long text is shortened from the front, keeping its end.
    std::string longPath = "C:" + std::string(300, 'd') + "\\file.txt";
    appState.PublishText(appState.currentFile, STATUS_TEXT_SIZE, "kept");
    appState.PublishText(appState.currentDirectory, STATUS_TEXT_SIZE, longPath.c_str());
    EXPECT_EQ(std::string(appState.currentDirectory), "..." + longPath.substr(longPath.size() - 252));
    EXPECT_STREQ(appState.currentFile, "kept");  // nothing written past the field
    std::string fits(STATUS_TEXT_SIZE - 1, 'x');
    appState.PublishText(appState.currentFile, STATUS_TEXT_SIZE, fits.c_str());
    char shown[STATUS_TEXT_SIZE];  // as the panel reads it back
    appState.ReadPublishedText(appState.currentFile, shown, sizeof shown);
    EXPECT_EQ(std::string(shown), fits);
}

TEST(PanelFormat, MegabytesRoundToOneDecimalThroughSinglePrecisionAndTimesHaveNoLeadingZeros)
{
    // 0.149999... rounds down; single precision keeps 24 bits, so 16777217
    // MB is the first whole number it cannot hold.
    const struct { uint64_t bytes; const char* text; } cases[] = {
        {0, "0.0"}, {1572864, "1.5"}, {1048575, "1.0"}, {52428, "0.0"}, {157286, "0.1"},
        {uint64_t(16777217) * 1048576, "16777216.0"}, {uint64_t(1) << 63, "8796093022208.0"},  // a total past the signed range
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
}

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
}

// Room grows with the records: one or two take a few kilobytes; every record
// keeps its path, digest and mark across the boundaries of growing blocks.
TEST(RecordTable, EachRecordKeepsItsPlaceAcrossGrowingBlocksAndOneTakesLittleRoom)
{
    auto path = [](int i) { return "\\" + std::to_string(i / 7) + "\\" + std::string(i % 200, 'n') + std::to_string(i); };
    RecordTable table, moved;
    for (int32_t count : {1, 2, 64, 65, 4095, 4096, 4097, 9000, 9001}) {
        table.Clear(true, count % 2 == 0);  // a sortable table keeps marks
        for (int i = 0; i < count; ++i) {
            const uint8_t digest[DIGEST_SIZE] = {static_cast<uint8_t>(i), static_cast<uint8_t>(i >> 8)};
            table.SetDigest(table.Append(path(i).c_str(), path(i).size(), FileDetails{}), i % 2 ? digest : nullptr);
            table.MarkChecksumNotTaken(i, i % 3 == 0);
        }
        EXPECT_TRUE(count > 2 || table.MemoryUsed() <= 12288) << table.MemoryUsed();
        moved.TakeFrom(table);
        for (int i = 0; i < count; ++i) {
            const FileRecord r = moved.Get(i);
            ASSERT_TRUE(r.path == path(i) && r.hasDigest == i % 2 && r.digest[0] + 256 * r.digest[1] == i % 2 * i &&
                        moved.ChecksumNotTaken(i) == (count % 2 == 0 && i % 3 == 0)) << count << " " << i;
        }
        moved.Clear();
        EXPECT_EQ(moved.MemoryUsed() + table.MemoryUsed(), 0u) << count;
    }
}
