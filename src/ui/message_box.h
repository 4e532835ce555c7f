#pragma once

#include <windows.h>

#include "model/observer.h"

// Every message box of the program goes through here.
int ShowMessageBox(HWND owner, const char* text, const char* title, UINT type);

// A box owned by the main window, with the kind's icon and OK, on the
// calling thread.
int ShowMessageInWindow(MessageKind kind, const char* title, const char* text);
