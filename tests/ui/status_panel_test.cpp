#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>

#include "model/app_state.h"
#include "ui/control_ids.h"
#include "ui/status_panel.h"

namespace {

// The panel's own template, in a window of a stand-in class of the same
// name, so that the fields are the real controls.
class StatusPanel : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        WNDCLASSEXA windowClass = {};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.cbWndExtra = DLGWINDOWEXTRA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "olvarin";
        RegisterClassExA(&windowClass);
    }

    void SetUp() override
    {
        window = CreateDialogParamA(GetModuleHandleA(nullptr), "OLVARIN", nullptr, nullptr, 0);
        ASSERT_NE(window, nullptr);
        ResetSignature(nullptr);
    }

    void TearDown() override { DestroyWindow(window); }

    std::string Field(int id) const
    {
        char text[300] = "";
        GetDlgItemTextA(window, id, text, sizeof text);
        return text;
    }

    bool Marked(int id) const { return IsDlgButtonChecked(window, id) == BST_CHECKED; }

    HWND window = nullptr;
};

}  // namespace

TEST_F(StatusPanel, ShowsTheLoadedSignatureAndTheScan)
{
    {
        std::lock_guard<std::mutex> lock(appState.textLock);
        std::strcpy(appState.header.name, "system.sig");
        appState.header.directoryCount = 12;
        appState.header.fileCount = -3;  // counts go out signed
        appState.header.totalBytes = 1572864;
    }
    appState.operationStatus = Sorting;
    appState.scanDirectoryCount = 4;
    appState.scanFileCount = 70000;
    appState.scanTotalBytes = 1048575;
    appState.calculateChecksums = 1;
    appState.currentChecksum = 4000000000u;  // unsigned
    appState.currentFileSize = 1234567;
    PublishText(appState.currentFile, STATUS_TEXT_SIZE, "\\data\\report.doc");
    PublishText(appState.currentDirectory, STATUS_TEXT_SIZE, "C:\\data");
    RefreshStatusPanel(window);

    EXPECT_EQ(Field(IDC_MAIN_NAME), "system.sig");
    EXPECT_EQ(Field(IDC_MAIN_STATUS), "Sorting index");
    EXPECT_EQ(Field(IDC_MAIN_DIRECTORIES), "12");
    EXPECT_EQ(Field(IDC_MAIN_FILES), "-3");
    EXPECT_EQ(Field(IDC_MAIN_TOTAL_SIZE), "1.5");
    EXPECT_EQ(Field(IDC_MAIN_SCAN_DIRECTORIES), "4");
    EXPECT_EQ(Field(IDC_MAIN_SCAN_FILES), "70000");
    EXPECT_EQ(Field(IDC_MAIN_SCAN_TOTAL_SIZE), "1.0");
    EXPECT_EQ(Field(IDC_MAIN_CHECKSUM), "4000000000");
    EXPECT_EQ(Field(IDC_MAIN_FILE_SIZE), "1234567");
    EXPECT_EQ(Field(IDC_MAIN_CURRENT_FILE), "\\data\\report.doc");
    EXPECT_EQ(Field(IDC_MAIN_CURRENT_DIRECTORY), "C:\\data");

    // Checksums off: the field says so whatever the value.
    appState.calculateChecksums = 0;
    RefreshStatusPanel(window);
    EXPECT_EQ(Field(IDC_MAIN_CHECKSUM), "N/A");
}

TEST_F(StatusPanel, StatusOutsideTheFourStatesLeavesTheField)
{
    appState.operationStatus = Building;
    RefreshStatusPanel(window);
    EXPECT_EQ(Field(IDC_MAIN_STATUS), "Building O/S signature");
    appState.operationStatus = 0;
    RefreshStatusPanel(window);
    EXPECT_EQ(Field(IDC_MAIN_STATUS), "Building O/S signature");
    appState.operationStatus = Comparing;
    RefreshStatusPanel(window);
    EXPECT_EQ(Field(IDC_MAIN_STATUS), "Comparing O/S signature");
}

TEST_F(StatusPanel, FileTimeIsLocalWithoutLeadingZerosOrNotAvailable)
{
    SYSTEMTIME local = {};
    local.wYear = 2008;
    local.wMonth = 3;
    local.wDay = 5;
    local.wHour = 9;
    local.wMinute = 7;
    local.wSecond = 3;
    FILETIME localTime = {};
    FILETIME utc = {};
    ASSERT_TRUE(SystemTimeToFileTime(&local, &localTime));
    ASSERT_TRUE(LocalFileTimeToFileTime(&localTime, &utc));
    appState.currentFileTimeLow = utc.dwLowDateTime;
    appState.currentFileTimeHigh = utc.dwHighDateTime;
    RefreshStatusPanel(window);
    EXPECT_EQ(Field(IDC_MAIN_FILE_TIME), "2008-3-5 9:7:3");

    appState.currentFileTimeLow = 0;
    RefreshStatusPanel(window);
    EXPECT_EQ(Field(IDC_MAIN_FILE_TIME), "N/A");
    appState.currentFileTimeLow = utc.dwLowDateTime;
    appState.currentFileTimeHigh = 0;
    RefreshStatusPanel(window);
    EXPECT_EQ(Field(IDC_MAIN_FILE_TIME), "N/A");
    // Beyond what the system can break down.
    appState.currentFileTimeHigh = 0xFFFFFFFFu;
    RefreshStatusPanel(window);
    EXPECT_EQ(Field(IDC_MAIN_FILE_TIME), "N/A");
}

TEST_F(StatusPanel, MarksOnlyTheSixAttributes)
{
    appState.currentAttributes = 0x20 | 0x4000 | 0x1;  // archive, encrypted, read only
    RefreshStatusPanel(window);
    EXPECT_TRUE(Marked(IDC_MAIN_ARCHIVE));
    EXPECT_FALSE(Marked(IDC_MAIN_COMPRESSED));
    EXPECT_TRUE(Marked(IDC_MAIN_ENCRYPTED));
    EXPECT_FALSE(Marked(IDC_MAIN_HIDDEN));
    EXPECT_TRUE(Marked(IDC_MAIN_READ_ONLY));
    EXPECT_FALSE(Marked(IDC_MAIN_SYSTEM));

    // Directory, normal, temporary and the rest mark nothing, and marks
    // from the previous file go.
    appState.currentAttributes = ~uint32_t(0x20 | 0x800 | 0x4000 | 0x2 | 0x1 | 0x4);
    RefreshStatusPanel(window);
    for (int id : {IDC_MAIN_ARCHIVE, IDC_MAIN_COMPRESSED, IDC_MAIN_ENCRYPTED, IDC_MAIN_HIDDEN, IDC_MAIN_READ_ONLY,
                   IDC_MAIN_SYSTEM}) {
        EXPECT_FALSE(Marked(id)) << id;
    }
}
