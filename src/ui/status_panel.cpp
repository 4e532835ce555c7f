#include "ui/status_panel.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "model/panel_format.h"
#include "ui/control_ids.h"
#include "ui/program.h"

namespace {

// The six attribute check boxes, in the order the panel writes them.
struct AttributeMark {
    int controlId;
    uint32_t bit;
};
constexpr AttributeMark ATTRIBUTE_MARKS[] = {
    {IDC_MAIN_ARCHIVE, FILE_ATTRIBUTE_ARCHIVE},     {IDC_MAIN_COMPRESSED, FILE_ATTRIBUTE_COMPRESSED},
    {IDC_MAIN_ENCRYPTED, FILE_ATTRIBUTE_ENCRYPTED}, {IDC_MAIN_HIDDEN, FILE_ATTRIBUTE_HIDDEN},
    {IDC_MAIN_READ_ONLY, FILE_ATTRIBUTE_READONLY},  {IDC_MAIN_SYSTEM, FILE_ATTRIBUTE_SYSTEM},
};

// What the panel shows of the loaded signature, copied under textLock so that
// the name and the counts belong to the same moment.
struct HeaderView {
    char name[SIGNATURE_NAME_SIZE];
    int32_t directoryCount;
    int32_t fileCount;
    uint64_t totalBytes;
};

HeaderView ReadHeader()
{
    HeaderView view;
    std::lock_guard<std::mutex> lock(appState.textLock);
    std::memcpy(view.name, appState.header.name, sizeof view.name);
    view.name[sizeof view.name - 1] = '\0';
    view.directoryCount = appState.header.directoryCount;
    view.fileCount = appState.header.fileCount;
    view.totalBytes = static_cast<uint64_t>(appState.header.totalBytes);
    return view;
}

void ShowMegabytes(HWND window, int id, uint64_t bytes)
{
    char text[PANEL_TEXT_SIZE];
    FormatMegabytes(bytes, text, sizeof text);
    SetDlgItemTextA(window, id, text);
}

void ShowFileTime(HWND window, uint32_t low, uint32_t high)
{
    if (low == 0 || high == 0) {
        SetDlgItemTextA(window, IDC_MAIN_FILE_TIME, "N/A");
        return;
    }
    FILETIME utc = {low, high};
    FILETIME local = {};
    SYSTEMTIME time = {};
    FileTimeToLocalFileTime(&utc, &local);
    if (!FileTimeToSystemTime(&local, &time)) {
        // A time the system cannot break down has no date to show.
        SetDlgItemTextA(window, IDC_MAIN_FILE_TIME, "N/A");
        return;
    }
    char text[PANEL_TEXT_SIZE];
    FormatFileTime(time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond,
                   text, sizeof text);
    SetDlgItemTextA(window, IDC_MAIN_FILE_TIME, text);
}

}  // namespace

void RefreshStatusPanel(HWND mainWindow)
{
    constexpr auto relaxed = std::memory_order_relaxed;
    HeaderView header = ReadHeader();

    SetDlgItemTextA(mainWindow, IDC_MAIN_NAME, header.name);
    const char* status = StatusText(appState.operationStatus.load(relaxed));
    if (status != nullptr) {
        SetDlgItemTextA(mainWindow, IDC_MAIN_STATUS, status);
    }
    SetDlgItemInt(mainWindow, IDC_MAIN_DIRECTORIES, static_cast<UINT>(header.directoryCount), TRUE);
    SetDlgItemInt(mainWindow, IDC_MAIN_FILES, static_cast<UINT>(header.fileCount), TRUE);
    ShowMegabytes(mainWindow, IDC_MAIN_TOTAL_SIZE, header.totalBytes);
    SetDlgItemInt(mainWindow, IDC_MAIN_SCAN_DIRECTORIES,
                  static_cast<UINT>(appState.scanDirectoryCount.load(relaxed)), TRUE);
    SetDlgItemInt(mainWindow, IDC_MAIN_SCAN_FILES, static_cast<UINT>(appState.scanFileCount.load(relaxed)),
                  TRUE);
    if (appState.calculateChecksums.load(relaxed) != 0) {
        SetDlgItemInt(mainWindow, IDC_MAIN_CHECKSUM, appState.currentChecksum.load(relaxed), FALSE);
    } else {
        SetDlgItemTextA(mainWindow, IDC_MAIN_CHECKSUM, "N/A");
    }

    char text[STATUS_TEXT_SIZE];
    appState.ReadPublishedText(appState.currentFile, text, sizeof text);
    SetDlgItemTextA(mainWindow, IDC_MAIN_CURRENT_FILE, text);
    appState.ReadPublishedText(appState.currentDirectory, text, sizeof text);
    SetDlgItemTextA(mainWindow, IDC_MAIN_CURRENT_DIRECTORY, text);

    char size[PANEL_TEXT_SIZE];
    std::snprintf(size, sizeof size, "%lld", static_cast<long long>(appState.currentFileSize.load(relaxed)));
    SetDlgItemTextA(mainWindow, IDC_MAIN_FILE_SIZE, size);
    ShowMegabytes(mainWindow, IDC_MAIN_SCAN_TOTAL_SIZE,
                  static_cast<int64_t>(appState.scanTotalBytes.load(relaxed)));
    ShowFileTime(mainWindow, appState.currentFileTimeLow.load(relaxed),
                 appState.currentFileTimeHigh.load(relaxed));

    uint32_t attributes = appState.currentAttributes.load(relaxed);
    for (const AttributeMark& mark : ATTRIBUTE_MARKS) {
        WPARAM state = (attributes & mark.bit) != 0 ? BST_CHECKED : BST_UNCHECKED;
        SendDlgItemMessageA(mainWindow, mark.controlId, BM_SETCHECK, state, 0);
    }
}
