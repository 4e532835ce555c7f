#pragma once

#include <cstddef>

#include "model/record_table.h"

// The one path order of the program: bytes compared as unsigned, ASCII
// capitals folded to small letters and nothing else folded. The scan is
// sorted by it and the comparison walks by it, so the two must never differ.
// Stored paths compare as the whole paths they stand for, whatever their
// folder pieces.
int ComparePaths(const RecordPath& a, const RecordPath& b);
int ComparePathTexts(const char* a, const char* b);

// Whether the first n characters of a and b are equal with the same folding;
// a text that ends sooner differs. The Exclude entries match by it.
bool SamePathStart(const char* a, const char* b, size_t n);
