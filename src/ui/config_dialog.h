// The configuration dialog "CONFIG": the directory list and the two scan
// options.
#pragma once

#include <windows.h>

INT_PTR CALLBACK ConfigDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

void InitConfigDialog(HWND dialog);
void AddDirectory(HWND dialog);
void RemoveDirectories(HWND dialog);

// The list view's sort callback over two rows' slot indexes.
int CALLBACK CompareDirectoryItems(LPARAM slotA, LPARAM slotB, LPARAM column);
