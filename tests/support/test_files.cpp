#include "support/test_files.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

std::string TestFilesRoot()
{
    const char* root = std::getenv("OLVARIN_TEST_TMP");
    if (root == nullptr || root[0] == '\0') {
        throw std::runtime_error("OLVARIN_TEST_TMP is not set");
    }
    std::string path = root;
    if (path[0] == '/') {
        path = "Z:" + path;
    }
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    while (path.size() > 3 && path.back() == '\\') {
        path.pop_back();
    }
    return path;
}

namespace {

void RemoveTree(const std::string& path)
{
    std::string from = path;
    from.push_back('\0');  // SHFileOperation wants a double NUL
    SHFILEOPSTRUCTA op = {};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
    SHFileOperationA(&op);
}

}  // namespace

std::string MakeTestFolder(const std::string& name)
{
    std::string path = TestFilesRoot() + "\\" + name;
    if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
        RemoveTree(path);
    }
    MakeFolder(path);
    return path;
}

void MakeFolder(const std::string& path)
{
    if (!CreateDirectoryA(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        throw std::runtime_error("cannot create folder " + path);
    }
}

void WriteTestFile(const std::string& path, const std::string& contents)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
        throw std::runtime_error("cannot create file " + path);
    }
    std::fwrite(contents.data(), 1, contents.size(), f);
    std::fclose(f);
}

void WriteTestFile(const std::wstring& path, const std::string& contents)
{
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    if (f == INVALID_HANDLE_VALUE || !WriteFile(f, contents.data(), static_cast<DWORD>(contents.size()), &written, nullptr)) {
        throw std::runtime_error("cannot write a file by its wide name");
    }
    CloseHandle(f);
}
