#pragma once

#include "model/app_state.h"
#include "model/observer.h"

constexpr int RESULT_PATH_SIZE = 300;

// Writes the report of the state's difference table whole to a temporary
// file beside path (its name into temporary, MAX_PATH characters), for the
// caller to put in place (PutInPlace). False, after telling observer and
// removing it, when it could not be written whole.
bool WriteResultFile(const AppState& state, OperationObserver& observer, const char* path, char* temporary);

// Fills buffer (RESULT_PATH_SIZE bytes) with the result file's path,
// creating its two folders under the documents folder. An empty buffer when
// the path would not fit.
void BuildResultFilePath(char* buffer);
