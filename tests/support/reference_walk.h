#pragma once

#include <vector>

#include "compare/difference_walk.h"
#include "model/difference.h"
#include "model/record_table.h"

// The comparison walk written the plain way, on whole paths: every look-ahead
// starts again after the loaded cursor. Slow, but each line follows one rule.
void ReferenceWalk(const std::vector<FileRecord>& scan, const std::vector<FileRecord>& loaded, ContentCheck content,
                   DifferenceTable& table);

// A table of these records, digests kept.
void FillTable(RecordTable& table, const std::vector<FileRecord>& records);
