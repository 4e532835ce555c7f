// Folders the system knows for us: the program's own and the shell's
// known folders (the user's documents).
#pragma once

#include <windows.h>

#include <cstddef>

// Fills buffer (size bytes) with the program's own folder, without a
// trailing backslash. False, with an empty buffer, when it does not fit.
bool GetProgramFolder(char* buffer, size_t size);

// SHGetFolderPathA for the current user, with no owner window, looked up in
// the shell library on every call; a negative result when the library or
// the function is missing.
HRESULT GetShellFolderPath(int folder, DWORD flags, char* path);
