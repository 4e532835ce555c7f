#include "ui/shell.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>

#include "compare/system_folders.h"
#include "model/version.h"
#include "ui/control_ids.h"
#include "ui/program.h"

OPENFILENAMEA fileDialog;

namespace {

constexpr DWORD FILE_PATH_SIZE = MAX_PATH;  // 260
constexpr DWORD FILE_TITLE_SIZE = 512;
constexpr char HELP_FOLDER[] = "\\help\\html\\";
void FillPickerMembers(HWND owner, char* path, char* fileTitle, const char* filter,
                       const char* defaultExtension)
{
    fileDialog.hwndOwner = owner;
    fileDialog.lpstrFile = path;
    fileDialog.lpstrFileTitle = fileTitle;
    fileDialog.lpstrFilter = filter;
    fileDialog.lpstrDefExt = defaultExtension;
}

INT_PTR OnAboutInitDialog(HWND dialog)
{
    CentreWindowOver(dialog, mainWindow.load());
    char text[64];
    std::snprintf(text, sizeof text, "%s %s Build: %s", PRODUCT_NAME, PRODUCT_VERSION,
                  PRODUCT_BUILD);
    SetDlgItemTextA(dialog, IDC_ABOUT_VERSION, text);
    return TRUE;
}

INT_PTR OnAboutCommand(HWND dialog, WPARAM wParam)
{
    switch (LOWORD(wParam)) {
    case IDOK:
    case IDCANCEL:
        EndDialog(dialog, 0);
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

void PrepareFileDialog(HWND owner)
{
    std::memset(&fileDialog, 0, sizeof fileDialog);
    // The record as it was before Windows 2000 added its last three members:
    // the pickers then show the classic layout on every system.
    fileDialog.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    fileDialog.hwndOwner = owner;
    fileDialog.nMaxFile = FILE_PATH_SIZE;
    fileDialog.nMaxFileTitle = FILE_TITLE_SIZE;
}

BOOL ChooseFileToSave(HWND owner, char* path, char* fileTitle, const char* filter,
                      const char* defaultExtension, const char* title)
{
    FillPickerMembers(owner, path, fileTitle, filter, defaultExtension);
    fileDialog.lpstrTitle = title;
    fileDialog.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY;
    return GetSaveFileNameA(&fileDialog);
}

BOOL ChooseFileToOpen(HWND owner, char* path, char* fileTitle, const char* filter,
                      const char* defaultExtension)
{
    FillPickerMembers(owner, path, fileTitle, filter, defaultExtension);
    fileDialog.lpstrTitle = "Select a file to open";
    // No OFN_FILEMUSTEXIST: a name that cannot be opened is refused by the
    // loader, with its own message.
    fileDialog.Flags = OFN_HIDEREADONLY;
    return GetOpenFileNameA(&fileDialog);
}

int BrowseForDirectory(HWND owner, char* path)
{
    IMalloc* allocator = nullptr;
    if (FAILED(SHGetMalloc(&allocator)) || allocator == nullptr) {
        path[0] = '\0';
        return 0;
    }
    BROWSEINFOA info;
    std::memset(&info, 0, sizeof info);
    info.hwndOwner = owner;
    info.pidlRoot = nullptr;
    info.pszDisplayName = path;
    info.lpszTitle = "Select a directory to be scanned";
    info.ulFlags = BIF_RETURNONLYFSDIRS;

    int chosen = 0;
    PIDLIST_ABSOLUTE item = SHBrowseForFolderA(&info);
    if (item != nullptr) {
        chosen = SHGetPathFromIDListA(item, path) ? 1 : 0;
        allocator->Free(item);
    }
    allocator->Release();
    if (!chosen) {
        // The picker may have left a display name there; never hand it back
        // as if it were a path.
        path[0] = '\0';
    }
    return chosen;
}

void CentreWindowOver(HWND window, HWND other)
{
    RECT own;
    RECT over;
    if (!GetWindowRect(window, &own) || !GetWindowRect(other, &over)) {
        return;  // nothing to centre over: leave the window where it is
    }
    int w = own.right - own.left;
    int h = own.bottom - own.top;
    int pw = over.right - over.left;
    int ph = over.bottom - over.top;

    HDC dc = GetDC(window);
    int screenWidth = GetDeviceCaps(dc, HORZRES);
    int screenHeight = GetDeviceCaps(dc, VERTRES);
    ReleaseDC(window, dc);

    // The near edge wins: a window larger than the screen keeps its left
    // (top) part visible only when centring put it left of (above) the screen.
    int x = over.left + (pw - w) / 2;
    if (x < 0) {
        x = 0;
    } else if (x + w > screenWidth) {
        x = screenWidth - w;
    }
    int y = over.top + (ph - h) / 2;
    if (y < 0) {
        y = 0;
    } else if (y + h > screenHeight) {
        y = screenHeight - h;
    }
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

bool BuildHelpPagePath(char* buffer, const char* page)
{
    if (!GetProgramFolder(buffer, HELP_PATH_SIZE)) {
        return false;
    }
    size_t used = std::strlen(buffer);
    size_t needed = used + std::strlen(HELP_FOLDER) + std::strlen(page);
    if (needed >= HELP_PATH_SIZE) {
        buffer[0] = '\0';
        return false;
    }
    std::strcpy(buffer + used, HELP_FOLDER);
    std::strcat(buffer + used, page);
    return true;
}

void ShowHelpPage(HWND owner, const char* page)
{
    char path[HELP_PATH_SIZE];
    if (!BuildHelpPagePath(path, page)) {
        return;  // a page we cannot name is a page we cannot show
    }
    // A missing page or no program for HTML files shows nothing.
    ShellExecuteA(owner, "open", path, nullptr, nullptr, SW_SHOWNORMAL);
}

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnAboutInitDialog(dialog);
    case WM_COMMAND:
        return OnAboutCommand(dialog, wParam);
    default:
        return FALSE;
    }
}
