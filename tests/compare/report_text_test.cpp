#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "compare/report_text.h"

namespace {

constexpr char HEADER[] = "**** Olvarin Result file V1.3 build 1001 ****\r\n\r\n";

class ReportTextTest : public ::testing::Test {
protected:
    ReportTextTest() : scan(4000), loaded(4000), table(new DifferenceTable()) {}

    void SetPath(std::vector<FileRecord>& records, int slot, const std::string& path)
    {
        std::memset(records[slot].path, 0, RECORD_PATH_SIZE);
        std::memcpy(records[slot].path, path.data(), path.size());
    }

    void Add(int32_t kind, int32_t scanIndex, int32_t loadedIndex)
    {
        table->entries[table->entryCount++] = {kind, scanIndex, loadedIndex};
    }

    // The bytes the writer produces, read back from a binary temporary file.
    std::string Write()
    {
        std::FILE* file = std::tmpfile();
        EXPECT_NE(file, nullptr);
        EXPECT_TRUE(WriteReportText(file, *table, scan.data(), loaded.data(), skipped));
        std::rewind(file);
        std::string bytes;
        char chunk[4096];
        size_t got;
        while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, got);
        std::fclose(file);
        return bytes;
    }

    std::vector<FileRecord> scan;
    std::vector<FileRecord> loaded;
    std::unique_ptr<DifferenceTable> table;
    int32_t skipped = 0;
};

TEST_F(ReportTextTest, MixedTableGivesHeadingsForThePresentKindsInOrderWithCrLf)
{
    // Missing files are named as the signature spells them, every other kind
    // as the scan does (a letter-case rename shows its new spelling).
    for (int kind = Extra; kind <= Checksum; ++kind) {
        SetPath(scan, kind, "\\Scan" + std::to_string(kind));
        SetPath(loaded, kind, "\\loaded" + std::to_string(kind));
    }
    SetPath(scan, 0, "\\Tools\\extra.exe");
    Add(Extra, 1, -1);
    Add(Extra, 0, -1);
    for (int kind = Missing; kind <= Checksum; ++kind) {
        Add(kind, kind == Missing ? -1 : kind, kind);
    }
    EXPECT_EQ(Write(), std::string(HEADER) +
                           "**** Extra files on this PC ****\r\n\\Scan1\r\n\\Tools\\extra.exe\r\n"
                           "**** Missing files on this PC ****\r\n\\loaded2\r\n"
                           "**** Files that are different in size ****\r\n\\Scan3\r\n"
                           "**** Files that have a different creation time ****\r\n\\Scan4\r\n"
                           "**** Files that have a different modify time ****\r\n\\Scan5\r\n"
                           "**** Files that have a different attributes ****\r\n\\Scan6\r\n"
                           "**** Files that have a different checksum ****\r\n\\Scan7\r\n");
}

TEST_F(ReportTextTest, FullTableListsEveryEntryAndThenTheDroppedAndSkippedCounts)
{
    const std::string skippedLine =
        "**** Files or folders not checked because their paths are longer than 299 characters: 12 ****\r\n";
    skipped = 12;
    EXPECT_EQ(Write(), HEADER + skippedLine);
    skipped = 0;

    for (int i = 0; i < MAX_DIFFERENCES; ++i) {
        SetPath(scan, i, "\\f" + std::to_string(i));
        Add(ModifyTime, i, i);
    }
    std::string withoutDropped = Write();
    size_t lines = 0;
    for (size_t at = withoutDropped.find("\r\n\\f"); at != std::string::npos;
         at = withoutDropped.find("\r\n\\f", at + 1)) {
        ++lines;
    }
    EXPECT_EQ(lines, static_cast<size_t>(MAX_DIFFERENCES));
    EXPECT_EQ(withoutDropped.substr(withoutDropped.size() - 8), "\\f2999\r\n");

    table->droppedCount = 4321;
    std::string withDropped = Write();
    EXPECT_EQ(withDropped, withoutDropped +
                              "**** 4321 more differences were found but not listed ****\r\n");
    skipped = 12;
    EXPECT_EQ(Write(), withDropped + skippedLine);
}

TEST_F(ReportTextTest, APathFillingItsWholeFieldIsNotReadPastItsEnd)
{
    std::memset(scan[0].path, 'x', RECORD_PATH_SIZE);  // no terminating NUL
    std::memset(&scan[0].details, 'y', sizeof scan[0].details);
    Add(Extra, 0, -1);
    std::string bytes = Write();
    EXPECT_EQ(bytes, std::string(HEADER) + "**** Extra files on this PC ****\r\n" +
                         std::string(RECORD_PATH_SIZE, 'x') + "\r\n");
}

TEST_F(ReportTextTest, EntriesOutsideTheTablesAreNotRead)
{
    SetPath(scan, 0, "\\kept");
    Add(Extra, -1, -1);
    Add(Extra, MAX_FILES, -1);
    Add(Extra, 0, -1);
    Add(Missing, 0, MAX_FILES);
    table->entryCount = 4;
    EXPECT_EQ(Write(), std::string(HEADER) + "**** Extra files on this PC ****\r\n\\kept\r\n" +
                           "**** Missing files on this PC ****\r\n");
}

TEST_F(ReportTextTest, AFailedWriteIsReported)
{
    SetPath(scan, 0, "\\a");
    Add(Extra, 0, -1);
    struct Stream {
        const char* path;
        const char* mode;
        bool unbuffered;
    } streams[] = {
#ifdef _WIN32
        {"NUL", "rb", false},  // open only for reading: every write is refused
#else
        {"/dev/null", "rb", false},
        {"/dev/full", "wb", false},  // a full disk: only the last flush fails
        {"/dev/full", "wb", true},   // unbuffered: the very first write fails
#endif
    };
    for (const Stream& s : streams) {
        std::FILE* file = std::fopen(s.path, s.mode);
        ASSERT_NE(file, nullptr) << s.path;
        if (s.unbuffered) std::setvbuf(file, nullptr, _IONBF, 0);
        EXPECT_FALSE(WriteReportText(file, *table, scan.data(), loaded.data(), 0)) << s.path << s.unbuffered;
        std::fclose(file);
    }
}

}  // namespace
