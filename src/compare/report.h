#pragma once

#include "model/app_state.h"
#include "model/observer.h"

constexpr int RESULT_PATH_SIZE = 300;

// Writes the report of the state's difference table to path. False, after
// telling observer, when it could not be written whole.
bool WriteResultFile(const AppState& state, OperationObserver& observer, const char* path);

// Fills buffer (RESULT_PATH_SIZE bytes) with the result file's path,
// creating its two folders under the documents folder. An empty buffer when
// the path would not fit.
void BuildResultFilePath(char* buffer);
