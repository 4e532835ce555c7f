#pragma once

#include <windows.h>

constexpr int RESULT_PATH_SIZE = 300;

// Writes the sorted difference table to the result file and opens it.
void WriteResultReport();

// Writes the report of the difference table to path, without opening it.
// False, after telling the user, when it could not be written whole.
bool WriteResultFile(const char* path);

// Opens the result file with the program associated with ".txt" files.
void ViewResult(HWND window);

// Fills buffer (RESULT_PATH_SIZE bytes) with the result file's path,
// creating its two folders under the documents folder. An empty buffer when
// the path would not fit.
void BuildResultFilePath(char* buffer);

// How the documents folder is found: the arguments and result of
// SHGetFolderPathA. Tests put a lookup of their own here; nullptr restores
// the shell's.
using FolderLookup = HRESULT (*)(HWND owner, int folder, HANDLE token, DWORD flags, char* path);
void SetFolderLookup(FolderLookup lookup);
