#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "scan/directory_rules.h"

TEST(DirectoryRules, AddRefusesWhatTheListMustNotHoldAndRemoveFreesTheSlot)
{
    static DirectoryList list = {};
    const struct { const char* path; int slot; DirectoryRefusal refusal; const char* kept; } cases[] = {
        {"C:\\data\\", 0, DirectoryRefusal::None, "C:\\data"},  // one trailing backslash dropped
        {"C:\\data", -1, DirectoryRefusal::Duplicate, ""},
        {"C:\\data\\", -1, DirectoryRefusal::Duplicate, ""},
        {"c:\\DATA", 1, DirectoryRefusal::None, "c:\\DATA"},  // only the same bytes are the same path
        {"", -1, DirectoryRefusal::NoDirectoryEntered, ""},
        {"\\", -1, DirectoryRefusal::NoDirectoryEntered, ""},
        {"C", -1, DirectoryRefusal::NoDirectoryEntered, ""},
        {"C:", 2, DirectoryRefusal::None, "C:"},
    };
    for (const auto& c : cases) {
        char path[DIRECTORY_PATH_SIZE];
        std::strcpy(path, c.path);
        DirectoryAddition added = AddDirectoryEntry(list, path, Exclude);
        EXPECT_EQ(added.slot, c.slot) << c.path;
        EXPECT_EQ(added.refusal, c.refusal) << c.path;
        if (c.slot >= 0) {
            EXPECT_STREQ(list.paths[c.slot], c.kept);
            EXPECT_EQ(list.actions[c.slot], Exclude);
        }
    }
    for (int i = 3; i < MAX_DIRECTORIES; ++i) {
        char path[DIRECTORY_PATH_SIZE];
        std::snprintf(path, sizeof path, "D:\\%d", i);
        ASSERT_EQ(AddDirectoryEntry(list, path, Include).slot, i);
    }
    char more[DIRECTORY_PATH_SIZE] = "E:\\more";
    DirectoryAddition full = AddDirectoryEntry(list, more, Include);
    EXPECT_EQ(full.refusal, DirectoryRefusal::ListFull);
    EXPECT_EQ(full.slot, -1);
    EXPECT_EQ(list.count, MAX_DIRECTORIES);

    RemoveDirectoryEntry(list, 0);
    RemoveDirectoryEntry(list, 0);  // already empty: counted once
    EXPECT_EQ(list.count, MAX_DIRECTORIES - 1);
    EXPECT_EQ(AddDirectoryEntry(list, more, Include).slot, 0);
    EXPECT_EQ(list.actions[0], Include);
}
