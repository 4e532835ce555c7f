#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "model/app_state.h"
#include "sigfile/byte_stream.h"
#include "sigfile/signature_file.h"
#include "support/message_recorder.h"
#include "support/signature_bytes.h"
#include "support/test_files.h"
#include "ui/shell.h"

namespace {

// What the replaced pickers answer, and what they were asked.
struct PickerScript {
    bool choose = true;
    std::string path;
    std::string title;
    std::string filter;  // with its NULs
    std::string defaultExtension;
    std::string dialogTitle;
    HWND owner = nullptr;
    HWND preparedOwner = nullptr;
    int calls = 0;
};
PickerScript picker;

BOOL FakeOpen(HWND owner, char* path, char* fileTitle, const char* filter, const char* defaultExtension)
{
    picker.calls++;
    picker.owner = owner;
    picker.preparedOwner = fileDialog.hwndOwner;
    const char* end = filter;
    while (end[0] != '\0' || end[1] != '\0') ++end;
    picker.filter.assign(filter, end + 2);
    picker.defaultExtension = defaultExtension;
    picker.dialogTitle.clear();
    if (picker.choose) {
        std::strcpy(path, picker.path.c_str());
        std::strcpy(fileTitle, picker.title.c_str());
    }
    return picker.choose;
}

BOOL FakeSave(HWND owner, char* path, char* fileTitle, const char* filter, const char* defaultExtension,
              const char* title)
{
    BOOL chosen = FakeOpen(owner, path, fileTitle, filter, defaultExtension);
    picker.dialogTitle = title;
    return chosen;
}

// Passes a number of bytes to the file, then refuses.
class BreakingSink : public ByteSink {
public:
    ByteSink* file = nullptr;
    size_t left = 0;
    size_t Write(const void* data, size_t size) override
    {
        size_t n = size < left ? size : left;
        left -= n;
        return file->Write(data, n);
    }
    bool Flush() override { return file->Flush(); }
};
BreakingSink breaking;

ByteSink& BreakAfterSomeBytes(ByteSink& file)
{
    breaking.file = &file;
    return breaking;
}

std::vector<unsigned char> ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

int FilesIn(const std::string& folder)
{
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
    int n = 0;
    if (find == INVALID_HANDLE_VALUE) return 0;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ++n;
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return n;
}

class SignatureFileTest : public ::testing::Test {
protected:
    HWND mainWindow = nullptr;
    std::string folder;

    void SetUp() override
    {
        mainWindow = CreateWindowA("STATIC", "main", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(mainWindow, nullptr);
        appState.mainWindow = mainWindow;
        picker = PickerScript();
        SetSignatureFilePickers(FakeSave, FakeOpen);
        ResetSignature(mainWindow);
        std::memset(appState.LoadedTable, 0, sizeof appState.LoadedTable);
        folder = MakeTestFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
    }

    void TearDown() override
    {
        SetSignatureFilePickers(nullptr, nullptr);
        SetSaveSinkWrapper(nullptr);
        appState.mainWindow = nullptr;
        DestroyWindow(mainWindow);
    }

    void Choose(const std::string& name)
    {
        picker.path = folder + "\\" + name;
        picker.title = name;
    }

    // The state a Create leaves: records in order, counts, options.
    static void CreateLike(int records)
    {
        for (int i = 0; i < records; ++i) {
            std::snprintf(appState.LoadedTable[i].path, RECORD_PATH_SIZE, "\\tree\\f%05d.dat", i);
            appState.LoadedTable[i].details = DetailsFor(static_cast<uint32_t>(i));
        }
        PublishText(appState.header.name, SIGNATURE_NAME_SIZE, "New signature");
        appState.header.directoryCount = 4;
        appState.header.fileCount = records;
        appState.header.totalBytes = 5000000000LL + records;
        DirectoryList& list = appState.directoryList;
        list.count = 2;
        std::strcpy(list.paths[0], "C:\\tree");
        list.actions[0] = Include;
        std::strcpy(list.paths[3], "C:\\tree\\skip");
        list.actions[3] = Exclude;
        list.includeDriveLetter = 1;
        list.calculateChecksums = 1;
        appState.includeDriveLetter = 1;
        appState.calculateChecksums = 1;
        appState.signatureLoaded = 1;
    }
};

TEST_F(SignatureFileTest, SaveThenLoadGivesBackTheSignatureAndNoOldRecord)
{
    MessageRecorder messages;
    CreateLike(10);
    Choose("ten.sig");
    SaveSignatureFile(mainWindow);
    CreateLike(1000);
    DirectoryList savedList = appState.directoryList;
    Choose("round trip.sig");
    SaveSignatureFile(mainWindow);

    EXPECT_EQ(picker.owner, mainWindow);
    EXPECT_EQ(picker.preparedOwner, mainWindow);
    EXPECT_EQ(picker.dialogTitle, "Select a signature file name");
    EXPECT_EQ(picker.filter, std::string("Signature Files (*.SIG)\0*.sig\0\0", 31));
    EXPECT_EQ(picker.defaultExtension, "sig");
    EXPECT_STREQ(appState.header.name, "round trip.sig");
    EXPECT_EQ(ReadFile(folder + "\\round trip.sig").size(), 8264u + 1000u * (4 + 16 + 36));

    ResetSignature(mainWindow);
    std::memset(appState.LoadedTable, 0x33, sizeof appState.LoadedTable);
    ASSERT_TRUE(LoadSignatureFile(mainWindow));
    EXPECT_EQ(picker.dialogTitle, "");
    EXPECT_STREQ(appState.header.name, "round trip.sig");
    EXPECT_EQ(appState.header.directoryCount, 4);
    EXPECT_EQ(appState.header.fileCount, 1000);
    EXPECT_EQ(appState.header.totalBytes, 5000001000LL);
    EXPECT_EQ(std::memcmp(&appState.directoryList, &savedList, sizeof savedList), 0);
    EXPECT_EQ(appState.includeDriveLetter, 1);
    EXPECT_EQ(appState.calculateChecksums, 1);
    FileDetails expected = DetailsFor(999);
    EXPECT_STREQ(appState.LoadedTable[999].path, "\\tree\\f00999.dat");
    EXPECT_EQ(std::memcmp(&appState.LoadedTable[999].details, &expected, sizeof expected), 0);
    EXPECT_EQ(appState.LoadedTable[1000].path[0], '\0');
    // Setting signatureLoaded is the Load command's part, not the loader's.
    EXPECT_EQ(appState.signatureLoaded, 0);

    Choose("ten.sig");
    ASSERT_TRUE(LoadSignatureFile(mainWindow));
    EXPECT_STREQ(appState.LoadedTable[9].path, "\\tree\\f00009.dat");
    FileRecord empty{};
    for (int i = 10; i < 1001; ++i) {
        ASSERT_EQ(std::memcmp(&appState.LoadedTable[i], &empty, sizeof empty), 0) << "slot " << i;
    }
    EXPECT_TRUE(messages.messages().empty());
}

TEST_F(SignatureFileTest, FailedLoadLeavesNoSignatureLoaded)
{
    MessageRecorder messages;
    SignatureBytes damaged(LAYOUT_CURRENT);
    damaged.Record("\\a").RawRecord(300, std::string(300, 'x'));
    std::vector<unsigned char> bytes = damaged.Bytes();
    WriteTestFile(folder + "\\damaged.sig", std::string(bytes.begin(), bytes.end()));

    CreateLike(5);
    Choose("damaged.sig");
    EXPECT_FALSE(LoadSignatureFile(mainWindow));
    Choose("missing.sig");
    CreateLike(5);
    EXPECT_FALSE(LoadSignatureFile(mainWindow));

    auto shown = messages.messages();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].text, "Error: Invalid length data found in signature file (08)");
    EXPECT_EQ(shown[1].text, "Error: Could not create the signature file");
    for (const auto& m : shown) {
        EXPECT_EQ(m.title, "Error reading signature file");
        EXPECT_EQ(m.owner, mainWindow);
        EXPECT_EQ(m.type, static_cast<UINT>(MB_OK | MB_ICONERROR));
    }
    EXPECT_STREQ(appState.header.name, "No signature loaded");
    EXPECT_EQ(appState.signatureLoaded, 0);
    EXPECT_EQ(appState.header.fileCount, 0);
    EXPECT_EQ(appState.directoryList.count, 0);
    EXPECT_EQ(appState.includeDriveLetter, 0);
    EXPECT_EQ(appState.calculateChecksums, 0);
}

TEST_F(SignatureFileTest, CancelledPickersChangeNothing)
{
    MessageRecorder messages;
    CreateLike(3);
    picker.choose = false;
    Choose("never.sig");
    SaveSignatureFile(mainWindow);
    EXPECT_FALSE(LoadSignatureFile(mainWindow));
    EXPECT_EQ(picker.calls, 2);
    EXPECT_TRUE(messages.messages().empty());
    EXPECT_STREQ(appState.header.name, "New signature");
    EXPECT_EQ(appState.signatureLoaded, 1);
    EXPECT_EQ(FilesIn(folder), 0);
}

TEST_F(SignatureFileTest, FailedSaveLeavesTheOldFileAndTheNameAsTheyWere)
{
    MessageRecorder messages;
    CreateLike(20);
    Choose("kept.sig");
    SaveSignatureFile(mainWindow);
    std::vector<unsigned char> before = ReadFile(folder + "\\kept.sig");
    ASSERT_FALSE(before.empty());

    struct Case {
        const char* name;
        size_t goodBytes;  // 0: the stream never breaks
        const char* text;
    } cases[] = {
        {"no such folder\\kept.sig", 0, "Error: Could not create the signature file"},
        {"kept.sig", 100, "Error: Could not write signature info to file"},
        {"kept.sig", 5000, "Error: Could not write directory list to signature file"},
        {"kept.sig", 9000, "Error: Could not write file details to signature file"},
    };
    for (const Case& c : cases) {
        CreateLike(3000);
        breaking.left = c.goodBytes;
        SetSaveSinkWrapper(c.goodBytes != 0 ? BreakAfterSomeBytes : nullptr);
        Choose(c.name);
        SaveSignatureFile(mainWindow);

        EXPECT_EQ(ReadFile(folder + "\\kept.sig"), before) << c.text;
        EXPECT_STREQ(appState.header.name, "New signature");
        EXPECT_EQ(FilesIn(folder), 1) << "a temporary file was left behind";
    }
    auto shown = messages.messages();
    ASSERT_EQ(shown.size(), 4u);
    for (size_t i = 0; i < shown.size(); ++i) {
        EXPECT_EQ(shown[i].text, cases[i].text);
        EXPECT_EQ(shown[i].title, "Error creating signature file");
        EXPECT_EQ(shown[i].type, static_cast<UINT>(MB_OK | MB_ICONERROR));
    }

    // Once the stream works again, the file is replaced whole.
    SetSaveSinkWrapper(nullptr);
    SaveSignatureFile(mainWindow);
    EXPECT_EQ(ReadFile(folder + "\\kept.sig").size(), 8264u + 3000u * (4 + 16 + 36));
    EXPECT_STREQ(appState.header.name, "kept.sig");
    EXPECT_EQ(FilesIn(folder), 1);
}

}  // namespace
