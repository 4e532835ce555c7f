// The rules of the directory list, for the configuration dialog and the
// console program alike: a trailing backslash is dropped, an entry needs a
// name, the same path is never listed twice and the list holds at most
// MAX_DIRECTORIES entries.
#pragma once

#include <cstdint>

#include "model/signature.h"

enum class DirectoryRefusal {
    None,
    NoDirectoryEntered,
    Duplicate,
    ListFull,
};

struct RefusalMessage {
    const char* title;
    const char* text;
};

// What the user is told when an entry is refused.
RefusalMessage DescribeRefusal(DirectoryRefusal refusal);

struct DirectoryAddition {
    int slot;  // the slot taken, or -1 when refused
    DirectoryRefusal refusal;
};

// Adds path (at most 259 characters; a trailing backslash is dropped in
// place) with action (Include or Exclude) to the first free slot of list.
DirectoryAddition AddDirectoryEntry(DirectoryList& list, char* path, int32_t action);

// Empties slot; a slot out of range or already empty is left alone.
void RemoveDirectoryEntry(DirectoryList& list, int slot);
