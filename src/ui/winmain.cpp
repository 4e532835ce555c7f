// The program's entry point: the class, the main window and the message loop.
#include <windows.h>
#include <commctrl.h>

#include "ui/main_window.h"
#include "ui/operation_thread.h"
#include "ui/program.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    programInstance = instance;

    // The configuration dialog holds a list view; its class must exist
    // before that dialog is built.
    INITCOMMONCONTROLSEX controls = {};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_LISTVIEW_CLASSES;
    InitCommonControlsEx(&controls);

    RegisterMainWindowClass(instance);
    HWND window = CreateMainWindow(instance);
    if (window == nullptr) {
        // Without its window the program could never be ended by the user.
        return 1;
    }
    ResetSignature(appState);
    DisableStopButton(window);
    ShowWindow(window, showCommand);

    // No IsDialogMessage: Tab, Enter and Esc mean nothing in the main window.
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}
