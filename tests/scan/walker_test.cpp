#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <set>
#include <string>

#include "model/app_state.h"
#include "scan/walker.h"
#include "support/test_files.h"

namespace {

class WalkerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetSignature(nullptr);
        // What the worker does before it walks.
        appState.fileLimitReached = 0;
        appState.scanFileCount = 0;
        appState.scanDirectoryCount = 0;
        appState.scanTotalBytes = 0;
        std::memset(appState.ScanTable, 0, sizeof appState.ScanTable);
        list = {};
    }

    void Add(int slot, const std::string& path, DirectoryAction action)
    {
        std::strcpy(list.paths[slot], path.c_str());
        list.actions[slot] = action;
        list.count++;
    }

    void WalkAll()
    {
        for (int slot = 0; slot < MAX_DIRECTORIES; ++slot) {
            if (list.actions[slot] == Include) WalkDirectory(list.paths[slot], list);
        }
    }

    // Each recorded path with its size and checksum.
    std::set<std::string> Recorded() const
    {
        std::set<std::string> out;
        for (int i = 0; i < appState.scanFileCount; ++i) {
            const FileRecord& r = appState.ScanTable[i];
            out.insert(std::string(r.path) + " " + std::to_string(r.details.size) + " " +
                       std::to_string(r.details.checksum));
        }
        return out;
    }

    // A folder of this test's own holding the files named, folders made on the way.
    static std::string Tree(const std::string& name, std::initializer_list<const char*> files)
    {
        std::string root = MakeTestFolder(name);
        for (std::string file : files) {
            for (size_t at = file.find('\\', 1); at != std::string::npos; at = file.find('\\', at + 1)) {
                MakeFolder(root + file.substr(0, at));
            }
            WriteTestFile(root + file, "x");
        }
        return root;
    }

    DirectoryList list;
};

}  // namespace

TEST_F(WalkerTest, ExcludeEntriesArePrefixTestsIgnoringCaseInAnySlot)
{
    std::string root = Tree("exclusion", {"\\a.txt", "\\Temp\\b.txt", "\\Temp2\\c.txt", "\\TempFiles\\d.txt",
                                          "\\keep\\e.txt", "\\keep\\sub\\f.txt", "\\zz-inside\\g.txt"});
    Add(0, root, Include);
    // An Include entry that an Exclude entry is a prefix of is skipped
    // without being counted.
    Add(1, root + "\\zz-inside", Include);
    // Behind empty slots, as removals in the configuration leave them.
    Add(7, root + "\\TEMP", Exclude);
    Add(9, root + "\\zz-", Exclude);
    WalkAll();
    std::string r = root.substr(2);
    EXPECT_EQ(Recorded(), (std::set<std::string>{r + "\\a.txt 1 0", r + "\\keep\\e.txt 1 0", r + "\\keep\\sub\\f.txt 1 0"}));
    EXPECT_EQ(appState.scanDirectoryCount, 3);  // root, keep, keep\sub
    EXPECT_EQ(appState.scanTotalBytes, 3u);
}

TEST_F(WalkerTest, PathsKeepTheDriveLetterAndFilesAreSummedOnlyWhenAsked)
{
    std::string root = MakeTestFolder("drive-letter");
    WriteTestFile(root + "\\abc.txt", "abc");
    WriteTestFile(root + "\\empty.txt", "");
    for (int asked : {0, 1}) {
        SetUp();
        Add(0, root, Include);
        appState.includeDriveLetter = asked;
        appState.calculateChecksums = asked;
        WalkAll();
        std::string r = asked ? root : root.substr(2);
        EXPECT_EQ(Recorded(), (std::set<std::string>{r + "\\abc.txt 3 " + (asked ? "1610" : "0"),
                                                      r + "\\empty.txt 0 " + (asked ? "255" : "0")}));
    }
}

// The count starts just below the limit: the rule is the same for the last
// few slots as for all of them.
TEST_F(WalkerTest, AFullTableShowsTheMessageOnlyForAFileBeyondIt)
{
    std::string root = Tree("limit", {"\\full\\1.txt", "\\full\\2.txt", "\\over\\1.txt", "\\over\\2.txt",
                                      "\\over\\3.txt", "\\after\\4.txt"});
    for (bool oneMore : {false, true}) {
        SetUp();
        Add(0, root + (oneMore ? "\\over" : "\\full"), Include);
        if (oneMore) Add(1, root + "\\after", Include);
        appState.scanFileCount = MAX_FILES - 2;
        MessageRecorder recorder;
        WalkAll();
        EXPECT_EQ(appState.scanFileCount, MAX_FILES);
        EXPECT_EQ(appState.fileLimitReached, oneMore ? 1 : 0);
        EXPECT_EQ(appState.scanDirectoryCount, oneMore ? 2 : 1);  // entered after the limit too
        EXPECT_EQ(MessageRecorder::shown, oneMore ? std::vector<std::string>{
            "Too many files|Error: The maximum number of indexable files has been reached"} : std::vector<std::string>{});
    }
}

// Paths longer than the records or the walk's buffers are skipped whole,
// never cut; nothing is written past a buffer.
TEST_F(WalkerTest, LongAndDeepPathsAreSkippedNotCut)
{
    std::string root = MakeTestFolder("long");
    // The extended form keeps lengths that plain paths cannot.
    std::wstring folder = L"\\\\?\\" + std::wstring(root.begin(), root.end());
    for (size_t length = root.size(); length < 560; length += 61) {
        folder += L"\\" + std::wstring(60, L'n');
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
        HANDLE f = CreateFileW((folder + L"\\f.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        ASSERT_NE(f, INVALID_HANDLE_VALUE);
        CloseHandle(f);
    }
    Add(0, root, Include);
    appState.includeDriveLetter = 1;
    WalkAll();
    ASSERT_GT(appState.scanFileCount, 0);
    for (int i = 0; i < appState.scanFileCount; ++i) {
        std::string path = appState.ScanTable[i].path;
        EXPECT_LE(path.size(), 299u);
        EXPECT_EQ(path.substr(path.size() - 6), "\\f.txt");  // the whole path of a real file
        EXPECT_EQ(path.compare(0, root.size(), root), 0);
    }
    EXPECT_LE(std::strlen(appState.currentDirectory), 255u);
}
