#include "compare/system_folders.h"

#include <shlobj.h>

#include <cstring>

namespace {

constexpr char SHELL_LIBRARY[] = "shell32.dll";
constexpr char FOLDER_LOOKUP[] = "SHGetFolderPathA";

using FolderLookup = decltype(&SHGetFolderPathA);

}  // namespace

bool GetProgramFolder(char* buffer, size_t size)
{
    DWORD length = GetModuleFileNameA(nullptr, buffer, static_cast<DWORD>(size));
    // A result that fills the whole buffer is a cut-off path.
    char* lastBackslash = length > 0 && length < size ? std::strrchr(buffer, '\\') : nullptr;
    if (lastBackslash == nullptr) {
        buffer[0] = '\0';
        return false;
    }
    *lastBackslash = '\0';
    return true;
}

HRESULT GetShellFolderPath(int folder, DWORD flags, char* path)
{
    // Looked up on every call: older shells lack the function, and nothing is
    // kept loaded between calls.
    HMODULE shell = LoadLibraryA(SHELL_LIBRARY);
    if (shell == nullptr) {
        return E_FAIL;
    }
    auto lookup = reinterpret_cast<FolderLookup>(
        reinterpret_cast<void*>(GetProcAddress(shell, FOLDER_LOOKUP)));
    if (lookup == nullptr) {
        FreeLibrary(shell);
        return E_FAIL;
    }
    HRESULT result = lookup(nullptr, folder, nullptr, flags, path);
    FreeLibrary(shell);
    return result;
}
