// The main window: a dialog template whose window class is ours, so the
// dialog manager builds the controls and MainWindowProc handles them.
#pragma once

#include <windows.h>

constexpr char MAIN_WINDOW_CLASS[] = "olvarin";

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Registers the class "olvarin"; the result is that of RegisterClassExA.
ATOM RegisterMainWindowClass(HINSTANCE instance);

// Creates the (hidden) main window from its template and keeps its handle in
// mainWindow.
HWND CreateMainWindow(HINSTANCE instance);
