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
    std::string Write(bool* ok = nullptr)
    {
        std::FILE* file = std::tmpfile();
        EXPECT_NE(file, nullptr);
        bool written = WriteReportText(file, *table, scan.data(), loaded.data());
        if (ok != nullptr) *ok = written;
        EXPECT_TRUE(written);
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
};

TEST_F(ReportTextTest, MixedTableGivesHeadingsForThePresentKindsInOrderWithCrLf)
{
    SetPath(scan, 0, "\\Windows\\System32\\newtool.dll");
    SetPath(scan, 1, "\\Tools\\extra.exe");
    SetPath(loaded, 0, "\\Program Files\\Utility\\readme.txt");
    // A file renamed only in letter case: the scan's spelling is reported.
    SetPath(scan, 2, "\\Windows\\WIN.INI");
    SetPath(loaded, 1, "\\Windows\\win.ini");
    SetPath(scan, 3, "C:\\data\\report.doc");
    SetPath(loaded, 2, "C:\\data\\REPORT.doc");

    Add(Extra, 0, -1);
    Add(Extra, 1, -1);
    Add(Missing, -1, 0);
    Add(Size, 2, 1);
    Add(Checksum, 3, 2);

    EXPECT_EQ(Write(), std::string(HEADER) +
                           "**** Extra files on this PC ****\r\n"
                           "\\Windows\\System32\\newtool.dll\r\n"
                           "\\Tools\\extra.exe\r\n"
                           "**** Missing files on this PC ****\r\n"
                           "\\Program Files\\Utility\\readme.txt\r\n"
                           "**** Files that are different in size ****\r\n"
                           "\\Windows\\WIN.INI\r\n"
                           "**** Files that have a different checksum ****\r\n"
                           "C:\\data\\report.doc\r\n");
}

TEST_F(ReportTextTest, EveryKindHasItsOwnHeading)
{
    for (int kind = Extra; kind <= Checksum; ++kind) {
        SetPath(scan, kind, "\\scan" + std::to_string(kind));
        SetPath(loaded, kind, "\\loaded" + std::to_string(kind));
        Add(kind, kind == Missing ? -1 : kind, kind == Extra ? -1 : kind);
    }
    EXPECT_EQ(Write(), std::string(HEADER) +
                           "**** Extra files on this PC ****\r\n\\scan1\r\n"
                           "**** Missing files on this PC ****\r\n\\loaded2\r\n"
                           "**** Files that are different in size ****\r\n\\scan3\r\n"
                           "**** Files that have a different creation time ****\r\n\\scan4\r\n"
                           "**** Files that have a different modify time ****\r\n\\scan5\r\n"
                           "**** Files that have a different attributes ****\r\n\\scan6\r\n"
                           "**** Files that have a different checksum ****\r\n\\scan7\r\n");
}

TEST_F(ReportTextTest, FullTableListsEveryEntryAndThenTheDroppedCount)
{
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

#ifdef _WIN32
constexpr char NULL_DEVICE[] = "NUL";
#else
constexpr char NULL_DEVICE[] = "/dev/null";
#endif

TEST_F(ReportTextTest, AFailedWriteIsReported)
{
    SetPath(scan, 0, "\\a");
    Add(Extra, 0, -1);
    // A stream open only for reading refuses every write.
    std::FILE* readOnly = std::fopen(NULL_DEVICE, "rb");
    ASSERT_NE(readOnly, nullptr);
    EXPECT_FALSE(WriteReportText(readOnly, *table, scan.data(), loaded.data()));
    std::fclose(readOnly);
}

#ifdef __linux__
TEST_F(ReportTextTest, AFullDiskIsReportedEvenWhenOnlyTheLastFlushFails)
{
    SetPath(scan, 0, "\\a");
    Add(Extra, 0, -1);
    std::FILE* full = std::fopen("/dev/full", "wb");
    ASSERT_NE(full, nullptr);
    EXPECT_FALSE(WriteReportText(full, *table, scan.data(), loaded.data()));
    std::fclose(full);

    // Unbuffered: the very first write fails.
    full = std::fopen("/dev/full", "wb");
    ASSERT_NE(full, nullptr);
    std::setvbuf(full, nullptr, _IONBF, 0);
    EXPECT_FALSE(WriteReportText(full, *table, scan.data(), loaded.data()));
    std::fclose(full);
}
#endif

}  // namespace
