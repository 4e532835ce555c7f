// The merge comparison of a fresh scan against a signature, with no window
// system: it fills a DifferenceTable from two sorted record tables.
#pragma once

#include <cstdint>

#include "model/difference.h"
#include "model/signature.h"

// Stores one entry while the table has room; past MAX_DIFFERENCES the entry
// is only counted in droppedCount.
void AddDifference(DifferenceTable& table, int32_t kind, int32_t scanIndex, int32_t loadedIndex);

// Sort order of the difference table: by kind alone.
int CompareDifferenceKinds(const DifferenceEntry& a, const DifferenceEntry& b);

// Walks scan against loaded (both sorted by ComparePaths, every slot after
// the last record empty) and records at most one entry per file, in the
// walk's own recording order. Clears the table first. scanStopped says that
// a Stop cut the scan short, so that a scan checksum of 0 may be one never
// taken: it is then not compared.
void WalkDifferences(const RecordTable& scan, const RecordTable& loaded, bool checksums, bool scanStopped,
                     DifferenceTable& table);

// Orders the recorded entries by kind, keeping the recording order within a
// kind.
void SortDifferences(DifferenceTable& table);

// The whole comparison: the walk, then the sort by kind.
void FindDifferences(const RecordTable& scan, const RecordTable& loaded, bool checksums, bool scanStopped,
                     DifferenceTable& table);
