#include "ui/main_window.h"

#include "ui/config_dialog.h"
#include "ui/control_ids.h"
#include "ui/operation_thread.h"
#include "ui/program.h"
#include "ui/result_viewer.h"
#include "ui/shell.h"
#include "ui/signature_pickers.h"
#include "ui/status_panel.h"

namespace {

constexpr char HELP_INDEX_PAGE[] = "Index.html";

void StartCommand(HWND window, OperationMode mode)
{
    appState.operationMode.store(mode, std::memory_order_relaxed);
    StartOperation(window);
}

void OnStop(HWND window)
{
    // The tables stay the worker's until its end is posted; only Stop goes
    // off now, and the timer keeps the panel following the worker's last
    // steps.
    RequestStop();
    DisableStopButton(window);
    RefreshStatusPanel(window);
}

void OnCommand(HWND window, int id)
{
    // While an operation runs only Stop is enabled: a command for any other
    // button can only have been posted, and the tables are the worker's.
    if (id != IDC_MAIN_STOP && appState.workerRunning.load() != 0) {
        return;
    }
    switch (id) {
    case IDC_MAIN_CREATE:
        StartCommand(window, Create);
        break;
    case IDC_MAIN_COMPARE:
        StartCommand(window, Compare);
        break;
    case IDC_MAIN_STOP:
        OnStop(window);
        break;
    case IDC_MAIN_SAVE:
        SaveSignatureFile(window);
        RefreshStatusPanel(window);
        break;
    case IDC_MAIN_LOAD:
        if (LoadSignatureFile(window)) {
            appState.signatureLoaded.store(1, std::memory_order_relaxed);
        }
        RefreshStatusPanel(window);
        break;
    case IDC_MAIN_VIEW_RESULT:
        ViewResult(window);
        break;
    case IDC_MAIN_CONFIG:
        DialogBoxParamA(programInstance, "CONFIG", window, ConfigDialogProc, 0);
        break;
    case IDC_MAIN_ABOUT:
        DialogBoxParamA(programInstance, "AboutBox", window, AboutDialogProc, 0);
        break;
    case IDC_HELP_BUTTON:
        ShowHelpPage(window, HELP_INDEX_PAGE);
        break;
    case IDC_MAIN_EXIT:
        DestroyWindow(window);
        break;
    default:
        // The attribute check boxes only show the current file; a click on
        // one is no command.
        break;
    }
}

LRESULT OnDestroy()
{
    // The worker is not waited for: it sees the stop request and returns.
    RequestStop();
    PostQuitMessage(0);
    return 0;
}

LRESULT OnPaint(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    RefreshStatusPanel(window);
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT OnTimer(HWND window)
{
    RefreshStatusPanel(window);
    return 0;
}

LRESULT OnOperationEnded(HWND window)
{
    FinishOperation(window);
    return 0;
}

}  // namespace

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
    case WM_SHOWWINDOW:
        return 0;
    case WM_DESTROY:
        return OnDestroy();
    case WM_PAINT:
        return OnPaint(window, message, wParam, lParam);
    case WM_COMMAND:
        OnCommand(window, LOWORD(wParam));
        return 0;
    case WM_TIMER:
        return OnTimer(window);
    case WM_OPERATION_ENDED:
        return OnOperationEnded(window);
    default:
        // Default window processing, not the dialog kind: the close box must
        // destroy the window like "Exit" rather than send IDCANCEL.
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

ATOM RegisterMainWindowClass(HINSTANCE instance)
{
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = DLGWINDOWEXTRA;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAIN_WINDOW_CLASS);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = MAIN_WINDOW_CLASS;
    windowClass.hIconSm = LoadIconA(instance, MAIN_WINDOW_CLASS);
    return RegisterClassExA(&windowClass);
}

HWND CreateMainWindow(HINSTANCE instance)
{
    HWND window = CreateDialogParamA(instance, MAIN_WINDOW_CLASS, nullptr, nullptr, 0);
    mainWindow.store(window);
    return window;
}
