#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "compare/report_text.h"
#include "support/reference_walk.h"

namespace {

const std::string HEADER = "**** Olvarin Result file V1.3 build 1001 ****\r\n\r\n";

struct Report {
    std::vector<FileRecord> scan = std::vector<FileRecord>(MAX_DIFFERENCES);
    std::vector<FileRecord> loaded = std::vector<FileRecord>(MAX_DIFFERENCES);
    std::unique_ptr<DifferenceTable> table{new DifferenceTable()};
    ReportNotes notes;

    void Add(int32_t kind, int32_t scanIndex, int32_t loadedIndex, const std::string& path = "")
    {
        if (!path.empty()) std::strcpy((kind == Missing ? loaded[loadedIndex] : scan[scanIndex]).path, path.c_str());
        table->entries[table->entryCount++] = {kind, scanIndex, loadedIndex};
    }

    // The bytes written, read back from a binary temporary file.
    std::string Write()
    {
        std::FILE* file = std::tmpfile();
        RecordTable scanTable, loadedTable;
        FillTable(scanTable, scan), FillTable(loadedTable, loaded);
        EXPECT_TRUE(WriteReportText(file, *table, scanTable, loadedTable, notes));
        std::rewind(file);
        std::string bytes(1 << 20, '\0');
        bytes.resize(std::fread(&bytes[0], 1, bytes.size(), file));
        std::fclose(file);
        return bytes;
    }
};

}  // namespace

// The last lines of a full table tell how many entries did not fit, how
// many the scan left out and, last, that a Stop cut it short; an entry
// outside the tables is never read.
TEST(ReportText, FullTableListsEveryEntryThenTheDroppedAndSkippedCountsNeverReadsPastItsDataAndFailsLoudly)
{
    Report r;
    std::string lines = HEADER + "**** Files that have a different modify time ****\r\n";
    for (int i = 0; i < MAX_DIFFERENCES; ++i) {
        r.Add(ModifyTime, i, i, std::to_string(i));  // one-character paths too
        lines += std::to_string(i) + "\r\n";
    }
    EXPECT_EQ(r.Write(), lines);
    r.table->droppedCount = 1;
    EXPECT_EQ(r.Write(), lines + "**** 1 more differences were found but not listed ****\r\n");
    const std::string skippedLine =
        "**** Files or folders not checked because their paths are longer than 299 characters: 12 ****\r\n";
    const std::string stoppedLine =
        "**** Compare stopped before the end: files not reached are listed as missing ****\r\n";
    r.notes.skippedCount = 12;
    r.notes.stopped = true;
    EXPECT_EQ(r.Write(), lines + "**** 1 more differences were found but not listed ****\r\n" + skippedLine + stoppedLine);
    r.table->droppedCount = 0;
    r.notes = {0, 3, {"C:\\a (Access is denied.)", "C:\\b (The device is not ready.)"}, {"C:\\u\\X11"}, false, true, 4000000};
    EXPECT_EQ(r.Write(), lines + "**** Files not checked because their folders could not be read: 3, in C:\\a (Access is denied.); "
                                 "C:\\b (The device is not ready.) ****\r\n**** Links not followed because they lead back to a folder "
                                 "above them: C:\\u\\X11 ****\r\n**** Compare cut short after 4000000 files (the file limit, or memory, "
                                 "was reached): files after them were not compared and are listed as missing ****\r\n");

    Report edge;
    std::memset(edge.scan[0].path, 'x', RECORD_PATH_SIZE - 1);
    edge.Add(Extra, 0, -1);
    edge.Add(Extra, -1, -1);
    edge.Add(Extra, MAX_FILES, -1);
    edge.Add(Missing, 0, MAX_FILES);
    EXPECT_EQ(edge.Write(), HEADER + "**** Extra files on this PC ****\r\n" + std::string(RECORD_PATH_SIZE - 1, 'x') +
                                "\r\n**** Missing files on this PC ****\r\n");

    // A write that fails is reported.
#ifdef _WIN32
    std::FILE* streams[] = {std::fopen("NUL", "rb")};  // open only for reading: every write is refused
#else
    // Only for reading; a full disk where only the last flush fails; the
    // same unbuffered, where the very first write fails.
    std::FILE* streams[] = {std::fopen("/dev/null", "rb"), std::fopen("/dev/full", "wb"), std::fopen("/dev/full", "wb")};
    std::setvbuf(streams[2], nullptr, _IONBF, 0);
#endif
    RecordTable scanTable, loadedTable;
    FillTable(scanTable, edge.scan), FillTable(loadedTable, edge.loaded);
    for (std::FILE* file : streams) {
        EXPECT_FALSE(WriteReportText(file, *edge.table, scanTable, loadedTable, {0, 0, {}, {}, true, false, 0}));
        std::fclose(file);
    }
}
