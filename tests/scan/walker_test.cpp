#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <set>
#include <string>

#include "model/app_state.h"
#include "scan/walker.h"
#include "support/test_files.h"

namespace {

// A fresh folder holding the files named, each "abc", folders made on the way.
std::string Tree(const std::string& name, std::initializer_list<const char*> files)
{
    std::string root = MakeTestFolder(name);
    for (std::string file : files) {
        for (size_t at = file.find('\\', 1); at != std::string::npos; at = file.find('\\', at + 1)) {
            MakeFolder(root + file.substr(0, at));
        }
        WriteTestFile(root + file, "abc");
    }
    return root;
}

// Walks the Include entries as the worker does, into a table that already
// holds `count` records, and gives the new records as "path size checksum".
// Entries by slot; a path ending in '-' is an Exclude entry without it.
std::set<std::string> Walk(std::initializer_list<std::pair<int, std::string>> slots, int count = 0,
                           int32_t driveAndChecksums = 0)
{
    DirectoryList list = {};
    for (auto slot : slots) {
        bool exclude = slot.second.back() == '-';
        std::strcpy(list.paths[slot.first], slot.second.substr(0, slot.second.size() - exclude).c_str());
        list.actions[slot.first] = exclude ? Exclude : Include;
    }
    ResetSignature(nullptr);
    appState.includeDriveLetter = appState.calculateChecksums = driveAndChecksums;
    appState.fileLimitReached = appState.scanDirectoryCount = appState.scanTotalBytes = 0;
    appState.scanFileCount = count;
    for (int slot = 0; slot < MAX_DIRECTORIES; ++slot) {
        if (list.actions[slot] == Include) WalkDirectory(list.paths[slot], list);
    }
    std::set<std::string> out;
    for (int i = count; i < appState.scanFileCount; ++i) {
        const FileRecord& r = appState.ScanTable[i];
        out.insert(std::string(r.path) + " " + std::to_string(r.details.size) + " " + std::to_string(r.details.checksum));
    }
    return out;
}

}  // namespace

// An Exclude entry is a prefix test on characters ignoring case, in any
// slot (removals leave empty ones between); an Include entry that one is a prefix of is skipped without being
// counted. Paths lose the drive letter unless it is asked for; files are
// summed only when asked.
TEST(Walker, ExcludeDriveLetterChecksumAndLongPathRules)
{
    std::string root = Tree("exclusion", {"\\a.txt", "\\Temp\\b.txt", "\\Temp2\\c.txt", "\\TempFiles\\d.txt",
                                          "\\keep\\e.txt", "\\keep\\sub\\f.txt", "\\zz-inside\\g.txt"});
    std::string r = root.substr(2);
    EXPECT_EQ(Walk({{0, root}, {1, root + "\\zz-inside"}, {7, root + "\\TEMP-"}, {9, root + "\\zz--"}}),
              (std::set<std::string>{r + "\\a.txt 3 0", r + "\\keep\\e.txt 3 0", r + "\\keep\\sub\\f.txt 3 0"}));
    EXPECT_EQ(appState.scanDirectoryCount, 3);  // root, keep, keep\sub
    EXPECT_EQ(appState.scanTotalBytes, 9u);
    EXPECT_EQ(Walk({{0, root + "\\keep"}, {1, root + "\\keep\\sub-"}}, 0, 1),
              std::set<std::string>{root + "\\keep\\e.txt 3 1610"});

    // Paths longer than the records or the walk's buffers are skipped whole,
    // never cut; nothing is written past a buffer. (The extended form keeps
    // lengths that plain paths cannot.)
    std::string deep = MakeTestFolder("long");
    std::wstring folder = L"\\\\?\\" + std::wstring(deep.begin(), deep.end());
    std::set<std::string> real;
    for (std::string path = deep + "\\" + std::string(60, 'n'); path.size() < 560; path += "\\" + std::string(60, 'n')) {
        folder += L"\\" + std::wstring(60, L'n');
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
        CloseHandle(CreateFileW((folder + L"\\f.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
        real.insert(path + "\\f.txt 0 255");
    }
    std::set<std::string> recorded = Walk({{0, deep}}, 0, 1);
    EXPECT_FALSE(recorded.empty());
    for (const std::string& path : recorded) EXPECT_TRUE(real.count(path) && path.size() <= 299 + 6) << path;
}

// The count starts just below the limit: the rule is the same for the last
// few slots as for all of them. A walk goes on into directories after the
// limit, but records nothing more.
TEST(Walker, AFullTableShowsTheMessageOnlyForAFileBeyondIt)
{
    std::string root = Tree("limit", {"\\full\\1.txt", "\\full\\2.txt", "\\over\\1.txt", "\\over\\2.txt",
                                      "\\over\\3.txt", "\\after\\4.txt"});
    for (bool oneMore : {false, true}) {
        MessageRecorder recorder;
        if (oneMore) Walk({{0, root + "\\over"}, {1, root + "\\after"}}, MAX_FILES - 2);
        else Walk({{0, root + "\\full"}}, MAX_FILES - 2);
        EXPECT_EQ(appState.scanFileCount, MAX_FILES);
        EXPECT_EQ(appState.fileLimitReached, oneMore ? 1 : 0);
        EXPECT_EQ(appState.scanDirectoryCount, oneMore ? 2 : 1);
        EXPECT_EQ(MessageRecorder::shown, oneMore ? std::vector<std::string>{
            "Too many files|Error: The maximum number of indexable files has been reached"} : std::vector<std::string>{});
    }
}
