#pragma once

#include "model/record_table.h"

// Sorts the table's records by ComparePaths, ascending. Records of equal
// paths keep the order of their indexes, so that two scans of one folder
// pair such records alike. Needs no memory of its own in a sortable table
// (else it may throw std::bad_alloc). Not reentrant: only the one running
// operation sorts.
void SortRecords(RecordTable& records);

// Sorts a table only when it is not in path order already (a signature some
// other tool wrote), giving the sort's room back; may throw std::bad_alloc.
void PutInPathOrder(RecordTable& records);
