// The window program's own: its one signature state, its main window, the
// Stop it asks for, and how an operation tells its user (boxes owned by the
// main window, the result file opened in the user's editor).
#pragma once

#include <windows.h>

#include <atomic>

#include "model/app_state.h"
#include "model/observer.h"
#include "model/stop_token.h"

// Never destroyed: a window closed during a scan ends the process while the
// worker still uses the tables.
extern AppState& appState;
extern std::atomic<HWND> mainWindow;
extern HINSTANCE programInstance;
extern StopToken stopToken;

class WindowObserver : public OperationObserver {
public:
    void Tell(const Message& message) override;
    void ReportWritten(const char* path) override;
};
extern WindowObserver windowObserver;
