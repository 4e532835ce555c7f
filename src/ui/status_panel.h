#pragma once

#include <windows.h>

// Writes every field of the status panel of the main window from the shared
// state. May run on the UI thread or on the worker thread.
void RefreshStatusPanel(HWND mainWindow);
