#pragma once

#include "model/signature.h"

// Sorts the first count records (at most MAX_FILES) by ComparePaths,
// ascending; a path that fills its field without a NUL counts as its first
// RECORD_PATH_SIZE - 1 bytes. Records of equal paths keep the order of their
// slots, so that two scans of one folder pair such records alike. Not
// reentrant: it sorts through static index and key arrays, and only the one
// running operation sorts.
void SortRecords(FileRecord* records, int count);
