// Closes Olvarin's main window as a user would once it is up: 0 when it
// closed, 1 when none came up within a minute or it stayed.
#include <windows.h>

int main()
{
    HWND window = nullptr;
    for (int i = 0; i < 600 && !(window && IsWindowVisible(window)); ++i, Sleep(100)) window = FindWindowA("olvarin", nullptr);
    if (window == nullptr || !PostMessageA(window, WM_CLOSE, 0, 0)) return 1;
    for (int i = 0; i < 300 && IsWindow(window); ++i) Sleep(100);
    return IsWindow(window) ? 1 : 0;
}
