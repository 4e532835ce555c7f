#include "support/test_files.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "operation/wording.h"

namespace {

// Removes folder and all in it by the extended form, which no path length
// stops, read-only entries too; a link to a folder is removed, not followed.
void RemoveTree(const std::wstring& folder)
{
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    for (BOOL more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileW(find, &entry)) {
        std::wstring name = entry.cFileName, path = folder + L"\\" + name;
        if (name == L"." || name == L"..") continue;
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW(path.c_str());
        else if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) RemoveDirectoryW(path.c_str());
        else RemoveTree(path);
    }
    if (find != INVALID_HANDLE_VALUE) FindClose(find);
    RemoveDirectoryW(folder.c_str());
}

}  // namespace

std::string MakeTestFolder(const std::string& name)
{
    // Only ever a folder strictly inside the test material's own folder.
    const char* base = std::getenv("OLVARIN_TEST_TMP");
    if (base == nullptr || base[0] != '/' || name.empty() || name.find_first_of("./\\:") != std::string::npos) {
        throw std::invalid_argument("refusing to empty a folder outside the test material: " + name);
    }
    std::string path = std::string("Z:") + base + "/" + name;
    for (char& c : path) c = c == '/' ? '\\' : c;
    RemoveTree(L"\\\\?\\" + std::wstring(path.begin(), path.end()));
    MakeFolder(path);
    return path;
}

void MakeFolder(const std::string& path) { CreateDirectoryA(path.c_str(), nullptr); }

bool UnderWow64()
{
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

std::string SystemFolder(const char* system, const char* name)
{
    std::string path = std::string("Z:") + std::getenv("WINEPREFIX") + "/drive_c/windows/" + system + "/" + name;
    for (char& c : path) c = c == '/' ? '\\' : c;
    MakeFolder(path);
    return path;
}

void WriteTestFile(const std::string& path, const std::string& contents)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(contents.data(), 1, contents.size(), f);
    std::fclose(f);
}

void WriteTestFile(const std::wstring& path, const std::string& contents)
{
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(f, contents.data(), static_cast<DWORD>(contents.size()), &written, nullptr);
    CloseHandle(f);
}

std::string ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void MessageRecorder::Tell(const Message& message)
{
    const Wording wording = WindowWording(message);
    shown.push_back(wording.title + "|" + wording.text);
}
