// Closes Olvarin's main window as a user would, once it is up: for the test
// of the README's first command. Exits 0 when it closed it, 1 when none came
// up within a minute, 2 when it did not close.
#include <windows.h>

namespace {

HWND ShownMainWindow()
{
    HWND window = FindWindowA("olvarin", nullptr);
    return window != nullptr && IsWindowVisible(window) ? window : nullptr;
}

}  // namespace

int main()
{
    HWND window = nullptr;
    for (int tries = 0; tries < 600 && (window = ShownMainWindow()) == nullptr; ++tries) Sleep(100);
    if (window == nullptr) return 1;
    PostMessageA(window, WM_CLOSE, 0, 0);
    for (int tries = 0; tries < 300 && IsWindow(window); ++tries) Sleep(100);
    return IsWindow(window) ? 2 : 0;
}
