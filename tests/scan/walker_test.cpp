#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "model/app_state.h"
#include "scan/walker.h"
#include "support/message_recorder.h"
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
    }

    void AddEntry(int slot, const std::string& path, DirectoryAction action)
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

    std::set<std::string> RecordedPaths() const
    {
        std::set<std::string> paths;
        for (int i = 0; i < appState.scanFileCount; ++i) paths.insert(appState.ScanTable[i].path);
        return paths;
    }

    const FileRecord* Find(const std::string& path) const
    {
        for (int i = 0; i < appState.scanFileCount; ++i) {
            if (path == appState.ScanTable[i].path) return &appState.ScanTable[i];
        }
        return nullptr;
    }

    DirectoryList list = {};
};

std::string WithoutDrive(const std::string& path) { return path.substr(2); }

}  // namespace

TEST_F(WalkerTest, ExcludeEntriesArePrefixTestsIgnoringCaseInAnySlot)
{
    std::string root = MakeTestFolder("exclusion");
    for (const char* dir : {"\\Temp", "\\Temp2", "\\TempFiles", "\\keep", "\\keep\\sub"}) {
        MakeFolder(root + dir);
    }
    for (const char* file : {"\\a.txt", "\\Temp\\b.txt", "\\Temp2\\c.txt", "\\TempFiles\\d.txt",
                             "\\keep\\e.txt", "\\keep\\sub\\f.txt"}) {
        WriteTestFile(root + file, "x");
    }
    AddEntry(0, root, Include);
    // Behind empty slots, as removals in the configuration leave them.
    AddEntry(7, root + "\\TEMP", Exclude);

    WalkAll();

    std::string r = WithoutDrive(root);
    EXPECT_EQ(RecordedPaths(),
              (std::set<std::string>{r + "\\a.txt", r + "\\keep\\e.txt", r + "\\keep\\sub\\f.txt"}));
    EXPECT_EQ(appState.scanDirectoryCount, 3);  // root, keep, keep\sub
    EXPECT_EQ(appState.scanTotalBytes, 3u);
}

TEST_F(WalkerTest, ExcludePrefixOfAnIncludeSkipsItWithoutCountingIt)
{
    std::string root = MakeTestFolder("excluded-include");
    WriteTestFile(root + "\\a.txt", "x");
    AddEntry(0, root, Include);
    AddEntry(1, root.substr(0, root.size() - 3), Exclude);

    WalkAll();

    EXPECT_EQ(appState.scanFileCount, 0);
    EXPECT_EQ(appState.scanDirectoryCount, 0);
}

TEST_F(WalkerTest, RecordsPathsWithOrWithoutTheDriveLetter)
{
    std::string root = MakeTestFolder("drive-letter");
    WriteTestFile(root + "\\f.txt", "hello");
    AddEntry(0, root, Include);

    WalkAll();
    ASSERT_EQ(appState.scanFileCount, 1);
    EXPECT_EQ(std::string(appState.ScanTable[0].path), WithoutDrive(root) + "\\f.txt");
    EXPECT_EQ(std::string(appState.currentFile), WithoutDrive(root) + "\\f.txt");

    SetUp();
    appState.includeDriveLetter = 1;
    WalkAll();
    ASSERT_EQ(appState.scanFileCount, 1);
    EXPECT_EQ(std::string(appState.ScanTable[0].path), root + "\\f.txt");
    EXPECT_EQ(appState.ScanTable[0].details.size, 5u);
    EXPECT_EQ(appState.ScanTable[0].details.reserved, 0u);
    EXPECT_EQ(appState.currentFileSize, 5);
}

TEST_F(WalkerTest, RecordsHiddenAndSystemFilesAndDescendsDotDotDot)
{
    std::string root = MakeTestFolder("hidden");
    WriteTestFile(root + "\\h.txt", "x");
    SetFileAttributesA((root + "\\h.txt").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    // Windows names drop trailing dots; the extended form keeps them.
    std::wstring dots = L"\\\\?\\" + std::wstring(root.begin(), root.end()) + L"\\...";
    ASSERT_TRUE(CreateDirectoryW(dots.c_str(), nullptr));
    HANDLE f = CreateFileW((dots + L"\\in.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    CloseHandle(f);
    AddEntry(0, root, Include);

    WalkAll();

    std::string r = WithoutDrive(root);
    // "..." is entered like any directory; whether the system then lists it
    // is the system's affair (Win32 path rules drop trailing dots).
    EXPECT_EQ(appState.scanDirectoryCount, 2);
    std::set<std::string> paths = RecordedPaths();
    EXPECT_EQ(paths.count(r + "\\h.txt"), 1u);
    EXPECT_LE(paths.size(), 2u);
    const FileRecord* hidden = Find(r + "\\h.txt");
    ASSERT_NE(hidden, nullptr);
    EXPECT_TRUE(hidden->details.attributes & FILE_ATTRIBUTE_HIDDEN);
}

TEST_F(WalkerTest, DirectoryThatCannotBeEnumeratedIsCountedWithoutRecords)
{
    std::string root = MakeTestFolder("missing");
    AddEntry(0, root + "\\does-not-exist", Include);

    WalkAll();

    EXPECT_EQ(appState.scanDirectoryCount, 1);
    EXPECT_EQ(appState.scanFileCount, 0);
    EXPECT_STREQ(appState.currentDirectory, (root + "\\does-not-exist").c_str());
}

TEST_F(WalkerTest, ChecksumsFollowTheOption)
{
    std::string root = MakeTestFolder("checksums");
    WriteTestFile(root + "\\abc.txt", "abc");
    WriteTestFile(root + "\\empty.txt", "");
    AddEntry(0, root, Include);
    std::string r = WithoutDrive(root);

    WalkAll();
    EXPECT_EQ(Find(r + "\\abc.txt")->details.checksum, 0u);
    EXPECT_EQ(Find(r + "\\empty.txt")->details.checksum, 0u);

    SetUp();
    appState.calculateChecksums = 1;
    WalkAll();
    EXPECT_EQ(Find(r + "\\abc.txt")->details.checksum, 1610u);
    EXPECT_EQ(Find(r + "\\empty.txt")->details.checksum, 255u);
}

// The limit is reached by starting the count just below it: the rule is the
// same for the last few slots as for all of them.
TEST_F(WalkerTest, FullTableWithNoFurtherEntryShowsNoMessage)
{
    std::string root = MakeTestFolder("limit-exact");
    WriteTestFile(root + "\\1.txt", "x");
    WriteTestFile(root + "\\2.txt", "x");
    AddEntry(0, root, Include);
    appState.scanFileCount = MAX_FILES - 2;
    MessageRecorder recorder;

    WalkAll();

    EXPECT_EQ(appState.scanFileCount, MAX_FILES);
    EXPECT_EQ(appState.fileLimitReached, 0);
    EXPECT_TRUE(recorder.messages().empty());
}

TEST_F(WalkerTest, OneEntryMoreThanTheTableHoldsShowsTheMessageOnce)
{
    std::string root = MakeTestFolder("limit-over");
    MakeFolder(root + "\\first");
    MakeFolder(root + "\\second");
    for (const char* name : {"\\1.txt", "\\2.txt", "\\3.txt"}) WriteTestFile(root + "\\first" + name, "x");
    WriteTestFile(root + "\\second\\4.txt", "x");
    AddEntry(0, root + "\\first", Include);
    AddEntry(1, root + "\\second", Include);
    appState.scanFileCount = MAX_FILES - 2;
    MessageRecorder recorder;

    WalkAll();

    EXPECT_EQ(appState.scanFileCount, MAX_FILES);
    EXPECT_EQ(appState.fileLimitReached, 1);
    EXPECT_EQ(appState.scanDirectoryCount, 2);  // the second is still entered
    auto messages = recorder.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Error: The maximum number of indexable files has been reached");
    EXPECT_EQ(messages[0].title, "Too many files");
    EXPECT_EQ(messages[0].type, static_cast<UINT>(MB_ICONWARNING | MB_OK));
}

TEST_F(WalkerTest, StopEndsTheWalkBeforeTheNextEntry)
{
    std::string root = MakeTestFolder("stopped");
    WriteTestFile(root + "\\a.txt", "x");
    AddEntry(0, root, Include);
    appState.stopRequested = 1;

    WalkAll();

    EXPECT_EQ(appState.scanFileCount, 0);
    EXPECT_EQ(appState.scanDirectoryCount, 1);
}

// Paths longer than the records or the walk's buffers are skipped whole,
// never cut; nothing is written past a buffer.
TEST_F(WalkerTest, LongAndDeepPathsAreSkippedNotTruncated)
{
    std::string root = MakeTestFolder("long");
    std::wstring wide = L"\\\\?\\" + std::wstring(root.begin(), root.end());
    std::string dir = root;
    // Nested folders of 60-character names until the path passes 500.
    std::string name(60, 'n');
    while (dir.size() < 560) {
        dir += "\\" + name;
        wide += L"\\" + std::wstring(name.begin(), name.end());
        ASSERT_TRUE(CreateDirectoryW(wide.c_str(), nullptr));
        HANDLE f = CreateFileW((wide + L"\\f.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(f, INVALID_HANDLE_VALUE);
        CloseHandle(f);
    }
    AddEntry(0, root, Include);
    appState.includeDriveLetter = 1;

    WalkAll();

    ASSERT_GT(appState.scanFileCount, 0);
    for (int i = 0; i < appState.scanFileCount; ++i) {
        std::string path = appState.ScanTable[i].path;
        EXPECT_LE(path.size(), 299u);
        // Every recorded path names a real file: the whole path, ending in f.txt.
        EXPECT_EQ(path.substr(path.size() - 6), "\\f.txt");
        EXPECT_EQ(path.compare(0, root.size(), root), 0);
    }
    EXPECT_LE(std::strlen(appState.currentDirectory), 255u);
    EXPECT_LE(std::strlen(appState.currentFile), 255u);
}
