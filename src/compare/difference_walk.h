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

// The details in which two records of one path differ, as bits. Checksums
// and digests count only as the comparison takes them (content), so that a
// checksum never taken is no change.
enum ChangedField : uint32_t {
    CHANGED_SIZE = 1,
    CHANGED_ATTRIBUTES = 2,
    CHANGED_CREATED = 4,
    CHANGED_LAST_WRITE = 8,
    CHANGED_CHECKSUM = 16,
    CHANGED_SHA256 = 32,
};
uint32_t ChangedFields(const RecordTable& scan, int32_t s, const RecordTable& loaded, int32_t l, ContentCheck content);

// Tells, of a signature record the scan did not find, whether the scan
// looked for it at all: a record under a folder that could not be read is
// Unchecked, not Missing. Asked in path order.
class MissingJudge {
public:
    virtual ~MissingJudge() = default;
    virtual bool LookedFor(const RecordTable& loaded, int32_t index) = 0;
};

// Called for each difference the walk decides, in the walk's order: the
// kind, the scan index (-1 for Missing and Unchecked) and the signature
// index (-1 for Extra).
using DifferenceVisitor = void (*)(void* context, int32_t kind, int32_t scanIndex, int32_t loadedIndex);
void VisitDifferences(const RecordTable& scan, const RecordTable& loaded, ContentCheck content,
                      DifferenceVisitor visit, void* context, MissingJudge* judge = nullptr);

// Walks scan against loaded (both sorted by ComparePaths) and decides every
// record of both: at most one entry per file, in the walk's own recording
// order; Unchecked records are only counted. Clears the table first.
void WalkDifferences(const RecordTable& scan, const RecordTable& loaded, ContentCheck content,
                     DifferenceTable& table, MissingJudge* judge = nullptr);

// Orders the recorded entries by kind, keeping the recording order within a
// kind.
void SortDifferences(DifferenceTable& table);

// The whole comparison: the walk, then the sort by kind.
void FindDifferences(const RecordTable& scan, const RecordTable& loaded, ContentCheck content,
                     DifferenceTable& table, MissingJudge* judge = nullptr);
