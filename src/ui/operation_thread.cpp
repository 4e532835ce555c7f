#include "ui/operation_thread.h"

#include <new>

#include "operation/operation.h"
#include "ui/control_ids.h"
#include "ui/program.h"
#include "ui/status_panel.h"

namespace {

constexpr UINT_PTR REFRESH_TIMER = 1;
constexpr UINT REFRESH_PERIOD_MS = 100;

// The buttons that an operation switches, in the order they are switched.
// Stop is the one that is enabled while an operation runs.
constexpr int SWITCHED_BUTTONS[] = {
    IDC_MAIN_CREATE, IDC_MAIN_COMPARE, IDC_MAIN_VIEW_RESULT, IDC_MAIN_CONFIG, IDC_MAIN_SAVE,
    IDC_MAIN_LOAD,   IDC_MAIN_STOP,    IDC_HELP_BUTTON,      IDC_MAIN_ABOUT,  IDC_MAIN_EXIT,
};

void SwitchButtons(HWND window, bool running)
{
    for (int id : SWITCHED_BUTTONS) {
        bool enable = (id == IDC_MAIN_STOP) ? running : !running;
        EnableWindow(GetDlgItem(window, id), enable ? TRUE : FALSE);
    }
}

DWORD WINAPI OperationWorker(LPVOID)
{
    try {
        if (appState.operationMode.load() == Create) {
            CreateSignature(appState, windowObserver, stopToken, OperationOptions());
        } else {
            CompareWithSignature(appState, windowObserver, stopToken, OperationOptions());
        }
    } catch (const std::bad_alloc&) {
        // The tables end a walk cleanly when memory runs out; any other
        // allocation that fails ends the operation here, with a word why.
        windowObserver.Tell(MessageId::OperationOutOfMemory);
    } catch (...) {
        // Nothing in the operation throws on purpose; whatever happened, the
        // buttons must come back.
    }
    // The window may be gone (closed during the operation); the post then
    // fails and nobody misses it.
    PostMessageA(mainWindow.load(), WM_OPERATION_ENDED, 0, 0);
    return 0;
}

}  // namespace

void StartOperation(HWND window)
{
    // Only one operation at a time, even should a command reach us before
    // the last one's end has been handled.
    int32_t idle = 0;
    if (!appState.workerRunning.compare_exchange_strong(idle, 1)) {
        return;
    }
    stopToken.Clear();
    SwitchButtons(window, true);
    SetTimer(window, REFRESH_TIMER, REFRESH_PERIOD_MS, nullptr);

    HANDLE thread = CreateThread(nullptr, 0, OperationWorker, nullptr, 0, nullptr);
    if (thread == nullptr) {
        // No worker will ever post this operation's end: end it here.
        FinishOperation(window);
        return;
    }
    // Nobody waits for the worker; it ends by returning.
    CloseHandle(thread);
}

void RequestStop()
{
    stopToken.Request();
}

void FinishOperation(HWND window)
{
    KillTimer(window, REFRESH_TIMER);
    appState.operationStatus.store(Stopped);
    // The worker is done with the tables. Free the way for the next operation
    // before the buttons come back, so that a click on a button that shows
    // enabled is never ignored.
    appState.workerRunning.store(0);
    // The panel shows the final state before the buttons come back, so that
    // whoever sees them enabled also reads the finished figures.
    RefreshStatusPanel(window);
    SwitchButtons(window, false);
}

void DisableStopButton(HWND window)
{
    EnableWindow(GetDlgItem(window, IDC_MAIN_STOP), FALSE);
}
