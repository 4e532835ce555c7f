#pragma once

// A whole Create or Compare (operationMode) on the calling thread, as the
// window program's worker runs it: the preconditions, the walk, then the new
// signature or the comparison, with their message boxes. The caller clears
// stopRequested before and ends the operation after.
void RunOperation();

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
