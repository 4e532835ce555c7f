#pragma once

#include <windows.h>

#include <functional>
#include <string>

// Finding windows by a test of one's own, for tests that drive real windows.
using WindowTest = std::function<bool(HWND)>;

std::string ClassOf(HWND window);

// The first window that match accepts: top-level, among the descendants of
// parent, or among the top-level windows of thread. nullptr when none.
HWND FindTopWindow(const WindowTest& match);
HWND FindChildWindow(HWND parent, const WindowTest& match);
HWND FindThreadWindow(DWORD thread, const WindowTest& match);
