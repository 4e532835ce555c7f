#pragma once

#include <windows.h>

// Starts a Create or Compare (operationMode set by the caller) on a worker
// thread of its own, switching the buttons of window to the running state.
void StartOperation(HWND window);

// The worker thread's routine.
DWORD WINAPI OperationWorker(LPVOID parameter);

// Ends an operation: requests the stop and, on the worker's own end, gives
// the buttons back. Run by the worker, by Stop and on window destruction.
void EndOperation(HWND window);
