#pragma once

#include <windows.h>

constexpr int RESULT_PATH_SIZE = 300;

// Writes the sorted difference table to the result file and opens it.
void WriteResultReport();

// Opens the result file with the program associated with ".txt" files.
void ViewResult(HWND window);

// Fills buffer (RESULT_PATH_SIZE bytes) with the result file's path,
// creating its two folders under the documents folder.
void BuildResultFilePath(char* buffer);
