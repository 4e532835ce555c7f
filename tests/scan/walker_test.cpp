#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <set>
#include <string>
#include <tuple>

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

    // Creates a folder through the extended form, which keeps names and
    // lengths that plain paths cannot.
    static void MakeExtended(const std::wstring& folder)
    {
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
        WriteTestFile(folder + L"\\f.txt", "");
    }

    DirectoryList list = {};
};

std::string WithoutDrive(const std::string& path) { return path.substr(2); }
std::wstring Extended(const std::string& path) { return L"\\\\?\\" + std::wstring(path.begin(), path.end()); }

}  // namespace

TEST_F(WalkerTest, ExcludeEntriesArePrefixTestsIgnoringCaseInAnySlot)
{
    std::string root = Tree("exclusion", {"\\a.txt", "\\Temp\\b.txt", "\\Temp2\\c.txt", "\\TempFiles\\d.txt",
                                          "\\keep\\e.txt", "\\keep\\sub\\f.txt", "\\zz-inside\\g.txt"});
    AddEntry(0, root, Include);
    // An Include entry that an Exclude entry is a prefix of is skipped
    // without being counted.
    AddEntry(1, root + "\\zz-inside", Include);
    // Behind empty slots, as removals in the configuration leave them.
    AddEntry(7, root + "\\TEMP", Exclude);
    AddEntry(9, root + "\\zz-", Exclude);

    WalkAll();

    std::string r = WithoutDrive(root);
    EXPECT_EQ(RecordedPaths(), (std::set<std::string>{r + "\\a.txt", r + "\\keep\\e.txt", r + "\\keep\\sub\\f.txt"}));
    EXPECT_EQ(appState.scanDirectoryCount, 3);  // root, keep, keep\sub
    EXPECT_EQ(appState.scanTotalBytes, 3u);
}

TEST_F(WalkerTest, RecordsPathsWithOrWithoutTheDriveLetterAndChecksumsOnlyWhenAsked)
{
    std::string root = MakeTestFolder("drive-letter");
    WriteTestFile(root + "\\abc.txt", "abc");
    WriteTestFile(root + "\\empty.txt", "");
    AddEntry(0, root, Include);

    for (int withDrive : {0, 1}) {
        SetUp();
        appState.includeDriveLetter = withDrive;
        appState.calculateChecksums = withDrive;
        WalkAll();
        std::string r = withDrive ? root : WithoutDrive(root);
        ASSERT_EQ(RecordedPaths(), (std::set<std::string>{r + "\\abc.txt", r + "\\empty.txt"})) << withDrive;
        EXPECT_EQ(Find(r + "\\abc.txt")->details.size, 3u);
        EXPECT_EQ(Find(r + "\\abc.txt")->details.reserved, 0u);
        EXPECT_EQ(Find(r + "\\abc.txt")->details.checksum, withDrive ? 1610u : 0u);
        EXPECT_EQ(Find(r + "\\empty.txt")->details.checksum, withDrive ? 255u : 0u);
        EXPECT_EQ(std::string(appState.currentFile).compare(0, r.size() + 1, r + "\\"), 0) << appState.currentFile;
    }
}

TEST_F(WalkerTest, RecordsHiddenAndSystemFilesAndEntersDotDotDot)
{
    std::string root = Tree("hidden", {"\\h.txt"});
    SetFileAttributesA((root + "\\h.txt").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    MakeExtended(Extended(root) + L"\\...");  // plain names drop trailing dots
    AddEntry(0, root, Include);

    WalkAll();

    // Whether the system then lists "..." is its own affair.
    EXPECT_EQ(appState.scanDirectoryCount, 2);
    EXPECT_LE(appState.scanFileCount, 2);
    const FileRecord* hidden = Find(WithoutDrive(root) + "\\h.txt");
    ASSERT_NE(hidden, nullptr);
    EXPECT_TRUE(hidden->details.attributes & FILE_ATTRIBUTE_HIDDEN);
}

TEST_F(WalkerTest, MissingDirectoryIsCountedWithoutRecordsAndStopEndsTheWalk)
{
    std::string root = Tree("missing", {"\\a.txt"});
    AddEntry(0, root + "\\does-not-exist", Include);
    WalkAll();
    EXPECT_EQ(appState.scanDirectoryCount, 1);
    EXPECT_EQ(appState.scanFileCount, 0);
    EXPECT_STREQ(appState.currentDirectory, (root + "\\does-not-exist").c_str());

    SetUp();
    list = {};
    AddEntry(0, root, Include);
    appState.stopRequested = 1;
    WalkAll();
    EXPECT_EQ(appState.scanFileCount, 0);
    EXPECT_EQ(appState.scanDirectoryCount, 1);
}

// The count starts just below the limit: the rule is the same for the last
// few slots as for all of them.
TEST_F(WalkerTest, FullTableShowsTheMessageOnlyForAnEntryBeyondIt)
{
    std::string root = Tree("limit", {"\\full\\1.txt", "\\full\\2.txt", "\\over\\1.txt", "\\over\\2.txt",
                                      "\\over\\3.txt", "\\after\\4.txt"});
    for (bool oneMore : {false, true}) {
        SCOPED_TRACE(oneMore ? "one more" : "exactly full");
        SetUp();
        list = {};
        AddEntry(0, root + (oneMore ? "\\over" : "\\full"), Include);
        if (oneMore) AddEntry(1, root + "\\after", Include);
        appState.scanFileCount = MAX_FILES - 2;
        MessageRecorder recorder;

        WalkAll();

        EXPECT_EQ(appState.scanFileCount, MAX_FILES);
        EXPECT_EQ(appState.fileLimitReached, oneMore ? 1 : 0);
        EXPECT_EQ(appState.scanDirectoryCount, oneMore ? 2 : 1);  // entered after the limit too
        auto messages = recorder.messages();
        ASSERT_EQ(messages.size(), oneMore ? 1u : 0u);
        if (oneMore) {
            EXPECT_EQ(messages[0].text, "Error: The maximum number of indexable files has been reached");
            EXPECT_EQ(messages[0].title, "Too many files");
            EXPECT_EQ(messages[0].type, static_cast<UINT>(MB_ICONWARNING | MB_OK));
        }
    }
}

// Paths longer than the records or the walk's buffers are skipped whole,
// never cut; nothing is written past a buffer.
TEST_F(WalkerTest, LongAndDeepPathsAreSkippedNotTruncated)
{
    std::string root = MakeTestFolder("long");
    std::wstring folder = Extended(root);
    const std::string name(60, 'n');
    for (std::string dir = root; dir.size() < 560; dir += "\\" + name) {
        folder += L"\\" + std::wstring(name.begin(), name.end());
        MakeExtended(folder);
    }
    AddEntry(0, root, Include);
    appState.includeDriveLetter = 1;

    WalkAll();

    // Every file whose path fits is reached, however long; the first folder
    // that does not fit is counted once and not entered.
    int fits = 0, skipped = 1;
    for (size_t folder = root.size() + 61; folder <= 299; folder += 61) ++(folder + 6 > 299 ? skipped : fits);
    EXPECT_EQ(appState.scanFileCount, fits);
    EXPECT_EQ(appState.scanSkippedCount, skipped);
    for (int i = 0; i < appState.scanFileCount; ++i) {
        std::string path = appState.ScanTable[i].path;
        EXPECT_LE(path.size(), 299u);
        // The whole path of a real file.
        EXPECT_EQ(path.substr(path.size() - 6), "\\f.txt");
        EXPECT_EQ(path.compare(0, root.size(), root), 0);
    }
    EXPECT_LE(std::strlen(appState.currentDirectory), 255u);
    EXPECT_LE(std::strlen(appState.currentFile), 255u);
}

// Names the ANSI code page lacks are reached by their true names and recorded
// as the ANSI functions spell them; two that read alike are both kept.
TEST_F(WalkerTest, NamesOutsideTheCodePageAreReadAndRecordedAsTheAnsiFunctionsListThem)
{
    std::string root = MakeTestFolder("names");
    std::wstring folder = Extended(root);
    ASSERT_TRUE(CreateDirectoryW((folder + L"\\Ωmega").c_str(), nullptr));
    WriteTestFile(folder + L"\\日本.txt", "abc");
    WriteTestFile(folder + L"\\中文.txt", "");
    WriteTestFile(folder + L"\\café.txt", "abc");
    WriteTestFile(folder + L"\\Ωmega\\in.txt", "a");
    AddEntry(0, root, Include);
    appState.calculateChecksums = 1;

    WalkAll();

    std::multiset<std::string> listed;
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((root + "\\*").c_str(), &entry);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    do {
        if (entry.cFileName[0] != '.') listed.insert(entry.cFileName);
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    EXPECT_EQ(listed, (std::multiset<std::string>{"??.txt", "??.txt", "caf\xE9.txt", "Omega"}));

    using Seen = std::tuple<std::string, uint64_t, uint32_t>;
    std::multiset<Seen> recorded;
    for (int i = 0; i < appState.scanFileCount; ++i) {
        const FileRecord& r = appState.ScanTable[i];
        recorded.insert(Seen(r.path, r.details.size, r.details.checksum));
    }
    std::string r = WithoutDrive(root);
    EXPECT_EQ(recorded, (std::multiset<Seen>{{r + "\\??.txt", 3, 1610}, {r + "\\??.txt", 0, 255},
                                            {r + "\\caf\xE9.txt", 3, 1610}, {r + "\\Omega\\in.txt", 1, 607}}));
    EXPECT_EQ(appState.scanSkippedCount, 0);
}
