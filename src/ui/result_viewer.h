// The result file in the user's text editor.
#pragma once

#include <windows.h>

// Opens the result file with the program associated with ".txt" files, or
// tells, in a box owned by window, why it could not.
void ViewResult(HWND window);
