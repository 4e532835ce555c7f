#pragma once

#include <string>

// Test material lives in the build folder (OLVARIN_TEST_TMP, a Linux path),
// reached from Windows through drive Z:.
std::string TestFilesRoot();

// A fresh, empty folder below the test material root, named after name.
std::string MakeTestFolder(const std::string& name);

void MakeFolder(const std::string& path);
void WriteTestFile(const std::string& path, const std::string& contents);
// The same by a wide path, for names and lengths the ANSI functions cannot reach.
void WriteTestFile(const std::wstring& path, const std::string& contents);
