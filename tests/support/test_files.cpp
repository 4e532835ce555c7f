#include "support/test_files.h"

#include <shellapi.h>

#include <cstdio>
#include <cstdlib>

#include "ui/message_box.h"

std::string MakeTestFolder(const std::string& name)
{
    std::string path = std::string("Z:") + std::getenv("OLVARIN_TEST_TMP") + "/" + name;
    for (char& c : path) c = c == '/' ? '\\' : c;
    std::string from = path + '\0';  // SHFileOperation wants a double NUL
    SHFILEOPSTRUCTA remove = {};
    remove.wFunc = FO_DELETE;
    remove.pFrom = from.c_str();
    remove.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
    SHFileOperationA(&remove);
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

std::vector<std::string> MessageRecorder::shown;

MessageRecorder::MessageRecorder()
{
    shown.clear();
    SetMessageBoxHook([](HWND, const char* text, const char* title, UINT) {
        shown.push_back(std::string(title) + "|" + text);
        return IDOK;
    });
}

MessageRecorder::~MessageRecorder() { SetMessageBoxHook(nullptr); }
