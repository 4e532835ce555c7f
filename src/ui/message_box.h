#pragma once

#include <windows.h>

#include "model/messages.h"

// Every message box of the program goes through here, so that a test can see
// which text and title would have been shown.
int ShowMessageBox(HWND owner, const char* text, const char* title, UINT type);

// Replaces the real box; the hook's result is returned as the box's. Pass
// nullptr to show real boxes again.
using MessageBoxHook = int (*)(HWND owner, const char* text, const char* title, UINT type);
void SetMessageBoxHook(MessageBoxHook hook);

// The window program's message sink: a box owned by the main window, with
// the kind's icon and OK, on the calling thread.
int ShowMessageInWindow(MessageKind kind, const char* title, const char* text);
