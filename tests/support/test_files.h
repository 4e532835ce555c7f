#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "model/observer.h"

// A fresh, empty folder below the test material root (OLVARIN_TEST_TMP, a
// Linux path in the build folder, reached through drive Z:).
std::string MakeTestFolder(const std::string& name);
void MakeFolder(const std::string& path);
void WriteTestFile(const std::string& path, const std::string& contents);
// The same by a wide path, for names and lengths the ANSI functions cannot reach.
void WriteTestFile(const std::wstring& path, const std::string& contents);
// The file's bytes; empty when it cannot be read.
std::string ReadWholeFile(const std::string& path);

// Polls until done() is true or timeoutMs has passed; true when done.
inline bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000)
{
    for (DWORD start = GetTickCount();; Sleep(50)) {
        if (done()) return true;
        if (GetTickCount() - start > timeoutMs) return false;
    }
}

// Whether this is a 32-bit program on 64-bit Windows, where System32 is redirected. SystemFolder
// makes `name` in the prefix's system32 or syswow64 by its Linux path (drive Z:), never redirected.
bool UnderWow64();
std::string SystemFolder(const char* system, const char* name);

// Records what the code under test tells its user, as "title|text" in the
// window program's words, in place of any front end.
struct MessageRecorder : OperationObserver {
    void Tell(const Message& message) override;
    std::vector<std::string> shown;
};
