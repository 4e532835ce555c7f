#pragma once

#include "model/signature.h"

// Sorts the first count records (at most MAX_FILES) by ComparePaths,
// ascending. Records of equal paths end up in no defined order among
// themselves. Not reentrant: it sorts through one static index array, and
// only the one running operation sorts.
void SortRecords(FileRecord* records, int count);
