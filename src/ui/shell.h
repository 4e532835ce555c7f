// Services from the shell and the common dialogs: the pickers, centring,
// help pages, the known-folder lookup and the About box.
#pragma once

#include <windows.h>
#include <commdlg.h>

// The one file-picker record that both pickers fill in.
extern OPENFILENAMEA fileDialog;

void PrepareFileDialog(HWND owner);

// The caller empties path (at least 260 characters) and supplies fileTitle
// (at least 512). Nonzero when the user chose a name.
BOOL ChooseFileToSave(HWND owner, char* path, char* fileTitle, const char* filter,
                      const char* defaultExtension, const char* title);
BOOL ChooseFileToOpen(HWND owner, char* path, char* fileTitle, const char* filter,
                      const char* defaultExtension);

// 1 when a file-system folder was chosen and written to path (260).
int BrowseForDirectory(HWND owner, char* path);

void CentreWindowOver(HWND window, HWND other);

constexpr DWORD HELP_PATH_SIZE = 300;

// Fills buffer (HELP_PATH_SIZE bytes) with the path of a help page below the
// program's directory. False, with an empty buffer, when the path would not
// fit; nothing is written past the buffer.
bool BuildHelpPagePath(char* buffer, const char* page);

// Opens a help page with the shell. A page that is missing or whose path is
// too long shows nothing.
void ShowHelpPage(HWND owner, const char* page);

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
