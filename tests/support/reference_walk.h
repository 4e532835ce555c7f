#pragma once

#include "compare/difference_walk.h"
#include "model/difference.h"
#include "model/signature.h"

// The comparison walk written the plain way: every look-ahead starts again
// just after the loaded cursor. Slow on long runs of missing files, but each
// line follows one rule, so the real walk is checked against it.
void ReferenceWalk(const RecordTable& scan, const RecordTable& loaded, ContentCheck content,
                   DifferenceTable& table);
