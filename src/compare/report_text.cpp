#include "compare/report_text.h"

#include <cstring>

#include "model/version.h"

namespace {

constexpr char LINE_END[] = "\r\n";

// Indexed by DifferenceKind.
constexpr const char* HEADINGS[] = {
    nullptr,
    "**** Extra files on this PC ****",
    "**** Missing files on this PC ****",
    "**** Files that are different in size ****",
    "**** Files that have a different creation time ****",
    "**** Files that have a different modify time ****",
    "**** Files that have a different attributes ****",
    "**** Files that have a different checksum ****",
};
constexpr int32_t HEADING_COUNT = sizeof HEADINGS / sizeof HEADINGS[0];

bool WriteBytes(std::FILE* out, const char* text, size_t length)
{
    return length == 0 || std::fwrite(text, 1, length, out) == length;
}

bool WriteLine(std::FILE* out, const char* text, size_t length)
{
    return WriteBytes(out, text, length) && WriteBytes(out, LINE_END, sizeof LINE_END - 1);
}

bool WriteLine(std::FILE* out, const char* text)
{
    return WriteLine(out, text, std::strlen(text));
}

// The table and index of the record whose path names this entry's file, or
// no table for an entry whose index does not lie in its table.
const RecordTable* EntryRecord(const DifferenceEntry& entry, const RecordTable& scanTable,
                               const RecordTable& loadedTable, int32_t* index)
{
    const RecordTable& table = entry.kind == Missing ? loadedTable : scanTable;
    *index = entry.kind == Missing ? entry.loadedIndex : entry.scanIndex;
    return *index >= 0 && *index < table.Count() ? &table : nullptr;
}

// "name: first; second" on one line.
std::string Joined(const std::vector<std::string>& parts)
{
    std::string out;
    for (const std::string& part : parts) out += (out.empty() ? "" : "; ") + part;
    return out;
}

}  // namespace

bool WriteReportText(std::FILE* out, const DifferenceTable& table, const RecordTable& scanTable,
                     const RecordTable& loadedTable, const ReportNotes& notes)
{
    bool ok = std::fprintf(out, "**** Olvarin Result file %s build %s ****%s%s", PRODUCT_VERSION,
                           PRODUCT_BUILD, LINE_END, LINE_END) > 0;

    int32_t count = table.entryCount;
    if (count < 0) count = 0;
    if (count > MAX_DIFFERENCES) count = MAX_DIFFERENCES;

    int32_t previousKind = 0;
    for (int32_t i = 0; i < count && ok; ++i) {
        const DifferenceEntry& entry = table.entries[i];
        if (entry.kind != previousKind && entry.kind > 0 && entry.kind < HEADING_COUNT) {
            ok = WriteLine(out, HEADINGS[entry.kind]);
        }
        previousKind = entry.kind;
        int32_t index;
        const RecordTable* records = EntryRecord(entry, scanTable, loadedTable, &index);
        if (ok && records != nullptr) {
            char path[RECORD_PATH_SIZE];
            ok = WriteLine(out, path, records->CopyPath(index, path));
        }
    }

    if (ok && table.droppedCount > 0) {
        ok = std::fprintf(out, "**** %d more differences were found but not listed ****%s",
                          static_cast<int>(table.droppedCount), LINE_END) > 0;
    }
    if (ok && notes.skippedCount > 0) {
        ok = std::fprintf(out,
                          "**** Files or folders not checked because their paths are longer than "
                          "%d characters: %d ****%s",
                          RECORD_PATH_SIZE - 1, static_cast<int>(notes.skippedCount), LINE_END) > 0;
    }
    if (ok && notes.uncheckedCount > 0) {
        ok = WriteLine(out, ("**** Files not checked because their folders could not be read: " +
                             std::to_string(notes.uncheckedCount) + ", in " + Joined(notes.unreadFolders) + " ****")
                                .c_str());
    }
    if (ok && !notes.loopFolders.empty()) {
        ok = WriteLine(out, ("**** Links not followed because they lead back to a folder above them: " +
                             Joined(notes.loopFolders) + " ****")
                                .c_str());
    }
    // Last, so that whoever reads to the end knows the list is partial.
    if (ok && notes.stopped) {
        ok = WriteLine(out, "**** Compare stopped before the end: files not reached are listed as missing ****");
    } else if (ok && notes.cutShort) {
        ok = WriteLine(out, ("**** Compare cut short after " + std::to_string(notes.filesCovered) +
                             " files (the file limit, or memory, was reached): files after them were not compared "
                             "and are listed as missing ****")
                                .c_str());
    }
    // Buffered writes fail late: only the flush tells whether all arrived.
    if (std::fflush(out) != 0) ok = false;
    return ok && !std::ferror(out);
}
