#pragma once

#include <windows.h>

#include <string>
#include <vector>

// A fresh, empty folder below the test material root (OLVARIN_TEST_TMP, a
// Linux path in the build folder, reached through drive Z:).
std::string MakeTestFolder(const std::string& name);
void MakeFolder(const std::string& path);
void WriteTestFile(const std::string& path, const std::string& contents);
// The same by a wide path, for names and lengths the ANSI functions cannot reach.
void WriteTestFile(const std::wstring& path, const std::string& contents);

// Whether this is a 32-bit program on 64-bit Windows, where System32 is redirected. SystemFolder
// makes `name` in the prefix's system32 or syswow64 by its Linux path (drive Z:), never redirected.
bool UnderWow64();
std::string SystemFolder(const char* system, const char* name);

// Records, while it lives, the message boxes that the code under test would
// have shown (as "title|text"), answering each with OK.
struct MessageRecorder {
    MessageRecorder();
    ~MessageRecorder();
    static std::vector<std::string> shown;
};
