#include "scan/real_file_system.h"

#include <windows.h>

namespace {

using DisableRedirection = BOOL(WINAPI*)(PVOID*);
using RevertRedirection = BOOL(WINAPI*)(PVOID);

// Looked up once, before any walk: kernel32 is always loaded, so the lookup
// loads nothing. Older 32-bit systems lack the functions.
struct RedirectionFunctions {
    DisableRedirection disable = nullptr;
    RevertRedirection revert = nullptr;

    RedirectionFunctions()
    {
        HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
        if (kernel == nullptr) {
            return;
        }
        disable = reinterpret_cast<DisableRedirection>(
            reinterpret_cast<void*>(GetProcAddress(kernel, "Wow64DisableWow64FsRedirection")));
        revert = reinterpret_cast<RevertRedirection>(
            reinterpret_cast<void*>(GetProcAddress(kernel, "Wow64RevertWow64FsRedirection")));
        if (disable == nullptr || revert == nullptr) {
            disable = nullptr;
            revert = nullptr;
        }
    }
};
const RedirectionFunctions redirection;

}  // namespace

RealFileSystem::RealFileSystem()
{
    // Refused outside WoW64 (a 64-bit program, 32-bit Windows): nothing to revert then.
    turnedOff_ = redirection.disable != nullptr && redirection.disable(&previous_) != FALSE;
}

RealFileSystem::~RealFileSystem()
{
    if (turnedOff_) {
        redirection.revert(previous_);
    }
}
