// The window program's operations: a worker thread per Create or Compare,
// and the main window's buttons and refresh timer around it. Only the UI
// thread calls these; the worker touches no window and tells its end by
// posting WM_OPERATION_ENDED to the main window.
#pragma once

#include <windows.h>

// Posted by the worker to the main window once it is done with the tables.
constexpr UINT WM_OPERATION_ENDED = WM_APP + 1;

// Starts a Create or Compare (operationMode set by the caller) on a worker
// thread of its own, switching the buttons of window to the running state
// and refreshing its panel every 100 ms. Does nothing while an earlier
// operation has not ended.
void StartOperation(HWND window);

// Asks the running worker, if any, to stop; it returns as soon as it sees
// the request. A request made before the worker reaches the walk counts.
void RequestStop();

// The end of an operation, on the UI thread: the refresh stops, the status
// is Stopped, the panel shows the final figures and the buttons come back.
void FinishOperation(HWND window);

// Disables the Stop button of window, as start-up and a failed load do.
void DisableStopButton(HWND window);
