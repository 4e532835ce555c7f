#pragma once

#include "compare/difference_walk.h"

// Compares the sorted ScanTable with the LoadedTable into the difference
// table; then tells the user that nothing differs, or writes and opens the
// result report. Runs on the worker thread of a Compare.
void CompareSignatures();

// What the comparison looks at beyond sizes, times and attributes, by the
// options in force (a Compare takes them from the signature).
ContentCheck ContentInForce();

// The comparison alone, for every front end: fills the difference table and
// tells the user when nothing differs. True when a result report is due.
bool FindScanDifferences();
