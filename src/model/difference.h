// The table of differences that a comparison fills and the report reads.
#pragma once

#include <cstdint>

#include "model/signature.h"

enum DifferenceKind : int32_t {
    Extra = 1,
    Missing = 2,
    Size = 3,
    CreationTime = 4,
    ModifyTime = 5,
    Attributes = 6,
    Checksum = 7,
    // A signature record under a folder that could not be read: neither
    // compared nor missing. Counted, never listed by kind.
    Unchecked = 8,
};

// Indexes into the two record tables, not copies: neither table may change
// between the comparison and the report.
struct DifferenceEntry {
    int32_t kind;
    int32_t scanIndex;
    int32_t loadedIndex;
};

struct DifferenceTable {
    DifferenceEntry entries[MAX_DIFFERENCES];
    int32_t entryCount;
    // Differences that did not fit below the cap, so that the report can say
    // that its list is incomplete.
    int32_t droppedCount;
    // Signature records under folders that could not be read.
    int64_t uncheckedCount;
};
