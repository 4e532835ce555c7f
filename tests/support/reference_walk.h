#pragma once

#include <vector>

#include "compare/difference_walk.h"
#include "model/difference.h"
#include "model/record_table.h"

// The comparison walk written the plain way, on whole paths: every look-ahead
// starts again after the loaded cursor. Slow, but each line follows one rule.
void ReferenceWalk(const std::vector<FileRecord>& scan, const std::vector<FileRecord>& loaded, ContentCheck content,
                   DifferenceTable& table);

// In a test's records, reserved stands for the scan's mark of a checksum never taken.
constexpr uint32_t NOT_TAKEN = 1;

// A table of these records, digests kept, marks too.
void FillTable(RecordTable& table, const std::vector<FileRecord>& records);
