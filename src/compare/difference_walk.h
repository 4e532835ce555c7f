// The merge comparison of a fresh scan against a signature, with no window
// system: it fills a DifferenceTable from two sorted record tables.
#pragma once

#include <cstdint>

#include "model/difference.h"
#include "model/record_table.h"

// Stores one entry while the table has room; past MAX_DIFFERENCES the entry
// is only counted in droppedCount.
void AddDifference(DifferenceTable& table, int32_t kind, int32_t scanIndex, int32_t loadedIndex);

// Sort order of the difference table: by kind alone.
int CompareDifferenceKinds(const DifferenceEntry& a, const DifferenceEntry& b);

// What the comparison looks at beyond sizes, times and attributes: nothing,
// the checksums, or the checksums and the SHA-256 digests that the scan took.
enum class ContentCheck { None, Checksums, Digests };

// Walks scan against loaded (both sorted by ComparePaths) and decides every
// record of both: at most one entry per file, in the walk's own recording
// order. Clears the table first.
void WalkDifferences(const RecordTable& scan, const RecordTable& loaded, ContentCheck content,
                     DifferenceTable& table);

// Orders the recorded entries by kind, keeping the recording order within a
// kind.
void SortDifferences(DifferenceTable& table);

// The whole comparison: the walk, then the sort by kind.
void FindDifferences(const RecordTable& scan, const RecordTable& loaded, ContentCheck content,
                     DifferenceTable& table);
