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

    std::string Refreshed(int id) const
    {
        RefreshStatusPanel(window);
        char text[300] = "";
        GetDlgItemTextA(window, id, text, sizeof text);
        return text;
    }

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
    appState.scanDirectoryCount = 4;
    appState.scanFileCount = 70000;
    appState.scanTotalBytes = 1048575;
    appState.calculateChecksums = 1;
    appState.currentChecksum = 4000000000u;  // unsigned
    appState.currentFileSize = 1234567;
    PublishText(appState.currentFile, STATUS_TEXT_SIZE, "\\data\\report.doc");
    PublishText(appState.currentDirectory, STATUS_TEXT_SIZE, "C:\\data");
    const struct { int id; const char* text; } fields[] = {
        {IDC_MAIN_NAME, "system.sig"}, {IDC_MAIN_DIRECTORIES, "12"}, {IDC_MAIN_FILES, "-3"},
        {IDC_MAIN_TOTAL_SIZE, "1.5"}, {IDC_MAIN_SCAN_DIRECTORIES, "4"}, {IDC_MAIN_SCAN_FILES, "70000"},
        {IDC_MAIN_SCAN_TOTAL_SIZE, "1.0"}, {IDC_MAIN_CHECKSUM, "4000000000"}, {IDC_MAIN_FILE_SIZE, "1234567"},
        {IDC_MAIN_CURRENT_FILE, "\\data\\report.doc"}, {IDC_MAIN_CURRENT_DIRECTORY, "C:\\data"},
    };
    for (const auto& field : fields) EXPECT_EQ(Refreshed(field.id), field.text) << field.id;

    appState.calculateChecksums = 0;  // whatever the value
    EXPECT_EQ(Refreshed(IDC_MAIN_CHECKSUM), "N/A");
}

TEST_F(StatusPanel, StatusNamesFourStatesAndOtherValuesLeaveTheField)
{
    const struct { int status; const char* text; } steps[] = {
        {Sorting, "Sorting index"}, {Building, "Building O/S signature"}, {0, "Building O/S signature"},
        {5, "Building O/S signature"}, {Comparing, "Comparing O/S signature"}, {Stopped, "Stopped"},
        {-1, "Stopped"},
    };
    for (const auto& step : steps) {
        appState.operationStatus = step.status;
        EXPECT_EQ(Refreshed(IDC_MAIN_STATUS), step.text) << step.status;
    }
}

TEST_F(StatusPanel, FileTimeIsLocalWithoutLeadingZerosOrNotAvailable)
{
    SYSTEMTIME local = {2008, 3, 0, 5, 9, 7, 3, 0};
    FILETIME localTime = {};
    FILETIME utc = {};
    ASSERT_TRUE(SystemTimeToFileTime(&local, &localTime));
    ASSERT_TRUE(LocalFileTimeToFileTime(&localTime, &utc));
    const struct { DWORD low, high; const char* text; } times[] = {
        {utc.dwLowDateTime, utc.dwHighDateTime, "2008-3-5 9:7:3"},
        {0, utc.dwHighDateTime, "N/A"},
        {utc.dwLowDateTime, 0, "N/A"},
        {utc.dwLowDateTime, 0xFFFFFFFFu, "N/A"},  // beyond what the system can break down
    };
    for (const auto& time : times) {
        appState.currentFileTimeLow = time.low;
        appState.currentFileTimeHigh = time.high;
        EXPECT_EQ(Refreshed(IDC_MAIN_FILE_TIME), time.text) << time.low << " " << time.high;
    }
}

TEST_F(StatusPanel, MarksOnlyTheSixAttributes)
{
    const int boxes[] = {IDC_MAIN_ARCHIVE, IDC_MAIN_COMPRESSED, IDC_MAIN_ENCRYPTED,
                         IDC_MAIN_HIDDEN, IDC_MAIN_READ_ONLY, IDC_MAIN_SYSTEM};
    const uint32_t bits[] = {0x20, 0x800, 0x4000, 0x2, 0x1, 0x4};
    // Each bit alone marks its own box; every other bit marks none, and
    // marks from the previous file go.
    for (int i = 0; i <= 6; ++i) {
        appState.currentAttributes = i < 6 ? bits[i] : ~uint32_t(0x20 | 0x800 | 0x4000 | 0x2 | 0x1 | 0x4);
        RefreshStatusPanel(window);
        for (int box = 0; box < 6; ++box) {
            EXPECT_EQ(IsDlgButtonChecked(window, boxes[box]) == BST_CHECKED, box == i) << i << " " << box;
        }
    }
}
