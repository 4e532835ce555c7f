#pragma once

#include <windows.h>

// Starts a Create or Compare (operationMode set by the caller) on a worker
// thread of its own, switching the buttons of window to the running state.
// Does nothing while an earlier worker is still finishing.
void StartOperation(HWND window);

// The worker thread's routine.
DWORD WINAPI OperationWorker(LPVOID parameter);

// Ends an operation. On the worker's own end (or when no worker runs) it
// kills timer 1, sets Stopped and gives the buttons back. Called on another
// thread while the worker runs (Stop, window destruction) it only requests
// the stop, disables Stop and refreshes the panel: the other buttons come
// back when the worker has finished with the tables.
void EndOperation(HWND window);

// Disables the Stop button of window; ResetSignature calls it through its
// hook, which this module installs.
void DisableStopButton(HWND window);

// Starts the worker thread: CreateThread unless a test replaces it, to hold
// the worker back or to see a failure. Returns the thread's handle or NULL.
using WorkerThreadStarter = HANDLE (*)(LPTHREAD_START_ROUTINE routine);
void SetWorkerThreadStarter(WorkerThreadStarter starter);

// The steps of an operation that need no window, for every front end.

// Refuses, with its message, a Compare without a signature or an operation
// without a directory entry. True when the operation may run.
bool OperationPreconditionsMet();
// The title of the refusal without a directory entry, whose text names the
// window program's Config window.
constexpr char NO_DIRECTORY_TITLE[] = "Olvarin - No Directory Selected";

// Empties the scan, walks every Include entry of the directory list into the
// ScanTable and sorts it, setting the status as it goes. Stops early when
// stopRequested is set.
void ScanIncludedDirectories();

// The scan becomes the loaded signature "New signature" with the options in
// force, also when it was stopped or hit the file limit.
void PublishNewSignature();

// At the end of a Create: tells, once, how many entries the scan left out
// because their paths would not fit a record; nothing when it left none.
void ReportSkippedEntries();
