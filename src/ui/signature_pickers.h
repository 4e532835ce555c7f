// Save and Load from the main window: a file picker, then the core's save
// or load of the chosen file.
#pragma once

#include <windows.h>

// Asks for a file name and writes the signature to it (SaveSignatureTo:
// a failed save leaves an older file and the signature's name as they were).
void SaveSignatureFile(HWND window);

// Asks for a file and replaces the signature with the file's. True when a
// signature was loaded; false when the user cancelled (nothing changed) or
// the load failed (after its message the state is "No signature loaded").
bool LoadSignatureFile(HWND window);

// The picker filter: one description and pattern, ending in a double NUL.
constexpr char SIGNATURE_FILE_FILTER[] = "Signature Files (*.SIG)\0*.sig\0";
constexpr char SIGNATURE_FILE_EXTENSION[] = "sig";
constexpr char SAVE_PICKER_TITLE[] = "Select a signature file name";
