// The configuration dialog "CONFIG": the directory list and the two scan
// options.
#pragma once

#include <windows.h>

#include <cstdint>

INT_PTR CALLBACK ConfigDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

void InitConfigDialog(HWND dialog);
void AddDirectory(HWND dialog);

// Adds path (at most 259 characters; a trailing backslash is dropped in
// place) with action (Include or Exclude) to the directory list, or refuses
// it with a message owned by owner. The slot taken, or -1 when refused.
int AddDirectoryEntry(HWND owner, char* path, int32_t action);
void RemoveDirectories(HWND dialog);

// The list view's sort callback over two rows' slot indexes.
int CALLBACK CompareDirectoryItems(LPARAM slotA, LPARAM slotB, LPARAM column);
