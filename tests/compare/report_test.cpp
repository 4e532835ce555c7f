#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "compare/report.h"
#include "model/app_state.h"
#include "support/message_recorder.h"
#include "support/test_files.h"

namespace {

constexpr char CANNOT_VIEW_TEXT[] =
    "A comparision result file has not yet been created or Olvarin\n"
    "could not start your default text editor (eg. Notepad)\n"
    "or you have no default editor for '.txt' files.\n"
    "\n"
    "If a comparision result file is available, you\n"
    "can open the result file, (olvarinresult.txt) manually\n"
    "\n"
    "If a comparision result file is not available, you\n"
    "can create one with the Compare Signature button\n";

std::string ProgramFolder()
{
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    *std::strrchr(path, '\\') = '\0';
    return path;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The documents folder the report is told about, and what the lookup saw.
std::string documentsFolder;
int askedFolder = 0;
DWORD askedFlags = 0xFFFF;

HRESULT FakeDocuments(HWND, int folder, HANDLE, DWORD flags, char* path)
{
    askedFolder = folder;
    askedFlags = flags;
    std::strcpy(path, documentsFolder.c_str());
    return S_OK;
}

HRESULT NoDocuments(HWND, int, HANDLE, DWORD, char*)
{
    return E_FAIL;
}

class ReportTest : public ::testing::Test {
protected:
    // The test prefix opens ".txt" files with a recorder that appends each
    // path it is given to this log.
    static std::string OpenLog() { return TestFilesRoot() + "\\opened.log"; }

    void SetUp() override
    {
        documentsFolder = MakeTestFolder("report-documents");
        SetFolderLookup(FakeDocuments);
        DeleteFileA(OpenLog().c_str());
        std::memset(&appState.differenceTable, 0, sizeof appState.differenceTable);
        std::memset(appState.ScanTable, 0, sizeof appState.ScanTable);
        std::memset(appState.LoadedTable, 0, sizeof appState.LoadedTable);
        appState.mainWindow = nullptr;
    }

    void TearDown() override { SetFolderLookup(nullptr); }

    std::string ResultPath() const
    {
        return documentsFolder + "\\Quillory\\Olvarin\\olvarinresult.txt";
    }

    // What the recorder was asked to open, waiting for it to start.
    static std::string Opened(int waitMs = 10000)
    {
        for (int waited = 0; waited <= waitMs; waited += 100) {
            std::string log = ReadFile(OpenLog());
            if (!log.empty() && log.back() == '\n') return log;
            Sleep(100);
        }
        return "";
    }

    static void Add(int32_t kind, int32_t scanIndex, int32_t loadedIndex)
    {
        DifferenceTable& table = appState.differenceTable;
        table.entries[table.entryCount++] = {kind, scanIndex, loadedIndex};
    }

    MessageRecorder recorder;
};

TEST_F(ReportTest, WritesTheReportInTheDocumentsFolderAndOpensItWithTheShell)
{
    std::strcpy(appState.ScanTable[0].path, "\\Windows\\System32\\newtool.dll");
    std::strcpy(appState.LoadedTable[0].path, "\\Program Files\\Utility\\readme.txt");
    Add(Extra, 0, -1);
    Add(Missing, -1, 0);

    WriteResultReport();

    EXPECT_TRUE(recorder.messages().empty());
    EXPECT_EQ(askedFolder, CSIDL_PERSONAL | CSIDL_FLAG_CREATE);
    EXPECT_EQ(askedFlags, static_cast<DWORD>(SHGFP_TYPE_CURRENT));
    // Written in binary: each line ends in exactly one CR LF.
    EXPECT_EQ(ReadFile(ResultPath()),
              "**** Olvarin Result file V1.3 build 1001 ****\r\n\r\n"
              "**** Extra files on this PC ****\r\n"
              "\\Windows\\System32\\newtool.dll\r\n"
              "**** Missing files on this PC ****\r\n"
              "\\Program Files\\Utility\\readme.txt\r\n");
    std::string opened = Opened();
    EXPECT_EQ(lstrcmpiA(opened.c_str(), (ResultPath() + "\n").c_str()), 0) << opened;

    // A second report replaces the first one whole; without a documents
    // folder it goes beside the program.
    const std::string shortReport = "**** Olvarin Result file V1.3 build 1001 ****\r\n\r\n"
                                    "**** Extra files on this PC ****\r\n\\Windows\\System32\\newtool.dll\r\n";
    appState.differenceTable.entryCount = 1;
    for (bool documents : {true, false}) {
        if (!documents) SetFolderLookup(NoDocuments);
        std::string expected = documents ? ResultPath() : ProgramFolder() + "\\olvarinresult.txt";
        DeleteFileA(OpenLog().c_str());
        WriteResultReport();
        EXPECT_EQ(ReadFile(expected), shortReport);
        opened = Opened();
        EXPECT_EQ(lstrcmpiA(opened.c_str(), (expected + "\n").c_str()), 0) << opened;
        if (!documents) DeleteFileA(expected.c_str());
    }
}

TEST_F(ReportTest, AReportThatCannotBeWrittenWholeSaysSoAndOpensNothing)
{
    appState.mainWindow = GetDesktopWindow();
    std::strcpy(appState.ScanTable[0].path, "\\a");
    Add(Extra, 0, -1);
    // A folder where the file should go: it cannot be created.
    MakeFolder(documentsFolder + "\\Quillory");
    MakeFolder(documentsFolder + "\\Quillory\\Olvarin");
    MakeFolder(ResultPath());
    WriteResultReport();
    // The test run's setup links this file to the Linux /dev/full, where
    // every write fails for want of space.
    documentsFolder = TestFilesRoot() + "\\full-disk";
    WriteResultReport();

    auto messages = recorder.messages();
    ASSERT_EQ(messages.size(), 2u);
    for (const auto& m : messages) {
        EXPECT_EQ(m.text, "Could not create the Olvarin logfile");
        EXPECT_EQ(m.title, "Error");
        EXPECT_EQ(m.type, static_cast<UINT>(MB_OK));
        EXPECT_EQ(m.owner, GetDesktopWindow());
    }
    EXPECT_EQ(Opened(1000), "");
}

TEST_F(ReportTest, ViewingWithoutAResultFileWarns)
{
    appState.mainWindow = GetDesktopWindow();
    ViewResult(nullptr);

    auto messages = recorder.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, CANNOT_VIEW_TEXT);
    EXPECT_EQ(messages[0].title, "Error");
    EXPECT_EQ(messages[0].type, static_cast<UINT>(MB_ICONEXCLAMATION | MB_OK));
    EXPECT_EQ(messages[0].owner, GetDesktopWindow());
    EXPECT_EQ(Opened(1000), "");
    // Looking for the file made its folders, as every path build does.
    EXPECT_TRUE(Exists(documentsFolder + "\\Quillory\\Olvarin"));
}

}  // namespace
