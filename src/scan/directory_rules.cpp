#include "scan/directory_rules.h"

#include <cstring>

namespace {

// A list loaded from a damaged file may fill all of a slot without its NUL.
bool SlotHolds(const DirectoryList& list, int slot, const char* path)
{
    return std::strncmp(list.paths[slot], path, DIRECTORY_PATH_SIZE) == 0;
}

}  // namespace

RefusalMessage DescribeRefusal(DirectoryRefusal refusal)
{
    switch (refusal) {
    case DirectoryRefusal::NoDirectoryEntered:
        return {"Olvarin - No directory entered",
                "You must enter a directory name before adding\nit to the list. Use the browse button to select\n"
                "a directory, then add it."};
    case DirectoryRefusal::Duplicate:
        return {"Olvarin - Duplicate directory selected",
                "The directory you have selected is already in the list\nPlease select another directory."};
    case DirectoryRefusal::ListFull:
        return {"Olvarin - Too many directories",
                "The maximum number of directories has been reached.\nYou will need to delete a directory before "
                "adding\nmore to the list"};
    case DirectoryRefusal::None:
        break;
    }
    return {"", ""};
}

DirectoryAddition AddDirectoryEntry(DirectoryList& list, char* path, int32_t action)
{
    size_t length = std::strlen(path);
    if (length > 0 && path[length - 1] == '\\') {
        path[--length] = '\0';
    }
    if (length <= 1) {
        return {-1, DirectoryRefusal::NoDirectoryEntered};
    }
    int freeSlot = -1;
    for (int slot = 0; slot < MAX_DIRECTORIES; ++slot) {
        if (list.actions[slot] == Empty) {
            if (freeSlot < 0) {
                freeSlot = slot;
            }
        } else if (SlotHolds(list, slot, path)) {
            return {-1, DirectoryRefusal::Duplicate};
        }
    }
    if (freeSlot < 0) {
        return {-1, DirectoryRefusal::ListFull};
    }
    std::memcpy(list.paths[freeSlot], path, length + 1);
    list.actions[freeSlot] = action;
    list.count += 1;
    return {freeSlot, DirectoryRefusal::None};
}

void RemoveDirectoryEntry(DirectoryList& list, int slot)
{
    if (slot < 0 || slot >= MAX_DIRECTORIES || list.actions[slot] == Empty) {
        return;
    }
    list.paths[slot][0] = '\0';
    list.actions[slot] = Empty;
    list.count -= 1;
}
