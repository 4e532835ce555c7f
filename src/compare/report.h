#pragma once

#include <windows.h>

constexpr int RESULT_PATH_SIZE = 300;

// Writes the sorted difference table to the result file and has the result
// viewer open it.
void WriteResultReport();

// What opens the result file once WriteResultReport has written it: the
// window program's viewer, with the main window; nullptr opens nothing.
using ResultViewer = void (*)(HWND window);
void SetResultViewer(ResultViewer viewer);

// Writes the report of the difference table to path, without opening it.
// False, after telling the user, when it could not be written whole.
bool WriteResultFile(const char* path);

// Fills buffer (RESULT_PATH_SIZE bytes) with the result file's path,
// creating its two folders under the documents folder. An empty buffer when
// the path would not fit.
void BuildResultFilePath(char* buffer);
