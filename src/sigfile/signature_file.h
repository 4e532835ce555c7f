// Saving and loading signature files from the main window: the pickers, the
// files themselves, the messages and the state changes around the portable
// reader and writer.
#pragma once

#include <windows.h>

class ByteSink;

// Asks for a file name and writes the signature to it. The file is written
// whole under a temporary name beside the chosen one and put in its place
// only once every byte is written and closed, so a save that fails leaves
// a file that was there before as it was, and the signature keeps its name.
// Failures are shown in a message box owned by the main window.
void SaveSignatureFile(HWND window);

// Asks for a file and replaces the signature with the file's. True when a
// signature was loaded; false when the user cancelled (nothing changed) or
// the load failed (after its message the state is "No signature loaded").
bool LoadSignatureFile(HWND window);

// Save and Load without their pickers, for a path already chosen; the header's
// name becomes fileTitle. True when the file was written or loaded; failures
// are told and handled as above.
bool SaveSignatureTo(const char* path, const char* fileTitle);
bool LoadSignatureFrom(const char* path, const char* fileTitle);

// The picker filter: one description and pattern, ending in a double NUL.
constexpr char SIGNATURE_FILE_FILTER[] = "Signature Files (*.SIG)\0*.sig\0";
constexpr char SIGNATURE_FILE_EXTENSION[] = "sig";
constexpr char SAVE_PICKER_TITLE[] = "Select a signature file name";

// The two pickers, replaceable so that tests can choose a file without a
// dialog. Passing nullptr puts the shell's pickers back.
using SavePicker = BOOL (*)(HWND owner, char* path, char* fileTitle, const char* filter,
                            const char* defaultExtension, const char* title);
using OpenPicker = BOOL (*)(HWND owner, char* path, char* fileTitle, const char* filter,
                            const char* defaultExtension);
void SetSignatureFilePickers(SavePicker save, OpenPicker open);

// Lets a test put its own stream between the save and the file, to make a
// write fail part way. nullptr writes straight to the file.
using SaveSinkWrapper = ByteSink& (*)(ByteSink& file);
void SetSaveSinkWrapper(SaveSinkWrapper wrapper);
